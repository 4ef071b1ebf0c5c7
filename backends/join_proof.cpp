#include "backends/join_proof.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace zibrolt::backend {
namespace {

// The longest value the program's key buffers hold whole.
constexpr std::int64_t kLongestKey = 255;

// Runs text with text inputs and gives the first row, or a status (kNoRow without one).
int FirstRow(Connection& db, std::string_view text, std::span<const Column> outputs,
             std::initializer_list<std::string_view> inputs, Row& row) {
  int status = kOk;
  const std::unique_ptr<Statement> st = db.Prepare(text, outputs, status);
  if (!st || status != kOk) return status != kOk ? status : -1;
  std::vector<Bind> binds;
  for (std::string_view input : inputs) binds.push_back({false, 0, std::string(input), {}});
  row = Row(outputs.size());
  status = st->Run(binds, Reading::kCursor);
  if (status == kOk) status = st->Next(&row);
  st->Reset();
  return status;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Named(const KeyColumn& c) { return std::string(c.table) + "." + std::string(c.column); }

// What the catalog says of one column, in words for the preflight.
struct ColumnType {
  std::string type;        // the declared type, upper case
  std::int64_t bytes = 0;  // Oracle: DATA_LENGTH
  std::int64_t chars = 0;  // Oracle: CHAR_LENGTH
  std::string unit;        // Oracle: CHAR_USED, B or C
  bool collated = false;   // SQLite: its table names a collation
};

std::string Describe(const KeyColumn& c, const ColumnType& t) {
  std::string out = Named(c) + " " + (t.type.empty() ? "ohne Typ" : t.type);
  if (t.chars > 0) out += "(" + std::to_string(t.chars) + (t.unit == "B" ? " BYTE)" : " CHAR)");
  return out;
}

bool IntegerAffinity(const std::string& type) { return type.find("INT") != std::string::npos; }

bool TextAffinity(const std::string& type) {
  return type.find("INT") == std::string::npos &&
         (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
          type.find("TEXT") != std::string::npos);
}

constexpr Column kSqliteTypeColumns[] = {{Column::kText, 129}};
constexpr Column kSqliteTableColumns[] = {{Column::kText, 65536}};

int ReadSqliteColumn(Connection& db, const KeyColumn& c, ColumnType& t) {
  Row row;
  int status = FirstRow(db, "select upper(type) from pragma_table_info(:b0) where upper(name)=:b1",
                        kSqliteTypeColumns, {c.table, c.column}, row);
  if (status != kOk) return status;
  t.type = row.texts[0];
  status =
      FirstRow(db, "select upper(sql) from sqlite_master where type='table' and upper(name)=:b0",
               kSqliteTableColumns, {c.table}, row);
  if (status != kOk) return status;
  t.collated = row.texts[0].find("COLLATE") != std::string::npos;
  return kOk;
}

int ReadOracleColumn(Connection& db, const KeyColumn& c, ColumnType& t) {
  Row row;
  const int status =
      FirstRow(db, kOracleColumnType, kOracleColumnTypeColumns, {c.table, c.column}, row);
  if (status != kOk) return status;
  t.type = Upper(row.texts[0]);
  t.bytes = row.ints[1];
  t.chars = row.ints[2];
  t.unit = row.texts[3];
  return kOk;
}

std::string Unreadable(const KeyColumn& c, int status) {
  return "Katalog zu " + Named(c) + " nicht lesbar (" + std::to_string(status) + ")";
}

}  // namespace

JoinProof ProveSqliteJoin(Connection& db, const KeyColumn& a, const KeyColumn& b) {
  std::array<ColumnType, 2> types;
  for (int i = 0; i < 2; ++i)
    if (const int status = ReadSqliteColumn(db, i == 0 ? a : b, types[i]); status != kOk)
      return {false, Unreadable(i == 0 ? a : b, status)};
  const std::string both = Describe(a, types[0]) + ", " + Describe(b, types[1]);
  // Integers have one text each; a value of another kind in such a column has an exact form.
  if (IntegerAffinity(types[0].type) && IntegerAffinity(types[1].type))
    return {true, both + ": Zahlen, als Zahlen verglichen"};
  if (!TextAffinity(types[0].type) || !TextAffinity(types[1].type))
    return {false, both + ": nicht beide Text oder beide ganze Zahlen"};
  if (types[0].collated || types[1].collated) return {false, both + ": eigene Sortierfolge"};
  return {true, both + ": Text, binaer verglichen"};
}

JoinProof ProveOracleJoin(Connection& db, const KeyColumn& a, const KeyColumn& b) {
  std::array<ColumnType, 2> types;
  for (int i = 0; i < 2; ++i)
    if (const int status = ReadOracleColumn(db, i == 0 ? a : b, types[i]); status != kOk)
      return {false, Unreadable(i == 0 ? a : b, status)};
  const std::string both = Describe(a, types[0]) + ", " + Describe(b, types[1]);
  const ColumnType &x = types[0], &y = types[1];
  // A NUMBER has one text, whatever the session's settings: equal texts are equal numbers.
  if (x.type == "NUMBER" && y.type == "NUMBER") return {true, both + ": Zahlen"};
  const bool varying = x.type == y.type && (x.type == "VARCHAR2" || x.type == "NVARCHAR2");
  const bool fixed = x.type == y.type && (x.type == "CHAR" || x.type == "NCHAR") &&
                     x.bytes == y.bytes && x.chars == y.chars && x.unit == y.unit;
  if (!varying && !fixed) return {false, both + ": nicht gleichen Typs"};
  if (std::max(x.chars, y.chars) > kLongestKey) return {false, both + ": laenger als 255 Zeichen"};
  std::string settings;
  bool binary = false;
  for (std::string_view parameter : {"NLS_COMP", "NLS_SORT"}) {
    Row row;
    const int status =
        FirstRow(db, kOracleSessionSetting, kOracleSessionSettingColumns, {parameter}, row);
    if (status != kOk)
      return {false, both + ": " + std::string(parameter) + " nicht lesbar (" +
                         std::to_string(status) + ")"};
    const std::string value = Upper(row.texts[0]);
    settings += " " + std::string(parameter) + "=" + value;
    binary = binary || value == "BINARY";
  }
  if (!binary) return {false, both + ";" + settings + ": nicht binaer verglichen"};
  return {true, both + ";" + settings + ": binaer verglichen"};
}

}  // namespace zibrolt::backend
