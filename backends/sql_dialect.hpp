// Rewrites of the program's Oracle statement texts for databases that speak another dialect.
#pragma once
#include <string>
#include <string_view>

namespace zibrolt {

// Drops the embedded-SQL into-list ("into :b0:b1,:b2:b3 "): the outputs are taken from the
// selected columns in order instead.
std::string RemoveIntoList(std::string_view text);

// The text as SQLite runs it with the Oracle-compatible functions registered: no into-list, no
// "Korvadat." qualifier (the database file is the schema), SYSDATE as SQLite's local time, "from
// dual" dropped, and each ORDER BY term given Oracle's NULL order (last when ascending, first when
// descending): a column of a simple select as "X IS NULL,X" ("X IS NULL desc,X desc"), which an
// index on those expressions delivers in order, any other term with NULLS LAST or NULLS FIRST;
// the badge list's order (AswNum,AswGvo,AswBkl) then ends with the validity rows' rowid.
std::string ToSqliteDialect(std::string_view text);

// An SQLite database file is the schema KORVADAT; switching to any other schema fails with this
// status, as Oracle answers for a user that does not exist.
inline constexpr int kUnknownSchema = -1435;

// The schema switch as an SQLite database answers it, however it is reached: 0 for KORVADAT in
// any letter case, else kUnknownSchema.
int SqliteSchemaSwitch(std::string_view schema);

// Turns the named placeholders :b0, :b1, ... into ODBC's positional '?', in the order they
// appear; inputs are bound in that order already.
std::string ToPositionalPlaceholders(std::string_view text);

}  // namespace zibrolt
