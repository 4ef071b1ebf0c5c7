// The database client layer: the handful of operations every query of the program needs, each
// answering with a database status (0 success, 1403 no row, negative an error number).
// Statements are written once in the Oracle form the installation has always sent and are
// prepared once per run; the backend that NET8 names rewrites them where its database needs
// another dialect.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "backends/contract.hpp"

namespace zibrolt::sqlhlp {

using backend::kInvalidCursor;
using backend::kNoRow;
using backend::kOk;
using backend::kTooManyRows;

// Whether a status says the database could not answer. "No row" and "a second row" are
// answers about the data, which each lookup turns into its specified outcome.
constexpr bool IsError(int status) { return status < 0 && status != kTooManyRows; }

using Column = backend::Column;
constexpr Column Text(int capacity) { return {Column::kText, capacity}; }
constexpr Column Int() { return {Column::kInt, 0}; }
constexpr Column Unread() { return {Column::kUnread, 0}; }

// A statement as the program knows it: its text exactly as sent to Oracle (into-list included,
// placeholders :b0, :b1, ...) and the buffers its columns are received into. A connection
// prepares each once.
struct Query {
  std::string_view text;
  std::span<const Column> outputs;
};

// Counts of what a run asked of the database, for the benchmark; plain increments.
struct Counters {
  std::uint64_t prepares = 0;    // statements prepared
  std::uint64_t executions = 0;  // single-row queries, cursor opens and executes
  std::uint64_t fetches = 0;     // cursor fetches (including the one that says "no more rows")
};

// A prepared statement with its input values and the current row. Inputs keep their values
// from one execution to the next.
class Statement {
 public:
  Statement(std::unique_ptr<backend::Statement> prepared, int prepareStatus,
            std::span<const Column> outputs, std::string_view text, Counters& counters);
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Inputs in placeholder order after the from clause, index 0 first. They are taken when the
  // statement runs (a cursor takes them when it is opened).
  // exact: the value's exact form as GetExact gave it, bound instead of value where not empty.
  void BindText(int index, std::string_view value, std::string_view exact = {});
  void BindInt(int index, std::int32_t value);

  // A statement that failed to prepare answers every operation with the prepare's status, as
  // the database would at execution.
  [[nodiscard]] int Execute();    // statement without result rows
  [[nodiscard]] int SelectOne();  // single-row query: 0, 1403, kTooManyRows or an error
  [[nodiscard]] int Open();       // cursor open; the first row is read by Fetch
  // The open of a cursor over a long list that is read to its end (or closed early): the
  // backend may read its rows ahead while the caller works on the rows before them.
  [[nodiscard]] int OpenList();
  [[nodiscard]] int Fetch();  // next row: 0, 1403 or an error; again so after the end
  int Close();                // kInvalidCursor when the cursor is not open

  // The current row, each text cut to its buffer's capacity less one. A NULL value reads as
  // empty text or 0; IsNull tells it apart.
  std::string_view GetText(int column) const { return row_.texts[column]; }
  std::int32_t GetInt(int column) const { return ints_[column]; }
  bool IsNull(int column) const { return row_.nulls[column] != 0; }
  // Empty when GetText is the database's value exactly. Otherwise (a character without its own
  // Windows-1252 byte, a value kept as bytes, a value cut to its buffer) the value's exact form:
  // two values are the same in the database exactly when their exact forms are (where GetText
  // is exact, it is its own exact form). Bound again with BindText, it finds the same rows.
  std::string_view GetExact(int column) const { return row_.exact[column]; }
  // The text the statement was prepared from.
  std::string_view Text() const { return text_; }

 private:
  int Run(backend::Reading reading);
  int Open(backend::Reading reading);
  bool Hit(bool fetch) const;  // the test builds' fault seam
  void TakeRow();              // cuts the row the backend delivered to the outputs' buffers

  std::unique_ptr<backend::Statement> prepared_;
  int prepareStatus_;
  std::vector<Column> outputs_;
  std::string_view text_;  // the statement's text, as kept by its connection
  Counters& counters_;
  std::vector<backend::Bind> binds_;
  backend::Row row_;
  std::vector<std::int32_t> ints_;
  bool open_ = false;
  int endStatus_ = kOk;  // once a fetch answered other than 0, every later fetch answers so
};

class Connection {
 public:
  explicit Connection(std::unique_ptr<backend::Connection> backend);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The prepared statement for this text, prepared on first use and reused for the whole run.
  // Callers keep the reference: it stays valid as long as the connection.
  Statement& Use(const Query& query);
  // Releases the statement Use prepared for query, closing its cursor on the server: for the
  // statements a tool runs once, which would otherwise hold a cursor each for the whole run. A
  // later Use prepares it again. References to it are invalid afterwards.
  void Release(const Query& query);
  // The texts of the statements prepared and kept, each holding a cursor on the server.
  std::vector<std::string_view> PreparedTexts() const;

  [[nodiscard]] int SwitchSchema(std::string_view schema) { return backend_->SwitchSchema(schema); }
  bool PrefersBatches() const { return backend_->PrefersBatches(); }
  bool IsOracle() const { return backend_->IsOracle(); }
  // The SQLSTATE that goes with status, the failure last answered, when that failure carried no
  // native error number; empty for any other status or failure.
  std::string DriverState(int status) const { return backend_->DriverState(status); }
  // The backend's proof for a join of these two key columns, asked once per connection.
  const backend::JoinProof& ProveExactJoin(const backend::KeyColumn& a,
                                           const backend::KeyColumn& b);

  Counters& counters() { return counters_; }
  // Round trips to the database server so far, as the backend counts them (0 when embedded).
  std::uint64_t RoundTrips() const { return backend_->RoundTrips(); }
  // False once the database has ended the read transaction the connection began with: later
  // statements would read another database than the earlier ones (backend::Connection).
  bool ViewKept();
  // Ends the read transaction and begins another (backend::Connection::RenewView).
  [[nodiscard]] int RenewView() { return backend_->RenewView(); }

 private:
  std::unique_ptr<backend::Connection> backend_;  // declared first: outlives its statements
  Counters counters_;
  bool viewLost_ = false;  // the test seam has ended the view (fault_injection.hpp)
  // By text and outputs.
  std::unordered_map<std::string, std::unique_ptr<Statement>> statements_;
  std::unordered_map<std::string, backend::JoinProof> joins_;  // by the two columns' names
};

// Connects to the database NET8 names (its prefix chooses the backend: "sqlite:PATH" the
// embedded database file, anything else an ODBC data source) and switches the connection to the
// schema. Login and password are passed separately, so either may hold "/" or "@". Returns the
// first failing status, else 0. A failure without a native error number leaves its SQLSTATE
// in driverState, when given.
[[nodiscard]] int ConnectDatabase(std::string_view login, std::string_view password,
                                  std::string_view net, std::string_view schema,
                                  std::unique_ptr<Connection>& connection,
                                  std::string* driverState = nullptr);

}  // namespace zibrolt::sqlhlp
