// Authorisations live in MGSST35P (class per terminal, kind '1' time, '0' access) and
// Kvd301Awb (classes per badge); readers in Kvd401Zls.
#include "data/checks.hpp"

#include <cstdio>
#include <new>

namespace zibrolt {
namespace {

using sqlhlp::Int;
using sqlhlp::Text;

constexpr sqlhlp::Column kCountColumns[] = {Int()};
constexpr sqlhlp::Query kTimeClassCount{
    "select count(*)  into :b0:b1  from Korvadat.MGSST35P where ((M35Trm=:b2 and M35Bch='1') "
    "and M35Bkl in (select AWBBKL  from Korvadat.Kvd301Awb where AWBASW=:b3))",
    kCountColumns};

constexpr sqlhlp::Column kReaderColumns[] = {Int(), Text(6)};
constexpr sqlhlp::Query kReaders{
    "select ZlsLes ,ZlsZko  from Korvadat.Kvd401Zls where ((ZlsTrm=:b0 and ZlsLes<=:b1) and "
    "((ZlsSta<>4 and ZlsSta<>8) or ZlsSta is null )) order by ZlsLes",
    kReaderColumns};

constexpr sqlhlp::Column kClassColumns[] = {Text(6)};
constexpr sqlhlp::Query kAccessClasses{
    "select distinct M35BKL  from Korvadat.MGSST35P ,Korvadat.Kvd301Awb where (((M35TRM=:b0 and "
    "AWBASW=:b1) and M35Bch='0') and M35Bkl=AWBBKL) order by M35BKL desc",
    kClassColumns};

// Reader numbers have slots 0 to 11 only.
constexpr int kReaderSlots = 12;

}  // namespace

bool AccessClassList::AppendAccessClass(const RunContext& run, std::string_view entry) {
  try {
    entries_.emplace_back(entry);
  } catch (const std::bad_alloc&) {
    Say(run, entries_.empty() ? "Fehler beim allokieren von Speicher"
                              : "Fehler beim reallokieren von Speicher");
    return false;
  }
  return true;
}

int CountTimeClasses(sqlhlp::Connection& db, std::string_view badge, std::string_view terminal,
                     std::int32_t& count) {
  sqlhlp::Statement& st = db.Use(kTimeClassCount);
  st.BindText(0, terminal);
  st.BindText(1, badge);
  int status = st.SelectOne();
  if (status == sqlhlp::kOk) count = st.GetInt(0);
  return status;
}

int HasTimeAuthorisation(const RunContext& run, std::string_view badge,
                         const TerminalRecord& terminal) {
  std::int32_t count = 0;
  const int status = CountTimeClasses(run.db, badge, terminal.name, count);
  if (status < 0) return status;
  const int result = count > 0 ? 1 : 0;
  if (run.verbose)
    Say(run, "Aws: %s Zeitberechtigung: %d\n", std::string(badge).c_str(), result);
  return result;
}

int CollectAccessClasses(const RunContext& run, AccessClassList& list, BadgeRow& row,
                         const TerminalRecord& terminal, int highestReader, bool withReaders) {
  list.Clear();
  if (withReaders) {
    sqlhlp::Statement& readers = run.db.Use(kReaders);
    readers.BindText(0, terminal.name);
    readers.BindInt(1, highestReader);
    int status = readers.Open();
    while (status == sqlhlp::kOk && (status = readers.Fetch()) == sqlhlp::kOk) {
      const int n = readers.GetInt(0);
      if (n < 0 || n > highestReader || n >= kReaderSlots) continue;  // no slot for it
      row.readers[n] = {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
    }
    readers.Close();
    if (status < 0) return status;
  }

  sqlhlp::Statement& classes = run.db.Use(kAccessClasses);
  classes.BindText(0, terminal.name);
  classes.BindText(1, row.AswNum);
  int status = classes.Open();
  std::string entry;
  while (status == sqlhlp::kOk && (status = classes.Fetch()) == sqlhlp::kOk) {
    entry.assign(classes.GetText(0));
    if (entry.size() < 3) entry.append(3 - entry.size(), ' ');  // "%-3s"
    if (!list.AppendAccessClass(run, entry)) {
      status = kAccessListFailed;
      break;
    }
  }
  classes.Close();
  if (status < 0) return status;
  return list.count() > 0 ? 1 : 0;
}

void ReportCheckFailure(const RunContext& run, std::string_view badge, int status) {
  if (status == kAccessListFailed) return;
  Say(run, "Berechtigungen von Ausweis %s nicht lesbar! SQLCode:%d\n",
      std::string(badge).c_str(), status);
}

}  // namespace zibrolt
