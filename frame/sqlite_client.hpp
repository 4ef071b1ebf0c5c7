// The embedded database backend: an SQLite file that holds the installation's tables, read
// through the Oracle statement texts with Oracle's functions and NULL order emulated.
#pragma once
#include <memory>
#include <string_view>

#include "frame/sqlhlp.hpp"

namespace zibrolt::sqlhlp {

// The embedded database is the schema KORVADAT; switching to any other schema fails with this
// status, as Oracle answers for a user that does not exist.
inline constexpr int kUnknownSchema = -1435;

// The schema switch as the embedded database answers it, without asking the database: 0 for
// KORVADAT in any letter case, else kUnknownSchema. Null when the text is no schema switch. An
// SQLite file reached through ODBC answers the switch the same way.
std::unique_ptr<Statement> AnswerSchemaSwitch(std::string_view text);

// Opens the file read-only (a missing file is a failed connect, never a new database) and
// starts the one read transaction the whole run reads in.
int ConnectSqlite(std::string_view path, std::unique_ptr<Connection>& connection);

}  // namespace zibrolt::sqlhlp
