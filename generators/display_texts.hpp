// The display lines that a display terminal shows next to each badge: per display-text set
// (the terminal's or the badge's own) up to eight lines, each with a label and a value code that
// says which balance, information text or date the line shows.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/badge_row.hpp"
#include "data/terminal.hpp"
#include "frame/sqlhlp.hpp"

namespace zibrolt {

// Widths of a display line's texts on the terminal.
inline constexpr std::size_t kDisplayLabelWidth = 13;  // 12 characters and a closing blank
inline constexpr std::size_t kDisplayLabelText = 12;
inline constexpr int kDisplaySlots = 8;

struct DisplayLine {
  std::int32_t sequence = 0;  // MsdLfd: the slot 1 to 8 the line belongs in; 0 in an empty slot
  std::int32_t column = 0;    // MsdSpl, 1 when NULL; 2 shifts the label of slots 5 to 8
  std::string label;          // "%-12s ": 13 characters, or empty in an empty slot
  std::string valueCode;      // FTXT10, up to 10 characters: "#W1", "#W2".."#W16", "#W21".."#W30"
  std::string value;          // up to 20 characters; 7 blanks after a fetch, set per badge
};

// Slot n (1 to 8) at index n - 1; an empty slot is a default DisplayLine.
using DisplayLineTable = std::array<DisplayLine, kDisplaySlots>;

// Puts line into the slot of its sequence number, replacing an earlier line of the same number.
// A line numbered outside 1 to 8 has no slot on the terminal and is left out (false).
bool StoreDisplayLine(DisplayLineTable& table, const DisplayLine& line);

// The two cursors over display lines: the set of a terminal, in the terminal's language, and
// the own set of a badge, in the badge's language. Call order: open, fetch until a fetch returns
// non-zero, close. Only one of the two is open at a time.
class DisplayTexts {
 public:
  explicit DisplayTexts(sqlhlp::Connection& db) : db_(db) {}

  // Each answers with the database status of its statement.
  int OpenTerminalDisplayTexts(const TerminalRecord& terminal);
  // 0: line holds the next line of the set. Otherwise the status of the fetch (line untouched)
  // or of the line's value-code lookup: a line without exactly one value code ends the reading.
  int FetchTerminalDisplayText(DisplayLine& line);
  int CloseTerminalDisplayTexts();

  int OpenBadgeDisplayTexts(const BadgeRow& row);
  int FetchBadgeDisplayText(DisplayLine& line);
  int CloseBadgeDisplayTexts();

 private:
  sqlhlp::Connection& db_;
  std::string terminal_;  // terminal name of the open terminal cursor, for its value codes
  std::string badge_;     // badge number of the open badge cursor, for its value codes
};

// List texts spell the n with tilde as the entity "&#241;"; terminals show the single byte 0xF1.
// Replaces the first entity and cuts the text to 12 characters.
void ReplaceNTildeEntity(std::string& text);

}  // namespace zibrolt
