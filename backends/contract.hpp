// What a database backend must do for the client layer, and nothing more: prepare a statement
// text, run it with input values, hand over its rows one by one as Windows-1252 text or
// integers, and answer the schema switch. Everything the program relies on beyond that (input
// and row buffers, cutting a value to its buffer, the status of a cursor that is not open,
// answering "no row" again after the end, statement reuse) lives once in the client layer, so
// that a new backend cannot get it wrong.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zibrolt::backend {

// Database statuses, as the installation's programs have always read them: 0 success, 1403 no
// (further) row, negative an error number.
inline constexpr int kOk = 0;
inline constexpr int kNoRow = 1403;
inline constexpr int kTooManyRows = -1422;    // a single-row query found a second row
inline constexpr int kInvalidCursor = -1001;  // a fetch or close on a cursor that is not open

// One output of a statement: a text buffer of `capacity` bytes (the value arrives cut to
// capacity - 1 characters), a 32-bit integer, or a column that no caller reads (it arrives as
// NULL, neither fetched nor converted).
struct Column {
  enum Kind : std::uint8_t { kText, kInt, kUnread } kind;
  int capacity;  // text buffer size including the terminator; unused for integers
};

// One input value, in placeholder order.
struct Bind {
  bool isInt = false;
  std::int32_t number = 0;
  std::string text;   // Windows-1252
  std::string exact;  // when not empty: a value's exact form as a Row gave it, bound instead
};

// One row as a backend delivers it. Texts are Windows-1252 and may be longer than their
// column's capacity; the client layer cuts them.
struct Row {
  Row() = default;
  // Sized to the columns, each NULL until a row is read into it.
  explicit Row(std::size_t columns)
      : texts(columns), exact(columns), ints(columns), nulls(columns, 1) {}

  std::vector<std::string> texts;  // per column; empty for NULL and for integers
  // Per text column: empty when texts holds the database's value exactly (every character its
  // own byte); otherwise the value as the database gave it, in the backend's own encoding behind
  // a tag byte (kExactText, kExactBlob, kExactReal), so that values are compared, and bound again,
  // as the database holds them and never by their Windows-1252 bytes.
  std::vector<std::string> exact;
  std::vector<std::int64_t> ints;  // per integer column; 0 for NULL
  std::vector<char> nulls;         // per column: 1 when the value is NULL
};

// The tag bytes that open a Row's exact form: a text in the backend's encoding, a value the
// database keeps as bytes, and a text cut to its buffer (its whole Windows-1252 form follows).
inline constexpr char kExactText = '\x01';
inline constexpr char kExactBlob = '\x02';
inline constexpr char kExactCut = '\x03';
inline constexpr char kExactReal = '\x04';  // a floating-point value, its 8 bytes following

// A key column of a join, as the statements name it: table (without the owner) and column,
// in upper case.
struct KeyColumn {
  std::string_view table;
  std::string_view column;
};

// What a connection found out about the database's comparison of two key columns.
struct JoinProof {
  bool exact = false;  // a=b holds exactly when the two values' exact forms are the same
  std::string reason;  // what the catalog showed, for the preflight's line
};

// How a statement is about to be read, so a backend can size what it asks per round trip.
enum class Reading : std::uint8_t {
  kNone,       // no rows are read (the schema switch and statements like it)
  kSingleRow,  // at most two rows: the one wanted and a look for a second
  kCursor,     // every row, in order
  kList,       // every row, in order, of a long list read to its end: it may be read ahead
};

class Statement {
 public:
  virtual ~Statement() = default;
  // Runs the statement with these inputs; its rows are then read with Next.
  virtual int Run(std::span<const Bind> binds, Reading reading) = 0;
  // The next row into row (its vectors are sized to the outputs already), or only a look
  // whether there is one when row is null: 0, kNoRow at the end, or an error. Not called again
  // after it answered anything but 0.
  virtual int Next(Row* row) = 0;
  // Ends the reading of the current result.
  virtual void Reset() = 0;
};

class Connection {
 public:
  virtual ~Connection() = default;
  // A statement prepared from the installation's statement text (the client layer's dialect:
  // into-list, :bN placeholders, Korvadat qualifiers). On failure status holds the error and
  // the result may be null.
  virtual std::unique_ptr<Statement> Prepare(std::string_view text, std::span<const Column> outputs,
                                             int& status) = 0;
  // Switches the connection to the schema (already upper-cased by the caller).
  virtual int SwitchSchema(std::string_view schema) = 0;
  // True where every statement is a round trip to a server: lookups then ask for a window of
  // badges at once. An embedded database answers single lookups faster.
  virtual bool PrefersBatches() const = 0;
  // True where the server is Oracle: its catalog views and its own functions answer.
  virtual bool IsOracle() const { return false; }
  // The SQLSTATE that goes with status, the failure last answered, when that failure carried no
  // native error number; empty for any other status or failure.
  virtual std::string DriverState(int /*status*/) const { return {}; }
  // Whether the database, on this connection, finds a=b true exactly when the values it hands
  // over from the two text columns have the same exact form (Row::exact, or the text where that
  // is empty), for values of up to 255 characters: then the program may make that join itself.
  // Proven from the catalog and the session's settings; a backend that cannot tell says no.
  virtual JoinProof ProveExactJoin(const KeyColumn& a, const KeyColumn& b) {
    (void)a;
    (void)b;
    return {false, "unbekannte Datenbank"};
  }
  // Round trips to a server so far (prepares, executes and fetches that reach it); 0 for a
  // database in the process.
  virtual std::uint64_t RoundTrips() const { return 0; }
  // False once the database has ended the read transaction the connection began with (the
  // embedded database rolls it back after some errors): each later statement would read the
  // database as it is then, not as the statements before read it.
  virtual bool ViewKept() const { return true; }
  // Ends the read transaction and begins another: later statements read the database as it is
  // then. A database whose view needs no undo keeps it (the embedded one: a writer waits until
  // the reader ends).
  virtual int RenewView() { return kOk; }
};

// Opens a connection. target is the NET8 setting without the backend's prefix; login and
// password are separate values, so either may hold "/" or "@". Returns the status; a failure
// without a native error number leaves its SQLSTATE in driverState.
using ConnectFunction = int (*)(std::string_view target, std::string_view login,
                                std::string_view password, std::unique_ptr<Connection>& out,
                                std::string& driverState);

}  // namespace zibrolt::backend
