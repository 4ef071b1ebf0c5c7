// The probe binds one value with a character beyond ASCII, as the lookups bind their keys, and
// asks the server what it received; the key columns' declared types come from the catalog.
// A CHAR key column needs the bound value to be CHAR (blank-padded comparison), a VARCHAR2 key
// column needs it unpadded, and no key column may be compared in the national character set.
// Where a combination does not hold, the run fails with advice instead of rewriting the
// statements (CAST(:bN AS CHAR(n)) on those columns): the statements sent stay the ones listed
// and checked, and a site whose keys are CHAR learns it before its first night.
#include "data/bind_probe.hpp"

#include <algorithm>
#include <cstdlib>

#include "backends/join_proof.hpp"
#include "data/badge_batch.hpp"

namespace zibrolt {
namespace {

using sqlhlp::Int;
using sqlhlp::Text;

// "Z" and a-umlaut: one byte each in Windows-1252, two bytes for the umlaut in AL32UTF8, four
// in AL16UTF16; no blank at its end, so that trailing blanks in a dump are padding.
constexpr std::string_view kProbeValue = "Z\xE4";
// A shorter value for the blank-padded comparison, of another length than kProbeValue, so that
// a keys list of both shows what Oracle makes of CHARs of different lengths.
constexpr std::string_view kPaddedValue = "ZB";
constexpr std::size_t kProbePlaces = 2;

// DUMP of a value padded to 256 characters of up to four bytes each fits.
constexpr int kDumpCapacity = 4001;
constexpr sqlhlp::Column kSingleColumns[] = {Text(kDumpCapacity), Int()};
constexpr sqlhlp::Query kSingleProbe{
    "select dump(:b0,1016) ,case when :b1=cast('ZB  ' as char(4)) then 1 else 0 end  from dual",
    kSingleColumns};
constexpr sqlhlp::Column kProbeWindowColumns[] = {Int(), Text(kDumpCapacity), Int()};
constexpr std::string_view kWindowProbe =
    "select keys.i ,dump(keys.k,1016) ,case when keys.k=cast('ZB  ' as char(4)) then 1 else 0 end "
    " from {keys}";

const std::string& WindowProbeText() {
  static const std::string text = WindowStatement(kWindowProbe, kProbePlaces);
  return text;
}

// SQLite compares every text as Oracle compares VARCHAR2, whatever the declared type: never
// padded. Integers are NUMBER. The same four columns as Oracle's catalog row.
constexpr sqlhlp::Query kSqliteColumnType{
    "select case when upper(type) like '%INT%' then 'NUMBER' else 'VARCHAR2' end ,0 ,0 ,'C'  "
    "from pragma_table_info(:b0) where upper(name)=:b1",
    backend::kOracleColumnTypeColumns};
constexpr sqlhlp::Query kOracleColumnType{backend::kOracleColumnType,
                                          backend::kOracleColumnTypeColumns};

// Every key column the lookups compare with a bound text: terminal names, badge numbers and the
// display-text set.
constexpr backend::KeyColumn kBoundKeys[] = {
    {"KVD1140TRM", "TRMNAM"}, {"KVD115TFZ", "TFZTRM"}, {"KVD401ZLS", "ZLSTRM"},
    {"MGSST35P", "M35TRM"},   {"KVD301ASW", "ASWNUM"}, {"KVD301AWB", "AWBASW"},
    {"KVD113AWV", "AWVNUM"},  {"O2002TSW", "TSWIDN"},  {"KVD119MSD", "MSDSAL"},
};

std::string TypeName(int type) {
  return type == 1 ? "VARCHAR2" : type == 96 ? "CHAR" : "Typ " + std::to_string(type);
}

bool National(const DumpReading& d) { return d.charset == "AL16UTF16"; }

// Blanks after the value: the driver or the server padded it to its declared size.
bool Padded(const DumpReading& d) { return !d.bytes.empty() && d.bytes.back() == 0x20; }

std::string Describe(const DumpReading& d) {
  std::string out = TypeName(d.type) + ", " + std::to_string(d.length) + " Bytes";
  if (!d.charset.empty()) out += ", " + d.charset;
  if (Padded(d)) out += ", mit Leerzeichen aufgefuellt";
  return out;
}

BindCheck Failed(std::string found, std::string problem, std::string change) {
  return {true, false, std::move(found), std::move(problem), std::move(change)};
}

}  // namespace

bool ParseDump(std::string_view text, DumpReading& out) {
  out = DumpReading{};
  const auto number = [&](std::string_view key, long& value) {
    if (!text.starts_with(key)) return false;
    text.remove_prefix(key.size());
    const std::size_t end = text.find_first_not_of("0123456789");
    if (end == 0 || end == std::string_view::npos) return false;
    value = std::strtol(std::string(text.substr(0, end)).c_str(), nullptr, 10);
    text.remove_prefix(end);
    return true;
  };
  long type = 0;
  if (!number("Typ=", type) || !number(" Len=", out.length)) return false;
  out.type = static_cast<int>(type);
  if (text.starts_with(" CharacterSet=")) {
    text.remove_prefix(14);
    const std::size_t end = text.find(':');
    if (end == std::string_view::npos) return false;
    out.charset = text.substr(0, end);
    text.remove_prefix(end);
  }
  if (!text.starts_with(": ")) return false;
  text.remove_prefix(2);
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(','), text.size());
    const std::string part(text.substr(0, end));
    char* stop = nullptr;
    const unsigned long byte = std::strtoul(part.c_str(), &stop, 16);
    if (part.empty() || part.size() > 2 || *stop != '\0' || byte > 255) return false;
    out.bytes.push_back(static_cast<unsigned char>(byte));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return !out.bytes.empty() && static_cast<long>(out.bytes.size()) == out.length;
}

BindCheck JudgeBinds(const BindAnswers& answers, std::span<const KeyColumnType> keys) {
  DumpReading single, window;
  if (!ParseDump(answers.single, single) || !ParseDump(answers.window, window))
    return Failed("Antwort \"" + answers.single + "\" / \"" + answers.window + "\"",
                  "Antwort der Datenbank auf DUMP nicht lesbar",
                  "Datenquelle pruefen: sie muss zu einem Oracle-Server fuehren");
  std::string found = Describe(single);
  if (Describe(window) != found) found += "; im Fenster " + Describe(window);
  for (const DumpReading* d : {&single, &window}) {
    if (d->type != 1 && d->type != 96)
      return Failed(found, "Text kommt als " + TypeName(d->type) + " an",
                    "ODBC-Treiber pruefen: Text muss als CHAR oder VARCHAR2 ankommen");
  }
  for (const KeyColumnType& key : keys) {
    const bool nationalKey = key.type == "NCHAR" || key.type == "NVARCHAR2";
    // A column the catalog does not show: the lookups that read it fail on their own, with
    // the database's error.
    if (key.type.empty() || key.type == "NUMBER") continue;
    if ((National(single) || National(window)) && !nationalKey)
      return Failed(found,
                    "Text kommt im nationalen Zeichensatz an: Oracle wandelt " + key.name +
                        " fuer jeden Vergleich um und liest die ganze Tabelle statt des Index",
                    "ODBC-Treiber und Datenquelle so einstellen, dass Text nicht als "
                    "NCHAR/NVARCHAR2 gebunden wird");
    if (key.type == "CHAR" || key.type == "NCHAR") {
      if (!answers.singlePadded || !answers.windowPadded)
        return Failed(found,
                      key.name + " ist " + key.type + "(" + std::to_string(key.chars) +
                          "), der Text kommt aber ohne CHAR-Vergleich an: ein Wert kuerzer als " +
                          std::to_string(key.chars) + " Zeichen wird nie gefunden",
                      "Schluesselspalten als VARCHAR2 fuehren (Werte ohne Leerzeichen am Ende, wie "
                      "die Installation sie anlegt) oder einen Treiber verwenden, der Text als "
                      "CHAR bindet");
      continue;
    }
    if (key.type != "VARCHAR2" && key.type != "NVARCHAR2")
      return Failed(found, key.name + " hat den Typ " + key.type,
                    "Schluesselspalte als VARCHAR2 fuehren");
    if (Padded(single) || Padded(window))
      return Failed(found,
                    key.name + " ist " + key.type +
                        ", der Text kommt aber aufgefuellt an: kein Wert wird gefunden",
                    "einen ODBC-Treiber verwenden, der Text in seiner eigenen Laenge bindet");
  }
  return {true, true, found, {}, {}};
}

BindCheck ProbeBinds(sqlhlp::Connection& db) {
  if (!db.PrefersBatches())
    return {false, true, "eingebettete Datenbank: kein Treiber bindet die Werte", {}, {}};
  // The probe's statements are the connection's own: they leave the run's counters alone.
  const sqlhlp::Counters counters = db.counters();
  BindAnswers answers;
  int status = sqlhlp::kOk;
  const auto failed = [&](std::string_view what) {
    return Failed("", std::string(what) + " fehlgeschlagen, SQLCode " + std::to_string(status),
                  "Datenbankverbindung und Rechte pruefen (zibrolt-check)");
  };
  {
    sqlhlp::Statement& st = db.Use(kSingleProbe);
    st.BindText(0, kProbeValue);
    st.BindText(1, kPaddedValue);
    status = st.SelectOne();
    if (status == sqlhlp::kOk) {
      answers.single = st.GetText(0);
      answers.singlePadded = st.GetInt(1) == 1;
    }
    db.Release(kSingleProbe);
    if (status != sqlhlp::kOk) return failed("Probe der Bindung");
  }
  {
    const sqlhlp::Query window{WindowProbeText(), kProbeWindowColumns};
    sqlhlp::Statement& st = db.Use(window);
    st.BindText(0, kProbeValue);
    st.BindText(1, kPaddedValue);
    st.BindInt(static_cast<int>(kProbePlaces), static_cast<std::int32_t>(kProbePlaces));
    status = st.Open();
    while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
      if (st.GetInt(0) == 0) answers.window = st.GetText(1);
      if (st.GetInt(0) == 1) answers.windowPadded = st.GetInt(2) == 1;
    }
    st.Close();
    db.Release(window);
    if (status != sqlhlp::kNoRow) return failed("Probe der Bindung im Fenster");
  }
  std::vector<KeyColumnType> keys;
  const sqlhlp::Query& catalog = db.IsOracle() ? kOracleColumnType : kSqliteColumnType;
  for (const backend::KeyColumn& key : kBoundKeys) {
    KeyColumnType& type = keys.emplace_back();
    type.name = std::string(key.table) + "." + std::string(key.column);
    sqlhlp::Statement& st = db.Use(catalog);
    st.BindText(0, key.table);
    st.BindText(1, key.column);
    status = st.SelectOne();
    if (status == sqlhlp::kOk) {
      type.type = st.GetText(0);
      type.chars = st.GetInt(2);
    }
    if (status != sqlhlp::kOk && status != sqlhlp::kNoRow) {
      db.Release(catalog);
      return failed("Katalog zu " + type.name);
    }
  }
  db.Release(catalog);
  db.counters() = counters;
  return JudgeBinds(answers, keys);
}

void ListBindProbeStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Bindung", kSingleProbe, false, "tt"));
  ListedStatement window = Listed("Bindung in der Schluesselliste eines Fensters",
                                  WindowProbeText(), kProbeWindowColumns);
  window.places = kProbePlaces;
  out.push_back(std::move(window));
  out.push_back(Listed("Schluesselspalte", kOracleColumnType));
}

}  // namespace zibrolt
