// Statement cache and connect sequence shared by every backend.
#include "frame/sqlhlp.hpp"

#include "frame/sqlite_client.hpp"
#include "frame/odbc_client.hpp"

namespace zibrolt::sqlhlp {

Statement& Connection::Use(const Query& query) {
  // A run uses about a dozen statements; a short linear scan beats hashing here.
  for (auto& [key, statement] : statements_)
    if (key == &query) return *statement;
  ++counters_.prepares;
  statements_.emplace_back(&query, Prepare(query));
  return *statements_.back().second;
}

int ConnectClient(std::string_view login, std::string_view password, std::string_view net,
                  std::unique_ptr<Connection>& connection) {
  constexpr std::string_view kSqlitePrefix = "sqlite:";
  if (net.substr(0, kSqlitePrefix.size()) == kSqlitePrefix)
    return ConnectSqlite(net.substr(kSqlitePrefix.size()), connection);
  return ConnectOdbc(net, login, password, connection);
}

namespace {
constexpr std::string_view kSchemaSwitchText = "ALTER SESSION SET CURRENT_SCHEMA=";
}

int Connection::ExecuteOnce(std::string_view text) {
  ++counters_.prepares;
  return Prepare(Query{text, {}})->Execute();
}

int ConnectDatabase(std::string_view login, std::string_view password, std::string_view net,
                    std::string_view schema, std::unique_ptr<Connection>& connection) {
  int status = ConnectClient(login, password, net, connection);
  if (status != kOk) return status;
  return connection->ExecuteOnce(std::string(kSchemaSwitchText) + std::string(schema));
}

}  // namespace zibrolt::sqlhlp
