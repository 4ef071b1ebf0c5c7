// The SQLite API as the compatibility functions see it: linked directly into the program, or,
// when built as a loadable extension (ZIBROLT_SQLITE_EXTENSION), called through the table of
// routines the host hands over.
#pragma once
#ifdef ZIBROLT_SQLITE_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif
