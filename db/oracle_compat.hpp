// Oracle's SQL functions that the program's statements use, for SQLite: NVL, TRUNC of a date,
// TO_CHAR of a date and SYSDATE. Dates are ISO text ('YYYY-MM-DD', optionally with a time), so
// they compare with trunc(SYSDATE) exactly as Oracle's DATE values do. ORA_DATE(column) gives a
// date column as Oracle would hold it ('' is NULL, text that is no calendar date stops the
// statement with SQLITE_MISMATCH); ORA_BAD_DATE(column) is such text, else NULL,
// to find and name its rows.
#pragma once

struct sqlite3;

namespace zibrolt {

// Registers the functions on the connection; returns an SQLite result code.
int RegisterOracleCompat(sqlite3* db);

}  // namespace zibrolt
