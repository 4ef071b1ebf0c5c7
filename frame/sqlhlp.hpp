// The database client layer: the handful of operations every query of the program needs,
// each answering with a database status (0 success, 1403 no row, negative an error number).
// Statements are written once in the Oracle form the installation has always sent and are
// prepared once per run; a backend rewrites them where its database needs another dialect.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zibrolt::sqlhlp {

inline constexpr int kOk = 0;
inline constexpr int kNoRow = 1403;         // no row, or no further row of a cursor
inline constexpr int kTooManyRows = -1422;  // a single-row query found a second row

// One output of a statement: a text buffer of `capacity` bytes (the value arrives cut to
// capacity - 1 characters, as single-byte Windows-1252 text) or a 32-bit integer.
struct Column {
  enum Kind : std::uint8_t { kText, kInt } kind;
  int capacity;  // text buffer size including the terminator; unused for integers
};
constexpr Column Text(int capacity) { return {Column::kText, capacity}; }
constexpr Column Int() { return {Column::kInt, 0}; }

// A statement as the program knows it: its text exactly as sent to Oracle (into-list included,
// placeholders :b0, :b1, ...) and the buffers its columns are received into. Each Query is a
// constant with static storage; the connection keys its prepared statements by its address.
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

class Statement {
 public:
  virtual ~Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Inputs in placeholder order after the from clause, index 0 first. They are taken when the
  // statement runs (a cursor takes them when it is opened).
  virtual void BindText(int index, std::string_view value) = 0;
  virtual void BindInt(int index, std::int32_t value) = 0;

  virtual int Execute() = 0;    // statement without result rows
  virtual int SelectOne() = 0;  // single-row query: 0, 1403, kTooManyRows or an error
  virtual int Open() = 0;       // cursor open; the first row is read by Fetch
  virtual int Fetch() = 0;      // next row: 0, 1403 or an error
  virtual int Close() = 0;

  // The current row. A NULL value reads as empty text or 0; IsNull tells it apart.
  virtual std::string_view GetText(int column) const = 0;
  virtual std::int32_t GetInt(int column) const = 0;
  virtual bool IsNull(int column) const = 0;

 protected:
  Statement() = default;
};

class Connection {
 public:
  virtual ~Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The prepared statement for this query, prepared on first use and reused for the whole
  // run. A statement that fails to prepare still comes back: each of its operations then
  // answers with the prepare's error status, as the database would at execution.
  Statement& Use(const Query& query);

  // Prepares and executes a statement that is run once only (its text is built at run time).
  int ExecuteOnce(std::string_view text);

  Counters& counters() { return counters_; }

  // True where every statement execution is a round trip to a server: lookups then ask for a
  // window of badges at once. An embedded database answers single lookups faster.
  virtual bool PrefersBatches() const { return false; }

 protected:
  Connection() = default;
  virtual std::unique_ptr<Statement> Prepare(const Query& query) = 0;
  // Backends call this first in their destructor: statements go before their connection.
  void ClearStatements() { statements_.clear(); }
  Counters counters_;

 private:
  std::vector<std::pair<const Query*, std::unique_ptr<Statement>>> statements_;
};

// Opens the connection that the NET8 setting names: "sqlite:PATH" the embedded database file,
// anything else an ODBC data source. Login and password are passed separately, so either may
// hold "/" or "@". Returns the status of the connect.
int ConnectClient(std::string_view login, std::string_view password, std::string_view net,
                  std::unique_ptr<Connection>& connection);

// Connects and switches the connection to the schema with
// "ALTER SESSION SET CURRENT_SCHEMA=<schema>". Returns the first failing status, else 0.
int ConnectDatabase(std::string_view login, std::string_view password, std::string_view net,
                    std::string_view schema, std::unique_ptr<Connection>& connection);

}  // namespace zibrolt::sqlhlp
