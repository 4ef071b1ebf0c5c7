// The MGDNL18P job: for each badge allowed to book time on the terminal, the badge number and
// eight display slots with labels and values (balances, information texts, today's date), as
// configured for the terminal or, on terminals that can show them, for the badge's own
// display-text set.
#include "formats/mgdnl18p.hpp"

#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/balance.hpp"
#include "data/checks.hpp"
#include "data/display_texts.hpp"
#include "data/pass_lookups.hpp"
#include "generators/jobs.hpp"
#include "generators/lookup_failures.hpp"
#include "generators/record_checks.hpp"

namespace zibrolt {
namespace {

// Only this model shows badges their own display-text set.
constexpr std::string_view kBadgeSetModel = "7744-010";

// Today's date as the terminal shows it, "dd.mm.yy" in local time.
std::string TodayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%d.%m.%y", &local);
  return text;
}

class MgDnl18PJob final : public BadgeJob {
 public:
  explicit MgDnl18PJob(const JobContext& context)
      : c_(context),
        date_(TodayText()),
        texts_(c_.db, c_.list),
        badgeTexts_(c_.shared ? c_.shared->displayTexts : texts_),
        checks_(c_.db, c_.messages, c_.terminal, c_.list, c_.shared),
        badgeSetBalances_(c_.db, c_.list, c_.shared) {}

  // The terminal's display texts are read once, before the badge list. A line without exactly
  // one value code ends the set there; a set the database cannot give fails the run.
  int Begin() override {
    const int status = texts_.ReadTerminalSet(c_.terminal, terminalLines_, c_.messages);
    if (sqlhlp::IsError(status)) {
      c_.messages.Say("Anzeigetexte von Terminal %s nicht lesbar! SQLCode:%d\n",
                      Shown(c_.terminal.name).c_str(), status);
      return status;
    }
    // The terminal's lines show some balances; a badge's own set may show any.
    terminalBalances_.emplace(c_.db, c_.list, c_.shared, ShownBalances(terminalLines_));
    return sqlhlp::kOk;
  }

  int Badge(const BadgeRow& row) override {
    const Messages& m = c_.messages;
    const Rights rights = checks_.CheckTime(row);
    if (rights.status != sqlhlp::kOk) return rights.status;
    if (!rights.time && m.verbose())
      m.Say("Ausweis %s auf Terminal %s nicht zulaessig!\n", row.AswNum.c_str(),
            c_.terminal.name.c_str());
    // A badge comes in one row per validity period; the terminal takes it once.
    if (row.AswPnr.empty() || previous_.Is(row) || !rights.time || !BadgeNumberFits(m, row.AswNum))
      return 0;
    const bool ownSet = !row.AswSal.empty() && c_.terminal.TRMMOD == kBadgeSetModel;
    // The working table keeps its strings' storage from badge to badge. A badge with a set of
    // its own but no lines in it gets eight empty slots.
    if (ownSet) {
      lines_ = DisplayLineTable{};
      const int status = badgeTexts_.ReadBadgeSet(row, lines_);
      if (sqlhlp::IsError(status)) {
        m.Say("Anzeigetexte von Ausweis %s nicht lesbar! SQLCode:%d\n", Shown(row.AswNum).c_str(),
              status);
        return status;
      }
    } else {
      lines_ = terminalLines_;
    }
    const Found<const BalanceValues*> balance =
        (ownSet ? SetBalances() : *terminalBalances_).LookupBalanceData(row);
    if (balance.status != sqlhlp::kOk && m.verbose())
      m.Say("Ausweis:%s Person:%s Saldodaten nicht gefunden! %d\n", row.AswNum.c_str(),
            row.AswPnr.c_str(), balance.status);
    if (const int failed = ReportBalanceFailure(m, row.AswNum, balance.status);
        failed != sqlhlp::kOk)
      return failed;
    FillDisplayValues(lines_, balance.status == sqlhlp::kOk ? *balance.value : kNoBalance_, date_);
    std::array<mgdnl18p::Slot, mgdnl18p::kSlots> slots;
    for (int n = 0; n < mgdnl18p::kSlots; ++n)
      slots[n] = {lines_[n].label, lines_[n].column, lines_[n].value, lines_[n].valueCode};
    c_.file.Write(mgdnl18p::BuildRecord(slots, row.AswNum, date_, c_.terminal.TRMMOD));
    previous_.Assign(row);
    return 1;
  }

 private:
  // The lookup for the lines of a badge's own set, read badge by badge: it reads only what the
  // set shows, as the terminal's does. Where lookups go by windows one lookup reads every value
  // for all badges; so it does here for a site with more different sets than kSetLookups.
  BalanceLookup& SetBalances() {
    if (c_.db.PrefersBatches()) return badgeSetBalances_;
    const BalanceSelection shown = ShownBalances(lines_);
    const unsigned long bits = shown.bits.to_ulong();
    for (const auto& [kept, lookup] : setBalances_)
      if (kept == bits) return *lookup;
    if (setBalances_.size() == kSetLookups) return badgeSetBalances_;
    return *setBalances_
                .emplace_back(bits,
                              std::make_unique<BalanceLookup>(c_.db, c_.list, c_.shared, shown))
                .second;
  }

  static constexpr std::size_t kSetLookups = 16;

  JobContext c_;
  const std::string date_;  // today, "dd.mm.yy", fixed for the whole run
  DisplayTexts texts_;
  DisplayTexts&
      badgeTexts_;  // texts_, or those the pass shares: a badge's set is the same anywhere
  Authorisations checks_;
  DisplayLineTable terminalLines_{};
  std::optional<BalanceLookup> terminalBalances_;
  BalanceLookup badgeSetBalances_;
  std::vector<std::pair<unsigned long, std::unique_ptr<BalanceLookup>>> setBalances_;  // by bits
  DisplayLineTable lines_{};          // the written badge's lines, values filled in
  KeptBadgeKey previous_;             // badge number of the latest record, whole
  const BalanceValues kNoBalance_{};  // a badge without balance row: every value empty
};

}  // namespace

std::unique_ptr<BadgeJob> MakeMgDnl18PJob(const JobContext& context) {
  return std::make_unique<MgDnl18PJob>(context);
}

}  // namespace zibrolt
