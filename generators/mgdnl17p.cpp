// The MGDNL17P job: for each badge with a time authorisation or an access class on the
// terminal, its records with balance value 2, the terminal's readers and the badge's location.
#include "formats/mgdnl17p.hpp"

#include "data/balance.hpp"
#include "data/checks.hpp"
#include "data/location.hpp"
#include "generators/jobs.hpp"
#include "generators/lookup_failures.hpp"
#include "generators/record_checks.hpp"

namespace zibrolt {
namespace {

class MgDnl17PJob final : public BadgeJob {
 public:
  explicit MgDnl17PJob(const JobContext& context)
      : c_(context),
        checks_(c_.db, c_.messages, c_.terminal, c_.list, c_.shared, mgdnl17p::kHighestReader),
        balances_(c_.db, c_.list, c_.shared, BalanceSelection::Value(kMgdnl17pBalanceValue)),
        locations_(c_.db, c_.list, c_.shared) {}

  int Badge(const BadgeRow& row) override {
    const Messages& m = c_.messages;
    if (!BadgeNumberFits(m, row.AswNum)) return 0;
    mgdnl17p::Badge badge;
    badge.number = row.AswNum;
    badge.validFrom = std::string_view(row.AswGvo).substr(0, 8);
    badge.balance = kNoBalance;
    // With "/d" the balance is read and reported before the checks, where its line has always
    // come; otherwise it is read only for a badge that gets records.
    bool balanceRead = false;
    auto readBalance = [&] {
      const Found<const BalanceValues*> found = balances_.LookupBalanceData(row);
      if (found.status != sqlhlp::kOk && m.verbose())
        m.Say("Saldo Ermitteln. Pnr: %s SQLCode:%ld\n", row.AswPnr.c_str(), long{found.status});
      balance_ = found.status == sqlhlp::kOk
                     ? std::string_view(found.value->value[kMgdnl17pBalanceValue])
                     : kNoBalance;
      balanceRead = true;
      return ReportBalanceFailure(m, row.AswNum, found.status);
    };
    if (m.verbose())
      if (const int failed = readBalance(); failed != sqlhlp::kOk) return failed;

    const Rights& rights = checks_.CheckBadge(row);
    if (rights.status != sqlhlp::kOk) return rights.status;
    std::vector<std::string_view> classes;
    if (!GetsReaderRecords(m, rights, row.AswNum, c_.terminal.name, classes)) return 0;
    if (!balanceRead)
      if (const int failed = readBalance(); failed != sqlhlp::kOk) return failed;
    badge.balance = balance_;
    badge.time = rights.time;
    badge.classes = classes;
    badge.readers = checks_.readers();
    const Found<std::string_view> location = locations_.FetchLocationText(row);
    if (location.status == sqlhlp::kOk)
      badge.location = location.value;
    else if (location.status != sqlhlp::kNoRow)
      m.Say("SQL Standortbez. Ermitteln. SQLCode:%ld\n", long{location.status});
    // A badge whose location cannot be read is not sent without it: the run fails.
    if (sqlhlp::IsError(location.status)) return location.status;
    for (const std::string& record : mgdnl17p::BuildRecords(badge)) c_.file.Write(record);
    return 1;
  }

 private:
  JobContext c_;
  Authorisations checks_;
  BalanceLookup balances_;
  LocationLookup locations_;
  std::string balance_;  // the badge's balance value, 7 characters
};

}  // namespace

std::unique_ptr<BadgeJob> MakeMgDnl17PJob(const JobContext& context) {
  return std::make_unique<MgDnl17PJob>(context);
}

}  // namespace zibrolt
