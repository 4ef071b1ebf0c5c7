// "sqlite:PATH" names the embedded database file; any other NET8 value is an ODBC data source,
// which is how the sites reach Oracle.
#include "backends/registry.hpp"

#include <sqlite3.h>

#include "backends/odbc.hpp"
#include "backends/sqlite.hpp"

namespace zibrolt::backend {
namespace {

constexpr Registration kBackends[] = {
    {"sqlite:", ConnectSqlite},
    {"", ConnectOdbc},
};

}  // namespace

std::span<const Registration> Backends() { return kBackends; }

std::string BuiltInDatabases() {
#ifdef ZIBROLT_WITH_ODBC
  constexpr std::string_view odbc = ", ODBC";
#else
  constexpr std::string_view odbc = ", ohne ODBC";
#endif
  return "SQLite " + std::string(sqlite3_libversion()) + std::string(odbc);
}

const Registration& BackendFor(std::string_view net, std::string_view& target) {
  for (const Registration& r : kBackends) {
    if (!net.starts_with(r.prefix)) continue;
    target = net.substr(r.prefix.size());
    return r;
  }
  target = net;
  return kBackends[std::size(kBackends) - 1];
}

}  // namespace zibrolt::backend
