// What the preflight asks the database about itself: which database answers, its columns and
// its indexes. These are the only statements that differ between Oracle (its dictionary views)
// and SQLite (its table-valued pragmas); the Oracle ones cannot be tried without a server, so
// they are kept to plain reads of ALL_TAB_COLUMNS and ALL_IND_COLUMNS.
#pragma once
#include <string>
#include <vector>

#include "client/sqlhlp.hpp"
#include "data/statements.hpp"

namespace zibrolt::check {

enum class Dbms { kUnknown, kOracle, kSqlite };

// Tries a query only SQLite answers, then one only Oracle does; version gets the answer.
Dbms DetectDbms(sqlhlp::Connection& db, std::string& version);

struct ColumnInfo {
  std::string name;  // upper case
  std::string type;  // as declared, upper case: "VARCHAR2", "CHAR", "NUMBER", "TEXT" ...
  int length = 0;    // characters or bytes the column holds; 0 when not declared
};

// How a key compares: CHAR is blank-padded on Oracle, so it meets VARCHAR2 and binds only at
// full width; numbers and texts meet only through a conversion.
enum class KeyKind { kNumber, kText, kChar, kOther };
KeyKind KindOf(const ColumnInfo& column);
std::string Describe(const ColumnInfo& column);  // "VARCHAR2(20)"

// The columns of schema.table (upper case names); a status other than 0 when unreadable.
int ReadColumns(sqlhlp::Connection& db, Dbms dbms, const std::string& schema,
                const std::string& table, std::vector<ColumnInfo>& columns);

// The first column of each index on the table: the columns a lookup can find rows by.
int ReadIndexedColumns(sqlhlp::Connection& db, Dbms dbms, const std::string& schema,
                       const std::string& table, std::vector<std::string>& leading);

// The Oracle forms of the catalog statements above, for the statement list.
void ListCatalogStatements(std::vector<ListedStatement>& out);

}  // namespace zibrolt::check
