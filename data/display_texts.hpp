// The display lines that a display terminal shows next to each badge: per display-text set
// (the terminal's or the badge's own) up to eight lines, each with a label and a value code that
// says which balance, information text or date the line shows.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "client/sqlhlp.hpp"
#include "data/badge_batch.hpp"
#include "data/badges.hpp"
#include "data/balance.hpp"
#include "data/terminal.hpp"
#include "text/messages.hpp"

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

// The display lines of a set: the terminal's, in the terminal's language, or a badge's own, in
// the badge's language.
class DisplayTexts {
 public:
  // list is the badge cursor the generator walks: where the database prefers batches, the own
  // sets of a window of badges are read at once.
  explicit DisplayTexts(sqlhlp::Connection& db, const BadgeCursor* list = nullptr);
  ~DisplayTexts();
  DisplayTexts(const DisplayTexts&) = delete;
  DisplayTexts& operator=(const DisplayTexts&) = delete;

  // Fills table with the terminal's lines, each in the slot of its sequence number, until a
  // fetch or a line's value-code lookup answers non-zero (a line without exactly one value code
  // ends the reading, the lines before it kept). With "/d" prints each line as it is stored.
  // Returns the status that ended the reading: 1403 when every line was read.
  int ReadTerminalSet(const TerminalRecord& terminal, DisplayLineTable& table,
                      const Messages& messages);

  // The same for the own set of the badge with this number (no lines printed).
  int ReadBadgeSet(const BadgeKey& badge, DisplayLineTable& table);

  // The lines of a set one by one, as the database gives them, each with its value code.
  using EachLine = std::function<void(const DisplayLine&)>;
  int ReadTerminalLines(const TerminalRecord& terminal, const EachLine& each);
  int ReadBadgeLines(const BadgeKey& badge, const EachLine& each);

  // A validity row's set and language, as a key that finds exactly the rows its own join finds.
  struct SetOfRow {
    std::string key;      // the language, a blank, the set
    std::size_t set = 0;  // where the set starts in key
  };

 private:
  // The window: the own sets of a window of badges in one statement.
  // A line row of the window statement, with what the line's value-code select finds.
  struct WindowLine {
    std::int32_t sequence = 0;
    std::int32_t column = 0;
    std::string listText;
    std::string ownText;
    std::int32_t codes = 0;  // rows the value-code select finds: 1 gives code
    std::string code;
  };
  struct WindowSet {
    std::vector<WindowLine> lines;  // in the set cursor's order; the first `used` hold rows
    std::size_t used = 0;
    bool repeated = false;  // a line number with a code comes twice: read one by one
  };
  // Sets at to the badge's place in the window, read now if the badge is not in the last one:
  // 0, or the failed read's status.
  int WindowPlace(const BadgeKey& badge, std::size_t& at);
  // Reads the own sets of the badge and the window ahead of it: 1403 when read.
  int ReadWindow(const BadgeKey& badge);
  // Hands the lines of a set of the window to each, until a line without exactly one code.
  int EachWindowLine(const WindowSet& set, const EachLine& each);

  // The kept sets: a set in a language, as a badge with one validity row of it gets its lines.
  struct KeptSet {
    bool tied = false;  // two lines of one number: the badge's statements decide their order
    // What a badge with one validity row of this set gets: the lines up to the first without
    // exactly one code row, each with its code, and the status that ends them.
    std::vector<DisplayLine> alone;
    int aloneStatus = sqlhlp::kNoRow;
    // What a badge with two or more rows of it gets: every line and code row comes once per
    // row, so no line is read and the first one's codes end the reading.
    int repeatedStatus = sqlhlp::kNoRow;
  };
  // The badge's lines from the kept set of its validity row, or none where the badge's own
  // statements must read them.
  std::optional<int> FromKeptSet(const BadgeKey& badge, const EachLine& each);
  // Points kept at the set of the row, read now if not kept yet; a failed read gives its status.
  int KeepSet(const SetOfRow& of, const KeptSet*& kept);

  // The badge's lines by its own two statements.
  int FromOwnStatements(const BadgeKey& badge, const EachLine& each);
  // Reads the lines of the set that lines and codes are bound to, each with its value code,
  // until a fetch or a code answers non-zero.
  int ReadLinesAndCodes(sqlhlp::Statement& lines, sqlhlp::Statement& codes, const EachLine& each);

  sqlhlp::Connection& db_;
  sqlhlp::Statement* badgeLines_ = nullptr;  // the badge set's statements, once used
  sqlhlp::Statement* badgeCodes_ = nullptr;
  sqlhlp::Statement* setKeys_ = nullptr;   // a badge's validity rows: set and language
  sqlhlp::Statement* setLines_ = nullptr;  // one set's statements, once used
  sqlhlp::Statement* setCodes_ = nullptr;
  bool setsKept_ = false;  // the database joins set and language byte for byte: sets may be kept
  std::unordered_map<std::string, KeptSet> keptSets_;        // by language and set, bounded
  SetOfRow row_;       // the badge's first validity row with a set and a language
  SetOfRow otherRow_;  // a further one, compared with it
  std::vector<std::pair<std::int32_t, std::string>> codes_;  // code rows being read: number, code
  std::optional<BadgeLookup> window_;  // the badge sets of a window, where batched
  std::vector<WindowSet> sets_;        // by place in the window
};

// The value a display line's code selects for one badge: "#W1" the date, "#W2".."#W16" a
// balance value (7 characters), "#W21".."#W29" and "#W30" an information text (20 characters);
// any other code, an empty one included, 7 blanks. Codes match as whole strings. The view is
// into balance, date or a constant.
std::string_view DisplayValue(std::string_view code, const BalanceValues& balance,
                              std::string_view date);

// Sets the value of each of the eight lines from its code.
void FillDisplayValues(DisplayLineTable& lines, const BalanceValues& balance,
                       std::string_view date);

// The balance values and information texts that the lines show, so that only those are read.
BalanceSelection ShownBalances(const DisplayLineTable& lines);

// List texts spell the n with tilde as the entity "&#241;"; terminals show the single byte 0xF1.
// Replaces the first entity and cuts the text to 12 characters.
void ReplaceNTildeEntity(std::string& text);

}  // namespace zibrolt
