// A dry run for one terminal: its context as zibrolt reads it, how many badges each download
// function would write tonight and, given the terminal's current file, what would change. The
// files are made in the temporary folder only; the current file is opened for reading.
#pragma once
#include <cstdio>
#include <string>

#include "client/sqlhlp.hpp"
#include "data/statements.hpp"
#include "tools/check/report.hpp"

namespace zibrolt::check {

struct TerminalRequest {
  std::string terminal;
  std::string function;  // empty: every function
  std::string current;   // empty: no comparison (needs a function)
};

void CheckTerminal(sqlhlp::Connection& db, const TerminalRequest& request, Report& report);

// From now on an interrupt (SIGINT, SIGTERM, SIGHUP) removes the dry run's temporary file,
// prints a FAIL line to out and ends the check with 1: a dry run's file holds the badge data of
// a whole terminal and must not stay in the temporary folder.
void CatchCheckInterrupts(std::FILE* out);

// The terminal check's own statements, for the statement list; its dry runs send zibrolt's.
void ListTerminalCheckStatements(std::vector<ListedStatement>& out);

}  // namespace zibrolt::check
