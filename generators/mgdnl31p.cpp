// The MGDNL31P job: one record per badge and access class, with the badge's validity and
// location. Every row is handled on its own: a badge with two validity rows is written twice.
#include "formats/mgdnl31p.hpp"

#include "data/checks.hpp"
#include "data/location.hpp"
#include "generators/jobs.hpp"
#include "generators/record_checks.hpp"

namespace zibrolt {
namespace {

class MgDnl31PJob final : public BadgeJob {
 public:
  explicit MgDnl31PJob(const JobContext& context)
      : c_(context),
        checks_(c_.db, c_.messages, c_.terminal, c_.list, c_.shared),
        locations_(c_.db, c_.list, c_.shared) {}

  int Badge(const BadgeRow& row) override {
    const Messages& m = c_.messages;
    const Rights& rights = checks_.CheckBadge(row);
    if (rights.status != sqlhlp::kOk) return rights.status;
    if (rights.classes.empty()) {
      if (m.verbose())
        m.Say("Ausweis %s ohne Zutrittsberechtigung auf Terminal %s\n", row.AswNum.c_str(),
              c_.terminal.name.c_str());
      return 0;
    }
    if (!BadgeNumberFits(m, row.AswNum)) return 0;
    // Without a location the record carries blanks; one that cannot be read fails the run.
    const Found<std::string_view> location = locations_.FetchLocationText(row);
    if (sqlhlp::IsError(location.status)) {
      m.Say("Standort von Ausweis %s nicht lesbar! SQLCode:%d\n", Shown(row.AswNum).c_str(),
            location.status);
      return location.status;
    }
    const std::vector<std::string_view> classes = FittingClasses(m, row.AswNum, rights.classes);
    for (std::string_view entry : classes)
      c_.file.Write(mgdnl31p::BuildRecord(row.AswNum, std::string_view(row.AswGvo).substr(0, 8),
                                          std::string_view(row.AswGbi).substr(0, 8), rights.time,
                                          entry, location.value));
    return classes.empty() ? 0 : 1;
  }

 private:
  JobContext c_;
  Authorisations checks_;
  LocationLookup locations_;
};

}  // namespace

std::unique_ptr<BadgeJob> MakeMgDnl31PJob(const JobContext& context) {
  return std::make_unique<MgDnl31PJob>(context);
}

}  // namespace zibrolt
