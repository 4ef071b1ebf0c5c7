// Reading display lines: a line's label is its own text (MsdTxt) or, when it has none, the
// entry of list 220001 in the terminal's or badge's language; its value code is the entry of
// list 220002. Labels come out 13 characters wide, as the display slots hold them.
#include "data/display_texts.hpp"

#include <charconv>

#include "data/statements.hpp"

namespace zibrolt {
namespace {

using sqlhlp::Int;
using sqlhlp::Text;

// MsdLfd, NVL(MsdSpl,1), the list text (17 characters for terminals, 12 for badges; the
// terminal's list text may still hold an entity that shrinks to one byte) and MsdTxt.
constexpr sqlhlp::Column kLineColumns[] = {Int(), Int(), Text(41), Text(21)};
enum LineColumn { kLfd, kSpl, kListText, kOwnText };

constexpr sqlhlp::Column kCodeColumns[] = {Text(11)};

constexpr sqlhlp::Query kTerminalLines{
    "select MsdLfd ,NVL(MsdSpl,1) ,SubStr(FtxT50,1,17) ,SubStr(MsdTxt,1,12)  from "
    "Korvadat.Kvd1140Trm ,Korvadat.Kvd119Msd ,Korvadat.Kvd102Whl where (((((((TrmNam=:b0 and "
    "TrmSal=MsdSal) and ((TrmMnd=MsdMnd and TrmLiz=MsdLiz) or MSDERF='KORVANE')) and "
    "FtxNumSpr=220001) and FtxWhl=MsdAnz) and FtxSpr=TrmSpr) and ((TrmSta<>4 and TrmSta<>8) "
    "or TrmSta is null )) and ((MsdSta<>4 and MsdSta<>8) or MsdSta is null )) order by "
    "MsdSal,MsdLfd",
    kLineColumns};

constexpr sqlhlp::Query kTerminalCode{
    "select FTXT10 into :b0:b1  from KORVADAT.KVD1140TRM ,KORVADAT.KVD119MSD "
    ",KORVADAT.KVD102WHL where ((((((((TrmNam=:b2 and TrmSal=MsdSal) and ((TrmMnd=MsdMnd and "
    "TrmLiz=MsdLiz) or MSDERF='KORVANE')) and FtxNumSpr=220002) and FtxWhl=MsdWrt) and "
    "FtxSpr=TrmSpr) and MsdLfd=:b3) and ((TrmSta<>4 and TrmSta<>8) or TrmSta is null )) and "
    "((MsdSta<>4 and MsdSta<>8) or MsdSta is null ))",
    kCodeColumns};

constexpr sqlhlp::Query kBadgeLines{
    "select MsdLfd ,NVL(MsdSpl,1) ,SubStr(FtxT50,1,12) ,SubStr(MsdTxt,1,12)  from "
    "Korvadat.Kvd301Asw ,Korvadat.Kvd119Msd ,Korvadat.Kvd102Whl where (((((((AswNum=:b0 and "
    "AswSal=MsdSal) and FtxNumSpr=220001) and FtxWhl=MsdAnz) and FtxSpr=AswSpr) and "
    "(((trunc(SYSDATE)>=AswGvo and AswGbi is null ) or (trunc(SYSDATE)<=AswGbi and "
    "trunc(AswGvo) is null )) or (trunc(SYSDATE)>=AswGvo and trunc(SYSDATE)<=AswGbi))) and "
    "((AswSta<>4 and AswSta<>8) or AswSta is null )) and ((MsdSta<>4 and MsdSta<>8) or MsdSta "
    "is null )) order by MsdSal,MsdLfd",
    kLineColumns};

constexpr sqlhlp::Query kBadgeCode{
    "select FTXT10 into :b0:b1  from KORVADAT.KVD301ASW ,KORVADAT.KVD119MSD "
    ",KORVADAT.KVD102WHL where ((((((((AswNum=:b2 and AswSal=MsdSal) and FtxNumSpr=220002) "
    "and FtxWhl=MsdWrt) and FtxSpr=AswSpr) and MSDLFD=:b3) and (((trunc(SYSDATE)>=AswGvo and "
    "AswGbi is null ) or (trunc(SYSDATE)<=AswGbi and trunc(AswGvo) is null )) or "
    "(trunc(SYSDATE)>=AswGvo and trunc(SYSDATE)<=AswGbi))) and ((AswSta<>4 and AswSta<>8) or "
    "AswSta is null )) and ((MsdSta<>4 and MsdSta<>8) or MsdSta is null ))",
    kCodeColumns};

constexpr std::string_view kNTildeEntity = "&#241;";
constexpr char kNTilde = '\xF1';

// Texts end at a NUL byte, as they always have on the terminals; none may reach a record.
std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// "%-12s ", the text cut to 12 first so that the label is always 13 characters.
std::string FormatLabel(std::string_view source) {
  std::string label(source.substr(0, kDisplayLabelText));
  label.append(kDisplayLabelWidth - label.size(), ' ');
  return label;
}

// Fills line from the cursor's current row and looks up the line's value code with code,
// bound to key (the terminal name or the badge number) and the line number.
int ReadDisplayLine(const sqlhlp::Statement& cursor, sqlhlp::Statement& code, std::string_view key,
                    bool replaceEntity, DisplayLine& line) {
  // A line's own text padded with blanks or tabs counts without them; blanks only is none.
  std::string_view own = UpToNul(cursor.GetText(kOwnText));
  own = own.substr(0, own.find_last_not_of(" \t") + 1);
  std::string source;
  if (!own.empty()) {
    source = own;
  } else {
    source = UpToNul(cursor.GetText(kListText));
    if (replaceEntity) ReplaceNTildeEntity(source);
  }
  line.label = FormatLabel(source);
  line.sequence = cursor.GetInt(kLfd);
  line.column = cursor.GetInt(kSpl);
  line.value.assign(7, ' ');

  code.BindText(0, key);
  code.BindInt(1, line.sequence);
  const int status = code.SelectOne();
  if (status == sqlhlp::kOk) line.valueCode = UpToNul(code.GetText(0));
  return status;
}

// Reads the lines of the set whose cursor is lines (opened here with key), line by line until
// a fetch or a value code answers non-zero, and hands each to each.
int ReadSet(sqlhlp::Statement& lines, sqlhlp::Statement& code, std::string_view key,
            bool replaceEntity, const DisplayTexts::EachLine& each) {
  lines.BindText(0, key);
  int status = lines.Open();
  DisplayLine line;
  while (status == sqlhlp::kOk && (status = lines.Fetch()) == sqlhlp::kOk &&
         (status = ReadDisplayLine(lines, code, key, replaceEntity, line)) == sqlhlp::kOk) {
    each(line);
    line = DisplayLine{};
  }
  lines.Close();
  return status;
}

// The number of a value code "#W<n>" (a whole string, no leading zero: "#W02" is no code), or 0.
int ValueCodeNumber(std::string_view code) {
  int number = 0;
  if (code.size() < 3 || code.size() > 4 || code.substr(0, 2) != "#W" || code[2] == '0') return 0;
  const auto [end, error] = std::from_chars(code.data() + 2, code.data() + code.size(), number);
  return error == std::errc{} && end == code.data() + code.size() ? number : 0;
}

}  // namespace

std::string_view DisplayValue(std::string_view code, const BalanceValues& balance,
                              std::string_view date) {
  static constexpr std::string_view kNoValue = "       ";
  const int number = ValueCodeNumber(code);
  if (number == 1) return date;
  // There are no codes #W17 to #W20.
  if (number >= 2 && number <= 16) return balance.value[static_cast<std::size_t>(number)];
  if (number >= 21 && number <= 30) return balance.info[static_cast<std::size_t>(number - 20)];
  return kNoValue;
}

void FillDisplayValues(DisplayLineTable& lines, const BalanceValues& balance,
                       std::string_view date) {
  for (DisplayLine& line : lines) line.value.assign(DisplayValue(line.valueCode, balance, date));
}

BalanceSelection ShownBalances(const DisplayLineTable& lines) {
  BalanceSelection shown;
  for (const DisplayLine& line : lines) {
    const int number = ValueCodeNumber(line.valueCode);
    shown.AddValue(number);
    shown.AddInfo(number - 20);
  }
  return shown;
}

bool StoreDisplayLine(DisplayLineTable& table, const DisplayLine& line) {
  if (line.sequence < 1 || line.sequence > kDisplaySlots) return false;
  table[line.sequence - 1] = line;
  return true;
}

void ReplaceNTildeEntity(std::string& text) {
  const std::size_t at = text.find(kNTildeEntity);
  if (at != std::string::npos) {
    std::string replaced = text.substr(0, at);
    replaced.push_back(kNTilde);
    replaced.append(text, at + kNTildeEntity.size(), 20);
    text = std::move(replaced);
  }
  if (text.size() > kDisplayLabelText) text.resize(kDisplayLabelText);
}

int DisplayTexts::ReadTerminalLines(const TerminalRecord& terminal, const EachLine& each) {
  return ReadSet(db_.Use(kTerminalLines), db_.Use(kTerminalCode), terminal.name, true, each);
}

int DisplayTexts::ReadBadgeLines(std::string_view badge, const EachLine& each) {
  // Read for many badges: the statements are looked up once.
  if (!badgeLines_) {
    badgeLines_ = &db_.Use(kBadgeLines);
    badgeCode_ = &db_.Use(kBadgeCode);
  }
  return ReadSet(*badgeLines_, *badgeCode_, badge, false, each);
}

int DisplayTexts::ReadTerminalSet(const TerminalRecord& terminal, DisplayLineTable& table,
                                  const Messages& messages) {
  return ReadTerminalLines(terminal, [&](const DisplayLine& line) {
    StoreDisplayLine(table, line);
    if (messages.verbose())
      messages.Say("Wert: %s  Txt: %s  Con: %s !\n", line.value.c_str(), line.label.c_str(),
                   line.valueCode.c_str());
  });
}

int DisplayTexts::ReadBadgeSet(std::string_view badge, DisplayLineTable& table) {
  return ReadBadgeLines(badge, [&](const DisplayLine& line) { StoreDisplayLine(table, line); });
}

void ListDisplayTextStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Anzeigezeilen Terminal", kTerminalLines));
  out.push_back(Listed("Wertcode Terminal", kTerminalCode));
  out.push_back(Listed("Anzeigezeilen Ausweis", kBadgeLines, true));
  out.push_back(Listed("Wertcode Ausweis", kBadgeCode, true));
}

}  // namespace zibrolt
