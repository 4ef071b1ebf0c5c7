// Sanitizer settings built into every program of a sanitizer build that links the client
// layer: leak reports to leave out for memory that third-party libraries keep until the
// process ends.

// Exact stacks for allocations: the system's SQLite library has no frame pointers, and without
// them a leak inside it could not be told apart by its caller. Ten frames reach the callers the
// suppressions below name; unwinding the default thirty on every allocation made the runs that
// go through the SQLite ODBC driver a third slower.
extern "C" const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0:malloc_context_size=10";
}

// unixODBC's configuration reader keeps what it parsed of odbc.ini for the life of the process;
// the SQLite ODBC driver drops the message of an extension that failed to load.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libodbcinst.so\n"
         "leak:sqlite3_load_extension\n";
}
