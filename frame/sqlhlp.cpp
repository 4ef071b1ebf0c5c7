// Statement cache and connect sequence shared by every backend.
#include "frame/sqlhlp.hpp"

#include "frame/fault_injection.hpp"
#include "frame/odbc_client.hpp"
#include "frame/sqlite_client.hpp"

namespace zibrolt::sqlhlp {
namespace {

// Passes every operation to the backend's statement unless the fault seam says this one fails.
class FaultSeamStatement final : public Statement {
 public:
  FaultSeamStatement(std::unique_ptr<Statement> inner, std::string_view text)
      : inner_(std::move(inner)), text_(text) {}
  void BindText(int index, std::string_view value) override { inner_->BindText(index, value); }
  void BindInt(int index, std::int32_t value) override { inner_->BindInt(index, value); }
  int Execute() override { return Hit(faults::Point::kExecute) ? kFailed : inner_->Execute(); }
  int SelectOne() override { return Hit(faults::Point::kExecute) ? kFailed : inner_->SelectOne(); }
  int Open() override { return Hit(faults::Point::kExecute) ? kFailed : inner_->Open(); }
  int Fetch() override { return Hit(faults::Point::kFetch) ? kFailed : inner_->Fetch(); }
  int Close() override { return inner_->Close(); }
  std::string_view GetText(int column) const override { return inner_->GetText(column); }
  std::int32_t GetInt(int column) const override { return inner_->GetInt(column); }
  bool IsNull(int column) const override { return inner_->IsNull(column); }

 private:
  static constexpr int kFailed = faults::kInjectedStatus;
  bool Hit(faults::Point point) const { return faults::Hit(point, text_); }
  std::unique_ptr<Statement> inner_;
  std::string_view text_;  // the statement's text, static like its Query
};

}  // namespace

Statement& Connection::Use(const Query& query) {
  // A run uses about a dozen statements; a short linear scan beats hashing here.
  for (auto& [key, statement] : statements_)
    if (key == &query) return *statement;
  ++counters_.prepares;
  std::unique_ptr<Statement> statement = Prepare(query);
  if (faults::Armed())
    statement = std::make_unique<FaultSeamStatement>(std::move(statement), query.text);
  statements_.emplace_back(&query, std::move(statement));
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
