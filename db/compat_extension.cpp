// The Oracle-compatible SQL functions as an SQLite loadable extension, for an SQLite database
// reached through its ODBC driver (the driver's LoadExt setting names this library). The
// functions are the embedded backend's own, compiled a second time against the extension API.
#include "db/oracle_compat.hpp"
#include "db/sqlite_api.hpp"

SQLITE_EXTENSION_INIT1

extern "C" __attribute__((visibility("default"))) int sqlite3_extension_init(
    sqlite3* db, char** /*errorMessage*/, const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  // As on the embedded backend: a misspelt column in double quotes must be an error, not a
  // string literal that quietly matches nothing.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  return zibrolt::RegisterOracleCompat(db);
}
