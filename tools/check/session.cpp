// The Oracle points are read from the dictionary views a normal user may read; a view a site
// has not granted makes its point a WARN, never a FAIL, since the runs do not need it. The
// embedded database has no client, character set or sort settings: those points say so.
#include "tools/check/session.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/bind_probe.hpp"

namespace zibrolt::check {
namespace {

using sqlhlp::Text;

constexpr sqlhlp::Column kTwoTexts[] = {Text(129), Text(129)};
constexpr sqlhlp::Query kDriver{
    "select CLIENT_DRIVER ,CLIENT_VERSION from V$SESSION_CONNECT_INFO where "
    "SID=SYS_CONTEXT('USERENV','SID') and ROWNUM=1",
    kTwoTexts};
constexpr sqlhlp::Query kCharacterSet{
    "select PARAMETER ,VALUE from NLS_DATABASE_PARAMETERS where PARAMETER='NLS_CHARACTERSET'",
    kTwoTexts};
constexpr sqlhlp::Query kSort{
    "select PARAMETER ,VALUE from NLS_SESSION_PARAMETERS where PARAMETER='NLS_SORT'", kTwoTexts};
constexpr sqlhlp::Query kCompare{
    "select PARAMETER ,VALUE from NLS_SESSION_PARAMETERS where PARAMETER='NLS_COMP'", kTwoTexts};

constexpr sqlhlp::Column kOne[] = {sqlhlp::Int()};
constexpr sqlhlp::Query kOracleTrivial{"select 1 from DUAL", kOne};
constexpr sqlhlp::Query kSqliteTrivial{"select 1", kOne};

// A round trip above this makes a run of many badges slow; a local network answers in well
// under a millisecond.
constexpr double kSlowRoundTripMs = 20.0;
constexpr int kRoundTrips = 10;

// One row of two texts, or the status. Each is asked once: its cursor is released at once.
int ReadPair(sqlhlp::Connection& db, const sqlhlp::Query& query, std::string& first,
             std::string& second) {
  sqlhlp::Statement& st = db.Use(query);
  const int status = st.SelectOne();
  if (status == sqlhlp::kOk) {
    first = st.GetText(0);
    second = st.GetText(1);
  }
  db.Release(query);
  return status;
}

void CheckOracle(sqlhlp::Connection& db, Report& report) {
  std::string a, b;
  int status = ReadPair(db, kDriver, a, b);
  if (status == sqlhlp::kOk)
    report.Ok("Treiber: " + a + " " + b);
  else
    report.Warn("Treiberversion nicht lesbar (V$SESSION_CONNECT_INFO), " +
                StatusText(status, db.DriverState(status)));

  // Text travels as UTF-16, so the client's character set does not change the bytes; its
  // language and territory set the session's default NLS_SORT.
  const char* lang = std::getenv("NLS_LANG");
  report.Ok(lang ? "NLS_LANG=" + std::string(lang)
                 : std::string("NLS_LANG nicht gesetzt (Sprache AMERICAN, Sortierung BINARY)"));

  status = ReadPair(db, kCharacterSet, a, b);
  if (status != sqlhlp::kOk)
    report.Warn("Zeichensatz der Datenbank nicht lesbar, " +
                StatusText(status, db.DriverState(status)));
  else if (b == "US7ASCII")
    report.Warn("Zeichensatz der Datenbank " + b + ": Umlaute sind nicht speicherbar");
  else
    report.Ok("Zeichensatz der Datenbank " + b);

  // Badges and classes come out in the database's order, and a linguistic compare makes
  // keys equal that the terminals tell apart.
  for (const sqlhlp::Query* query : {&kSort, &kCompare}) {
    status = ReadPair(db, *query, a, b);
    if (status != sqlhlp::kOk)
      report.Warn("Sitzungseinstellung nicht lesbar, " +
                  StatusText(status, db.DriverState(status)));
    else if (b != "BINARY")
      report.Warn(a + "=" + b + ": die Dateien brauchen BINARY (ALTER SESSION oder NLS_LANG)");
    else
      report.Ok(a + "=" + b);
  }
}

void CheckRoundTrip(sqlhlp::Connection& db, Dbms dbms, Report& report) {
  const sqlhlp::Query& trivial = dbms == Dbms::kOracle ? kOracleTrivial : kSqliteTrivial;
  sqlhlp::Statement& st = db.Use(trivial);
  int status = st.SelectOne();  // prepared and cached before the clock starts
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRoundTrips && status == sqlhlp::kOk; ++i) status = st.SelectOne();
  const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
  const std::string driverState = db.DriverState(status);
  db.Release(trivial);
  if (status != sqlhlp::kOk) {
    report.Fail("Einfache Abfrage fehlgeschlagen, " + StatusText(status, driverState));
    return;
  }
  char line[96];
  const double each = spent.count() / kRoundTrips;
  std::snprintf(line, sizeof line, "Antwortzeit einer einfachen Abfrage: %.3f ms", each);
  if (each > kSlowRoundTripMs)
    report.Warn(std::string(line) + ", langsam: jede Abfrage je Ausweis wartet so lange");
  else
    report.Ok(line);
}

}  // namespace

Dbms CheckSession(sqlhlp::Connection& db, Report& report) {
  std::string version;
  const Dbms dbms = DetectDbms(db, version);
  switch (dbms) {
    case Dbms::kUnknown:
      report.Fail("Datenbank weder als Oracle (V$VERSION) noch als SQLite erkannt");
      return dbms;
    case Dbms::kOracle:
      report.Ok("Server: " + version);
      CheckOracle(db, report);
      break;
    case Dbms::kSqlite:
      report.Ok("Server: SQLite " + version);
      for (const char* point :
           {"Treiberversion", "NLS_LANG", "Zeichensatz der Datenbank", "NLS_SORT", "NLS_COMP"})
        report.Ok(std::string(point) + ": nicht zutreffend (SQLite)");
      break;
  }
  CheckRoundTrip(db, dbms, report);
  return dbms;
}

void CheckBinds(sqlhlp::Connection& db, Report& report) {
  const BindCheck check = ProbeBinds(db);
  if (!check.probed)
    report.Ok("Bindung von Text: nicht zutreffend (" + check.found + ")");
  else if (check.ok)
    report.Ok("Bindung von Text: " + check.found + ", passt zu den Schluesselspalten");
  else
    report.Fail("Bindung von Text: " + check.problem +
                (check.found.empty() ? "" : " (Server erhielt: " + check.found + ")") +
                "; zu aendern: " + check.change);
}

void ListSessionStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Treiber", kDriver));
  out.push_back(Listed("Zeichensatz", kCharacterSet));
  out.push_back(Listed("NLS_SORT", kSort));
  out.push_back(Listed("NLS_COMP", kCompare));
  out.push_back(Listed("Antwortzeit", kOracleTrivial));
}

}  // namespace zibrolt::check
