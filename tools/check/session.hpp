// The database and the client session: which server and driver answer, the language settings
// that decide the order of badges and classes in the files, and how long a round trip takes.
#pragma once
#include "client/sqlhlp.hpp"
#include "tools/check/catalog.hpp"
#include "tools/check/report.hpp"

namespace zibrolt::check {

// Reports the points and returns which database answers (kUnknown is a FAIL).
Dbms CheckSession(sqlhlp::Connection& db, Report& report);

// How the server receives bound text, and whether the key columns compare with it as the
// lookups need (FAIL with what to change when not).
void CheckBinds(sqlhlp::Connection& db, Report& report);

// The Oracle forms of the session's statements, for the statement list.
void ListSessionStatements(std::vector<ListedStatement>& out);

}  // namespace zibrolt::check
