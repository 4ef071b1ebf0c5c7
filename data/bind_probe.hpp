// How the server receives the text the program binds, asked once per connection before any
// file is touched: every key lookup compares a bound terminal name or badge number with a key
// column, and whether they compare as the lookups need depends on the type, length and
// character set the driver gives the bound value. A wrong combination finds no row without an
// error (an empty file that looks right) or reads whole tables.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "client/sqlhlp.hpp"
#include "data/statements.hpp"

namespace zibrolt {

// What DUMP(value, 1016) says of a value.
struct DumpReading {
  int type = -1;                     // Typ: 1 VARCHAR2, 96 CHAR
  long length = -1;                  // Len: bytes the server holds
  std::string charset;               // CharacterSet
  std::vector<unsigned char> bytes;  // the listed bytes
};

// Reads "Typ=96 Len=3 CharacterSet=AL32UTF8: 5a,c3,a4"; false for anything else.
bool ParseDump(std::string_view text, DumpReading& out);

// The probe's answers: the bound text as the single lookups and as a window's keys list bind
// it, and whether each compared equal with a blank-padded CHAR of the same characters.
struct BindAnswers {
  std::string single;         // DUMP of the bound value
  std::string window;         // DUMP of the same value taken from a window's keys list
  bool singlePadded = false;  // "ZB" bound equalled CAST('ZB  ' AS CHAR(4))
  bool windowPadded = false;  // the same through the keys list
};

// A key column compared with bound text, as the catalog declares it.
struct KeyColumnType {
  std::string name;  // TABLE.COLUMN
  std::string
      type;  // VARCHAR2, CHAR, NVARCHAR2, NCHAR, NUMBER; empty: not in the catalog (passed over)
  long chars = 0;  // declared length in characters
};

// The verdict. probed is false where no driver binds the values (the embedded database).
struct BindCheck {
  bool probed = false;
  bool ok = true;
  std::string found;    // what the server received, in words
  std::string problem;  // why the keys would not compare as the lookups need; empty when ok
  std::string change;   // what the site changes; empty when ok
};

// Judges the answers against the key columns; a pure function.
BindCheck JudgeBinds(const BindAnswers& answers, std::span<const KeyColumnType> keys);

// Runs the probe on this connection: through ODBC only (the embedded database binds in the
// process); its statements are released again. A statement that fails is a failed check.
BindCheck ProbeBinds(sqlhlp::Connection& db);

// The probe's statements in Oracle's form, for the statement list.
void ListBindProbeStatements(std::vector<ListedStatement>& out);

}  // namespace zibrolt
