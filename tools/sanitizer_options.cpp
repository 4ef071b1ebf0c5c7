// Sanitizer settings built into every program of a sanitizer build that links the client
// layer: leak reports to leave out for memory that third-party libraries keep until the
// process ends.

// Allocation stacks from frame pointers, the sanitizers' own default, spelled out: the system's
// SQLite library has none, so a stack through it ends inside it. A leak there is still reported;
// ASAN_OPTIONS=fast_unwind_on_malloc=0 shows the callers. Exact stacks on every allocation made
// a demo run under the sanitizers take about 100 ms instead of 37, and only the suppression of
// the SQLite ODBC driver's dropped message below needs them: its test sets them
// (tests/CMakeLists.txt).
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=1"; }

// unixODBC's configuration reader keeps what it parsed of odbc.ini for the life of the process;
// the SQLite ODBC driver drops the message of an extension that failed to load.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libodbcinst.so\n"
         "leak:sqlite3_load_extension\n";
}
