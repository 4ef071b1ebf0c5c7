// Names are compared in upper case, as Oracle stores unquoted names; the embedded database keeps
// them as the schema wrote them, so its answers are upper-cased in the query.
#include "tools/check/catalog.hpp"

#include <cctype>

namespace zibrolt::check {
namespace {

using sqlhlp::Int;
using sqlhlp::Text;

constexpr sqlhlp::Column kVersionColumns[] = {Text(129)};
constexpr sqlhlp::Query kSqliteVersion{"select sqlite_version()", kVersionColumns};
constexpr sqlhlp::Query kOracleVersion{"select BANNER from V$VERSION where ROWNUM=1",
                                       kVersionColumns};
// A site that has not granted V$VERSION still answers from DUAL.
constexpr sqlhlp::Query kOracleDual{"select 'Oracle (V$VERSION nicht lesbar)' from DUAL",
                                    kVersionColumns};

constexpr sqlhlp::Column kColumnColumns[] = {Text(129), Text(129), Int()};
constexpr sqlhlp::Query kOracleColumns{
    "select COLUMN_NAME ,DATA_TYPE ,CHAR_LENGTH from ALL_TAB_COLUMNS where OWNER=:b0 and "
    "TABLE_NAME=:b1",
    kColumnColumns};
// The embedded database is one file and one schema: the table is the only input.
constexpr sqlhlp::Query kSqliteColumns{
    "select upper(name) ,upper(type) ,0 from pragma_table_info(:b0)", kColumnColumns};

constexpr sqlhlp::Column kIndexColumns[] = {Text(129)};
constexpr sqlhlp::Query kOracleIndexes{
    "select COLUMN_NAME from ALL_IND_COLUMNS where TABLE_OWNER=:b0 and TABLE_NAME=:b1 and "
    "COLUMN_POSITION=1",
    kIndexColumns};
constexpr sqlhlp::Query kSqliteIndexes{
    "select upper(i.name) from pragma_index_list(:b0) l ,pragma_index_info(l.name) i where "
    "i.seqno=0",
    kIndexColumns};

// Runs a catalog query for schema.table (Oracle) or table (SQLite) and hands each row to each.
template <typename Each>
int ReadRows(sqlhlp::Connection& db, Dbms dbms, const sqlhlp::Query& oracle,
             const sqlhlp::Query& sqlite, const std::string& schema, const std::string& table,
             Each each) {
  const bool isOracle = dbms == Dbms::kOracle;
  sqlhlp::Statement& st = db.Use(isOracle ? oracle : sqlite);
  if (isOracle) st.BindText(0, schema);
  st.BindText(isOracle ? 1 : 0, table);
  int status = st.Open();
  while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) each(st);
  st.Close();
  return status == sqlhlp::kNoRow ? sqlhlp::kOk : status;
}

}  // namespace

Dbms DetectDbms(sqlhlp::Connection& db, std::string& version) {
  for (const auto& [query, dbms] :
       {std::pair{&kSqliteVersion, Dbms::kSqlite}, std::pair{&kOracleVersion, Dbms::kOracle},
        std::pair{&kOracleDual, Dbms::kOracle}}) {
    sqlhlp::Statement& st = db.Use(*query);
    if (st.SelectOne() != sqlhlp::kOk) continue;
    version = st.GetText(0);
    return dbms;
  }
  return Dbms::kUnknown;
}

KeyKind KindOf(const ColumnInfo& column) {
  const std::string& t = column.type;
  if (t.starts_with("CHAR") || t.starts_with("NCHAR") || t == "CHARACTER") return KeyKind::kChar;
  if (t.find("CHAR") != std::string::npos || t.find("TEXT") != std::string::npos ||
      t.find("CLOB") != std::string::npos)
    return KeyKind::kText;
  if (t.find("INT") != std::string::npos || t.starts_with("NUMBER") || t.starts_with("NUMERIC") ||
      t.starts_with("DECIMAL") || t.starts_with("FLOAT") || t.starts_with("REAL"))
    return KeyKind::kNumber;
  return KeyKind::kOther;
}

std::string Describe(const ColumnInfo& column) {
  if (column.length <= 0 || column.type.find('(') != std::string::npos) return column.type;
  return column.type + "(" + std::to_string(column.length) + ")";
}

int ReadColumns(sqlhlp::Connection& db, Dbms dbms, const std::string& schema,
                const std::string& table, std::vector<ColumnInfo>& columns) {
  columns.clear();
  return ReadRows(db, dbms, kOracleColumns, kSqliteColumns, schema, table,
                  [&columns](const sqlhlp::Statement& st) {
                    columns.push_back({std::string(st.GetText(0)), std::string(st.GetText(1)),
                                       st.IsNull(2) ? 0 : st.GetInt(2)});
                  });
}

int ReadIndexedColumns(sqlhlp::Connection& db, Dbms dbms, const std::string& schema,
                       const std::string& table, std::vector<std::string>& leading) {
  leading.clear();
  return ReadRows(db, dbms, kOracleIndexes, kSqliteIndexes, schema, table,
                  [&leading](const sqlhlp::Statement& st) { leading.emplace_back(st.GetText(0)); });
}

void ListCatalogStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Serverversion", kOracleVersion));
  out.push_back(Listed("Serverversion ohne V$VERSION", kOracleDual));
  out.push_back(Listed("Spaltentypen", kOracleColumns));
  out.push_back(Listed("Indexe", kOracleIndexes));
}

}  // namespace zibrolt::check
