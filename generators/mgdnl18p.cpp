// Generator of the MGDNL18P download file: for each badge allowed to book time on the terminal,
// the badge number and eight display slots with labels and values (balances, information texts,
// today's date), as configured for the terminal or, on terminals that can show them, for the
// badge's own display-text set.
#include "generators/mgdnl18p.hpp"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <string>

#include "data/badges.hpp"
#include "data/checks.hpp"
#include "generators/balance.hpp"
#include "generators/generators.hpp"
#include "generators/record.hpp"

namespace zibrolt {
namespace {

constexpr std::size_t kSlotStart = 13;  // slot 1 follows the 13-character badge number
constexpr std::size_t kSlotWidth = 20;
constexpr std::size_t kValueOffset = 13;  // the value follows the 13-character label
constexpr std::size_t kValueWidth = 7;
constexpr std::size_t kDateOffset = 12;  // the date takes the label's closing blank as well
constexpr std::size_t kDateWidth = 8;
constexpr std::size_t kShortValueMax = 10;  // longer values are information texts

// Only this model shows badges their own display-text set.
constexpr std::string_view kBadgeSetModel = "7744-010";
// This model has no slots 5 to 8: they are sent blank.
constexpr std::string_view kFourSlotModel = "7598-002";
constexpr std::size_t kHiddenSlotsStart = kSlotStart + 4 * kSlotWidth;  // position 93

constexpr std::size_t SlotStart(int slot) { return kSlotStart + kSlotWidth * (slot - 1); }

// The text as it fills width positions: ended at a NUL byte, cut to width and blank-padded, so
// no value from the database can move another field or put a NUL into the record.
std::string Field(std::string_view text, std::size_t width) {
  std::string field(text.substr(0, std::min(text.find('\0'), width)));
  field.append(width - field.size(), ' ');
  return field;
}

// Today's date as the terminal shows it, "dd.mm.yy" in local time.
std::string TodayText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%d.%m.%y", &local);
  return text;
}

// Fills table from an opened cursor, line by line until a fetch answers non-zero. Lines
// numbered outside 1 to 8 have no slot and are passed over.
template <typename FetchLine>
void FillDisplayTable(DisplayLineTable& table, FetchLine fetch, const RunContext* verbose) {
  DisplayLine line;
  while (fetch(line) == sqlhlp::kOk) {
    StoreDisplayLine(table, line);
    if (verbose)
      Say(*verbose, "Wert: %s  Txt: %s  Con: %s !\n", line.value.c_str(), line.label.c_str(),
          line.valueCode.c_str());
    line = DisplayLine{};
  }
}

void ReadTerminalDisplayTexts(const RunContext& run, DisplayTexts& texts,
                              const TerminalRecord& terminal, DisplayLineTable& table) {
  if (texts.OpenTerminalDisplayTexts(terminal) == sqlhlp::kOk)
    FillDisplayTable(
        table, [&](DisplayLine& line) { return texts.FetchTerminalDisplayText(line); },
        run.verbose ? &run : nullptr);
  texts.CloseTerminalDisplayTexts();
}

// A badge with a set of its own but no lines in it gets eight empty slots.
DisplayLineTable ReadBadgeDisplayTexts(DisplayTexts& texts, const BadgeRow& row) {
  DisplayLineTable table{};
  if (texts.OpenBadgeDisplayTexts(row) == sqlhlp::kOk)
    FillDisplayTable(
        table, [&](DisplayLine& line) { return texts.FetchBadgeDisplayText(line); }, nullptr);
  texts.CloseBadgeDisplayTexts();
  return table;
}

// The number of a value code "#W<n>" (a whole string, no leading zero: "#W02" is no code), or 0.
int ValueCodeNumber(std::string_view code) {
  int number = 0;
  if (code.size() < 3 || code.size() > 4 || code.substr(0, 2) != "#W" || code[2] == '0') return 0;
  const auto [end, error] = std::from_chars(code.data() + 2, code.data() + code.size(), number);
  return error == std::errc{} && end == code.data() + code.size() ? number : 0;
}

// The balance values and information texts that the lines show.
BalanceSelection ShownBalances(const DisplayLineTable& lines) {
  BalanceSelection shown;
  for (const DisplayLine& line : lines) {
    const int number = ValueCodeNumber(line.valueCode);
    shown.AddValue(number);
    shown.AddInfo(number - 20);
  }
  return shown;
}

}  // namespace

std::string_view DisplayValue(std::string_view code, const BalanceValues& balance,
                              std::string_view date) {
  static constexpr std::string_view kNoValue = "       ";
  const int number = ValueCodeNumber(code);
  if (number == 1) return date;
  // There are no codes #W17 to #W20.
  if (number >= 2 && number <= 16) return balance.value[number];
  if (number >= 21 && number <= 30) return balance.info[number - 20];
  return kNoValue;
}

void FillDisplayValues(DisplayLineTable& lines, const BalanceValues& balance,
                       std::string_view date) {
  for (DisplayLine& line : lines) line.value.assign(DisplayValue(line.valueCode, balance, date));
}

std::string BuildMgDnl18PRecord(const DisplayLineTable& lines, std::string_view badge,
                                std::string_view date, std::string_view model) {
  FixedRecord record(kMgDnl18PLength);
  for (int slot = 1; slot <= kDisplaySlots; ++slot) {
    const DisplayLine& line = lines[slot - 1];
    const std::size_t s = SlotStart(slot);
    if (line.label.empty()) continue;
    // The lower four slots can show their label one position to the right (column 2).
    if (slot >= 5 && line.column == 2)
      record.Put(s + 1, Field(line.label, kDisplayLabelText));
    else
      record.Put(s, Field(line.label, kDisplayLabelWidth));
  }
  record.Put(0, Field(badge, kRecordBadgeWidth));

  for (int slot = 1; slot <= kDisplaySlots; ++slot) {
    const std::string_view value = lines[slot - 1].value;
    const std::size_t length = std::min(value.find('\0'), value.size());
    const std::size_t s = SlotStart(slot);
    if (length == 0) continue;
    // An information text is too long for the value positions and takes the whole slot.
    if (length > kShortValueMax)
      record.Put(s, Field(value, kSlotWidth));
    else
      record.Put(s + kValueOffset, Field(value, kValueWidth));
  }

  // The first date slot shows the whole date; a further one keeps the 7 value positions.
  for (int slot = 1; slot <= kDisplaySlots; ++slot) {
    if (lines[slot - 1].valueCode != "#W1") continue;
    record.Put(SlotStart(slot) + kDateOffset, Field(date, kDateWidth));
    break;
  }

  if (model == kFourSlotModel) record.Blank(kHiddenSlotsStart, kMgDnl18PLength - kHiddenSlotsStart);
  return std::string(record.bytes());
}

int WorkMgDnl18P(RunContext& run, std::string_view, const TerminalRecord& terminal) {
  const std::string date = TodayText();
  DisplayTexts texts(run.db);
  DisplayLineTable terminalLines{};
  ReadTerminalDisplayTexts(run, texts, terminal, terminalLines);

  std::string previous;  // badge number of the latest record, whole
  int read = 0;
  int written = 0;
  BadgeCursor badges(run.db);
  Authorisations checks(run, terminal, &badges);
  // The terminal's lines show some balances; a badge's own set may show any.
  BalanceLookup terminalBalances(run.db, &badges, ShownBalances(terminalLines));
  BalanceLookup badgeSetBalances(run.db, &badges);
  badges.OpenBadgeCursor(terminal);
  BadgeRow row;
  DisplayLineTable lines{};  // the written badge's lines, values filled in
  int status = badges.FetchBadge(row);
  while (status == sqlhlp::kOk) {
    ++read;
    const int allowed = checks.HasTimeAuthorisation(row.AswNum);
    if (allowed < 0) {
      ReportCheckFailure(run, row.AswNum, allowed);
      status = allowed;
      break;
    }
    if (allowed == 0 && run.verbose)
      Say(run, "Ausweis %s auf Terminal %s nicht zulaessig!\n", row.AswNum.c_str(),
          terminal.name.c_str());
    // A badge comes in one row per validity period; the terminal takes it once.
    if (!row.AswPnr.empty() && row.AswNum != previous && allowed != 0 &&
        BadgeNumberFits(run, row.AswNum)) {
      // The working table keeps its strings' storage from badge to badge.
      const bool ownSet = !row.AswSal.empty() && terminal.TRMMOD == kBadgeSetModel;
      if (ownSet)
        lines = ReadBadgeDisplayTexts(texts, row);
      else
        lines = terminalLines;
      const int balance = (ownSet ? badgeSetBalances : terminalBalances).LookupBalanceData(row);
      if (balance != sqlhlp::kOk && run.verbose)
        Say(run, "Ausweis:%s Person:%s Saldodaten nicht gefunden! %d\n", row.AswNum.c_str(),
            row.AswPnr.c_str(), balance);
      FillDisplayValues(lines, row.balance, date);
      run.file.Write(BuildMgDnl18PRecord(lines, row.AswNum, date, terminal.TRMMOD));
      previous = row.AswNum;
      ++written;
    }
    row.Clear();
    status = badges.FetchBadge(row);
  }
  badges.CloseBadgeCursor();
  Say(run, "Ausweise gesamt: %d davon in Datei gestellt: %d\n", read, written);
  return status == sqlhlp::kNoRow ? 1 : 0;
}

}  // namespace zibrolt
