// Tables and compared columns are read from the statement texts themselves, so the check
// follows whatever the statements send. Every table is named with the Korvadat qualifier, every
// column without one, and a comparison is "COLUMN=:bN" (a key looked up) or "COLUMN=COLUMN" (a
// join): literals and the date conditions do not take part.
#include "tools/check/structure.hpp"

#include <algorithm>
#include <cstdint>
#include <map>
#include <regex>
#include <set>
#include <utility>
#include <vector>

#include "data/badges.hpp"
#include "data/checks.hpp"
#include "data/statements.hpp"
#include "tools/check/session.hpp"
#include "tools/check/terminal.hpp"

namespace zibrolt::check {
namespace {

// The statements name every table with this owner, whatever schema the session is switched to.
const std::string kOwner = "KORVADAT";

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::vector<std::string> TablesOf(const std::string& text) {
  static const std::regex table(R"(korvadat\.([A-Za-z0-9_$#]+))", std::regex::icase);
  std::vector<std::string> tables;
  for (std::sregex_iterator it(text.begin(), text.end(), table), end; it != end; ++it) {
    std::string name = Upper((*it)[1]);
    if (std::find(tables.begin(), tables.end(), name) == tables.end()) tables.push_back(name);
  }
  return tables;
}

// Placeholders after the from clause: the inputs a statement is run with.
int InputsOf(const std::string& text) {
  static const std::regex from(R"(\sfrom\s)", std::regex::icase);
  std::smatch m;
  if (!std::regex_search(text, m, from)) return 0;
  const std::string rest = m.suffix();
  int inputs = 0;
  for (std::size_t at = rest.find(":b"); at != std::string::npos; at = rest.find(":b", at + 2))
    ++inputs;
  return inputs;
}

struct Key {
  std::string table, column;
  auto operator<=>(const Key&) const = default;
  std::string Name() const { return table + "." + column; }
};

class Columns {
 public:
  Columns(sqlhlp::Connection& db, Dbms dbms, Report& report)
      : db_(db), dbms_(dbms), report_(report) {}

  // The table among tables that has the column, or null.
  const ColumnInfo* Find(const std::vector<std::string>& tables, const std::string& column,
                         std::string& table) {
    for (const std::string& t : tables)
      for (const ColumnInfo& c : Of(t))
        if (c.name == column) {
          table = t;
          return &c;
        }
    return nullptr;
  }
  const ColumnInfo* Get(const Key& key) {
    for (const ColumnInfo& c : Of(key.table))
      if (c.name == key.column) return &c;
    return nullptr;
  }

 private:
  const std::vector<ColumnInfo>& Of(const std::string& table) {
    auto [it, added] = cache_.try_emplace(table);
    if (!added) return it->second;
    const int status = ReadColumns(db_, dbms_, kOwner, table, it->second);
    if (status != sqlhlp::kOk)
      report_.Warn("Spaltentypen von " + table + " nicht lesbar, " +
                   StatusText(status, db_.DriverState(status)));
    else if (it->second.empty())
      report_.Warn("Spaltentypen von " + table + " nicht lesbar: keine Spalten im Katalog");
    return it->second;
  }

  sqlhlp::Connection& db_;
  Dbms dbms_;
  Report& report_;
  std::map<std::string, std::vector<ColumnInfo>> cache_;
};

constexpr sqlhlp::Column kCount[] = {sqlhlp::Int()};

std::string TableCountText(const std::string& table) {
  return "select count(*) from Korvadat." + table + " where 1=0";
}

// The tables the statements read, each once, in the order they are first named.
std::vector<std::string> TablesRead(const std::vector<ListedStatement>& statements) {
  std::vector<std::string> tables;
  for (const ListedStatement& s : statements)
    for (std::string& t : TablesOf(s.text))
      if (std::find(tables.begin(), tables.end(), t) == tables.end()) tables.push_back(t);
  return tables;
}

void CheckTables(sqlhlp::Connection& db, const std::vector<std::string>& tables, Report& report) {
  for (const std::string& table : tables) {
    const std::string text = TableCountText(table);
    sqlhlp::Statement& st = db.Use({text, kCount});
    const int status = st.SelectOne();
    if (status == sqlhlp::kOk)
      report.Ok("Tabelle " + table + " lesbar");
    else
      report.Fail("Tabelle " + table + " nicht lesbar, " +
                  StatusText(status, db.DriverState(status)));
    db.Release({text, kCount});
  }
}

// Values no row holds, yet values: Oracle reads an empty text as NULL, and a comparison with
// NULL is neither parsed against the column's type nor run as production runs it. The window
// forms are run at their full size with every place in use, as the last windows of a night are.
constexpr std::string_view kNoKey = "~zibrolt-check~";

void CheckStatements(sqlhlp::Connection& db, const std::vector<ListedStatement>& statements,
                     Report& report) {
  for (const ListedStatement& s : statements) {
    sqlhlp::Statement& st = db.Use({s.text, s.outputs});
    if (s.places > 0) {
      for (std::size_t i = 0; i < s.places; ++i) st.BindText(static_cast<int>(i), kNoKey);
      st.BindInt(static_cast<int>(s.places), static_cast<std::int32_t>(s.places));
    } else {
      for (int i = 0, n = InputsOf(s.text); i < n; ++i)
        if (static_cast<std::size_t>(i) < s.inputs.size() && s.inputs[i] == 'i')
          st.BindInt(i, 0);
        else
          st.BindText(i, kNoKey);
    }
    // The first row tells that the statement runs; a list without a key is not read whole.
    int status = st.Open();
    if (status == sqlhlp::kOk) status = st.Fetch();
    st.Close();
    const std::string name = "Anweisung " + std::string(s.name);
    if (status == sqlhlp::kOk || status == sqlhlp::kNoRow)
      report.Ok(name + " vorbereitet und ausgefuehrt");
    else
      report.Fail(name + " fehlerhaft, " + StatusText(status, db.DriverState(status)));
    // Run once here: kept, the windows alone would hold four of the server's cursors.
    db.Release({s.text, s.outputs});
  }
}

void CheckKey(const Key& key, const ColumnInfo& column, Report& report) {
  const std::string line = "Schluessel " + key.Name() + ": " + Describe(column);
  if (KindOf(column) == KeyKind::kChar)
    report.Warn(line +
                ", CHAR mit Leerzeichen aufgefuellt: ein Text findet ihn nur als CHAR "
                "gebunden");
  else
    report.Ok(line);
}

void CheckJoin(const Key& a, const ColumnInfo& ca, const Key& b, const ColumnInfo& cb,
               Report& report) {
  const std::string line =
      "Verknuepfung " + a.Name() + "=" + b.Name() + ": " + Describe(ca) + " / " + Describe(cb);
  const KeyKind ka = KindOf(ca), kb = KindOf(cb);
  if (ka != kb && (ka == KeyKind::kChar || kb == KeyKind::kChar))
    report.Warn(line + ", CHAR und Text: aufgefuellte Werte sind ungleich");
  else if (ka != kb)
    report.Warn(line + ", Typen verschieden: verglichen wird erst nach Umwandlung");
  else if (ka == KeyKind::kChar && ca.length != cb.length)
    report.Warn(line + ", CHAR verschiedener Breite: aufgefuellte Werte sind ungleich");
  else
    report.Ok(line);
}

// The embedded database keeps dates as text, which can hold what no Oracle DATE can; a run
// stops at the first such row of its list, so every night would fail until it is mended.
void CheckDates(sqlhlp::Connection& db, Report& report) {
  BadDateRow bad;
  const int status = FindBadDate(db, "", bad);
  if (status == sqlhlp::kNoRow)
    report.Ok("Datumsspalten AswGvo und AswGbi: jeder Wert leer oder ein Datum");
  else if (status != sqlhlp::kOk)
    report.Warn("Datumsspalten AswGvo und AswGbi nicht pruefbar, " +
                StatusText(status, db.DriverState(status)));
  else
    report.Fail(std::to_string(bad.count) +
                " Ausweiszeilen mit einem Datum, das keines ist, z. B. "
                "Ausweis " +
                bad.badge + ": " + bad.column + " '" + bad.value + "': zibrolt bricht dort ab");
}

}  // namespace

void CheckStructure(sqlhlp::Connection& db, Dbms dbms, Report& report) {
  const std::vector<ListedStatement> statements = DataStatements();
  CheckTables(db, TablesRead(statements), report);
  CheckStatements(db, statements, report);
  if (dbms == Dbms::kSqlite) CheckDates(db, report);

  static const std::regex comparison(
      R"(([A-Za-z_][A-Za-z0-9_$#]*)\s*=\s*(:b[0-9]+|[A-Za-z_][A-Za-z0-9_$#]*))");
  Columns columns(db, dbms, report);
  std::map<Key, bool> keys;  // looked up by a bound value; true when once per badge
  std::set<std::pair<Key, Key>> joins;
  for (const ListedStatement& s : statements) {
    const std::vector<std::string> from = TablesOf(s.text);
    bool first = true;  // a lookup per badge compares the badge first
    for (std::sregex_iterator it(s.text.begin(), s.text.end(), comparison), end; it != end; ++it) {
      Key left, right;
      if (!columns.Find(from, Upper((*it)[1]), left.table)) continue;
      left.column = Upper((*it)[1]);
      const std::string other = (*it)[2];
      if (other.starts_with(":b")) {
        keys[left] = keys[left] || (s.perBadge && first);
        first = false;
        continue;
      }
      right.column = Upper(other);
      if (!columns.Find(from, right.column, right.table)) continue;
      joins.insert(std::minmax(left, right));
    }
  }
  for (const auto& [key, perBadge] : keys) CheckKey(key, *columns.Get(key), report);
  // A lookup per badge is handed the badge number as the list read it. Where its key holds
  // numbers and the list's holds text (or the other way round), the database compares after a
  // conversion: badge 0100001 then gets the rows of badge 100001.
  const Key listKey{"KVD301ASW", "ASWNUM"};
  if (const ColumnInfo* list = columns.Get(listKey)) {
    const bool listNumber = KindOf(*list) == KeyKind::kNumber;
    for (const auto& [key, perBadge] : keys) {
      const KeyKind kind = KindOf(*columns.Get(key));
      if (!perBadge || kind == KeyKind::kOther || (kind == KeyKind::kNumber) == listNumber)
        continue;
      report.Warn("Schluessel " + key.Name() + ": " + Describe(*columns.Get(key)) +
                  ", die Ausweisnummer der Ausweisliste " + listKey.Name() + " aber " +
                  Describe(*list) +
                  ": verglichen wird nach Umwandlung, Ausweis 0100001 bekommt dann die Zeilen "
                  "von 100001");
    }
  }
  for (const auto& [a, b] : joins) CheckJoin(a, *columns.Get(a), b, *columns.Get(b), report);

  // Which classes a badge holds is the database's join: the program makes it only where the
  // catalog proves that the database would decide alike; either way the files are the same.
  const backend::JoinProof& classes = ClassJoinInProgram(db);
  report.Ok(std::string(classes.exact ? "Klassenabgleich im Programm: "
                                      : "Klassenabgleich je Ausweis in der Datenbank: ") +
            classes.reason);

  // A lookup run for every badge reads the whole table each time without an index that
  // starts with its key.
  std::vector<std::string> leading;
  for (const auto& [key, perBadge] : keys) {
    if (!perBadge) continue;
    const int status = ReadIndexedColumns(db, dbms, kOwner, key.table, leading);
    if (status != sqlhlp::kOk)
      report.Warn("Indexe von " + key.table + " nicht lesbar, " +
                  StatusText(status, db.DriverState(status)));
    else if (std::find(leading.begin(), leading.end(), key.column) != leading.end())
      report.Ok("Index auf " + key.Name());
    else
      report.Warn("Kein Index beginnt mit " + key.Name() +
                  ": jede Abfrage je Ausweis liest die ganze Tabelle");
  }
}

std::vector<ListedStatement> CheckToolStatements() {
  std::vector<ListedStatement> all;
  ListSessionStatements(all);
  ListCatalogStatements(all);
  for (const std::string& table : TablesRead(DataStatements())) {
    all.push_back(Listed("Tabelle lesbar", TableCountText(table), kCount));
  }
  ListTerminalCheckStatements(all);
  return all;
}

}  // namespace zibrolt::check
