// The backends a NET8 setting can name: each registers the prefix it answers to.
#pragma once
#include <span>
#include <string>
#include <string_view>

#include "backends/contract.hpp"

namespace zibrolt::backend {

struct Registration {
  std::string_view prefix;  // how NET8 begins; empty: every value no other prefix takes
  ConnectFunction connect;
};

// Longest prefixes first; the last entry takes everything else.
std::span<const Registration> Backends();

// The databases this build reaches, for a version line: "SQLite 3.40.1, ODBC" (the SQLite
// library it runs with, not the one it was built against), "..., ohne ODBC" without the ODBC
// backend.
std::string BuiltInDatabases();

// The backend NET8 names and what follows its prefix.
const Registration& BackendFor(std::string_view net, std::string_view& target);

}  // namespace zibrolt::backend
