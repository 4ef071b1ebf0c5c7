// Tables and compared columns are read from the statement texts themselves, so the check
// follows whatever the statements send. Every table is named with the Korvadat qualifier, every
// column without one, and a comparison is "COLUMN=:bN" (a key looked up) or "COLUMN=COLUMN" (a
// join): literals and the date conditions do not take part.
#include "tools/check/structure.hpp"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "data/badges.hpp"
#include "data/checks.hpp"
#include "data/statements.hpp"
#include "text/ascii_case.hpp"
#include "tools/check/session.hpp"
#include "tools/check/terminal.hpp"

namespace zibrolt::check {
namespace {

// The statements name every table with this owner, whatever schema the session is switched to.
const std::string kOwner = "KORVADAT";

std::string Upper(std::string text) {
  StrUpper(text);
  return text;
}

// The statements' texts are read by scanning, not with std::regex: its matching was a large
// part of a check's time (and its templates of the program's build time).

// A name as the statements spell tables and columns: a letter or underscore, then letters,
// digits, "_", "$" and "#".
bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$' || c == '#'; }
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::size_t NameEnd(std::string_view text, std::size_t at) {
  while (at < text.size() && IsNameChar(text[at])) ++at;
  return at;
}

// Whether text holds lower at at, letters in either case.
bool HoldsNoCase(std::string_view text, std::size_t at, std::string_view lower) {
  if (text.size() - at < lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    char c = text[at + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

// The tables named "korvadat.NAME", each once, upper case.
std::vector<std::string> TablesOf(std::string_view text) {
  constexpr std::string_view kQualifier = "korvadat.";
  std::vector<std::string> tables;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (!HoldsNoCase(text, at, kQualifier)) continue;
    const std::size_t start = at + kQualifier.size(), end = NameEnd(text, start);
    if (end == start) continue;
    std::string name = Upper(std::string(text.substr(start, end - start)));
    if (std::find(tables.begin(), tables.end(), name) == tables.end()) tables.push_back(name);
    at = end - 1;
  }
  return tables;
}

// Placeholders after the from clause (the first "from" between blanks): the inputs a statement
// is run with.
int InputsOf(std::string_view text) {
  std::string_view rest;
  for (std::size_t at = 0; at + 6 <= text.size() && rest.empty(); ++at)
    if (IsBlank(text[at]) && HoldsNoCase(text, at + 1, "from") && IsBlank(text[at + 5]))
      rest = text.substr(at + 6);
  int inputs = 0;
  for (std::size_t at = rest.find(":b"); at != std::string_view::npos; at = rest.find(":b", at + 2))
    ++inputs;
  return inputs;
}

// "NAME = :bN" (a key looked up) or "NAME = NAME" (a join), blanks around "=" allowed, in the
// order they appear; a comparison is looked for again after the end of the one before.
struct Comparison {
  std::string column, other;
};
std::vector<Comparison> ComparisonsOf(std::string_view text) {
  std::vector<Comparison> found;
  for (std::size_t at = 0; at < text.size();) {
    if (!IsNameStart(text[at])) {
      ++at;
      continue;
    }
    const std::size_t columnEnd = NameEnd(text, at);
    std::size_t p = columnEnd;
    while (p < text.size() && IsBlank(text[p])) ++p;
    std::size_t end = p;
    if (p < text.size() && text[p] == '=') {
      ++p;
      while (p < text.size() && IsBlank(text[p])) ++p;
      if (text.substr(p, 2) == ":b" && p + 2 < text.size() && text[p + 2] >= '0' &&
          text[p + 2] <= '9') {
        end = p + 2;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
      } else if (p < text.size() && IsNameStart(text[p])) {
        end = NameEnd(text, p);
      }
    }
    if (end <= p) {  // no comparison begins anywhere in this name
      at = columnEnd;
      continue;
    }
    found.push_back(
        {std::string(text.substr(at, columnEnd - at)), std::string(text.substr(p, end - p))});
    at = end;
  }
  return found;
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

  Columns columns(db, dbms, report);
  std::map<Key, bool> keys;  // looked up by a bound value; true when once per badge
  std::set<std::pair<Key, Key>> joins;
  for (const ListedStatement& s : statements) {
    const std::vector<std::string> from = TablesOf(s.text);
    bool first = true;  // a lookup per badge compares the badge first
    for (const Comparison& c : ComparisonsOf(s.text)) {
      Key left, right;
      if (!columns.Find(from, Upper(c.column), left.table)) continue;
      left.column = Upper(c.column);
      const std::string& other = c.other;
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
