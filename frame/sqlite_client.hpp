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

// Opens the file read-only (a missing file is a failed connect, never a new database) and
// starts the one read transaction the whole run reads in.
int ConnectSqlite(std::string_view path, std::unique_ptr<Connection>& connection);

}  // namespace zibrolt::sqlhlp
