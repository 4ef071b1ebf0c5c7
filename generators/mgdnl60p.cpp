// The MGDNL60P job: for each badge with a time authorisation or an access class on the
// terminal, its records with balance value 9 and the class on each of the terminal's readers.
// Every row counts, also a second one of the same badge number: each is written.
#include "formats/mgdnl60p.hpp"

#include "data/balance.hpp"
#include "data/checks.hpp"
#include "generators/jobs.hpp"
#include "generators/lookup_failures.hpp"
#include "generators/record_checks.hpp"

namespace zibrolt {
namespace {

class MgDnl60PJob final : public BadgeJob {
 public:
  explicit MgDnl60PJob(const JobContext& context)
      : c_(context),
        checks_(c_.db, c_.messages, c_.terminal, c_.list, c_.shared, mgdnl60p::kHighestReader),
        balances_(c_.db, c_.list, c_.shared, BalanceSelection::Value(kMgdnl60pBalanceValue)) {}

  int Badge(const BadgeRow& row) override {
    const Messages& m = c_.messages;
    if (!BadgeNumberFits(m, row.AswNum)) return 0;
    const Rights& rights = checks_.CheckBadge(row);
    if (rights.status != sqlhlp::kOk) return rights.status;
    std::vector<std::string_view> classes;
    if (!GetsReaderRecords(m, rights, row.AswNum, c_.terminal.name, classes)) return 0;
    // The balance shows only in records and is never reported, so it is read only for a badge
    // that gets records.
    const Found<const BalanceValues*> balance = balances_.LookupBalanceData(row);
    if (const int failed = ReportBalanceFailure(m, row.AswNum, balance.status);
        failed != sqlhlp::kOk)
      return failed;
    mgdnl60p::Badge badge;
    badge.number = row.AswNum;
    badge.validFrom = std::string_view(row.AswGvo).substr(0, 8);
    badge.balance = balance.status == sqlhlp::kOk
                        ? std::string_view(balance.value->value[kMgdnl60pBalanceValue])
                        : kNoBalance;
    badge.time = rights.time;
    badge.classes = classes;
    badge.readers = checks_.readers();
    for (const std::string& record : mgdnl60p::BuildRecords(badge)) c_.file.Write(record);
    return 1;
  }

 private:
  JobContext c_;
  Authorisations checks_;
  BalanceLookup balances_;
};

}  // namespace

std::unique_ptr<BadgeJob> MakeMgDnl60PJob(const JobContext& context) {
  return std::make_unique<MgDnl60PJob>(context);
}

}  // namespace zibrolt
