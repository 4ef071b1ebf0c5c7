// The installation's tables against the statements zibrolt sends: every table readable, every
// statement prepared and run, the types of the keys they compare and the indexes the lookups
// run once per badge depend on.
#pragma once
#include "client/sqlhlp.hpp"
#include "tools/check/catalog.hpp"
#include "tools/check/report.hpp"

namespace zibrolt::check {

void CheckStructure(sqlhlp::Connection& db, Dbms dbms, Report& report);

// Every statement zibrolt-check itself sends to Oracle besides zibrolt's (DataStatements),
// each in its Oracle form.
std::vector<ListedStatement> CheckToolStatements();

}  // namespace zibrolt::check
