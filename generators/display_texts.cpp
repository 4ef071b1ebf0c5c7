// Reading display lines: a line's label is its own text (MsdTxt) or, when it has none, the
// entry of list 220001 in the terminal's or badge's language; its value code is the entry of
// list 220002. Labels come out 13 characters wide, as the display slots hold them.
#include "generators/display_texts.hpp"

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

}  // namespace

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

int DisplayTexts::OpenTerminalDisplayTexts(const TerminalRecord& terminal) {
  terminal_ = terminal.name;
  sqlhlp::Statement& cursor = db_.Use(kTerminalLines);
  cursor.BindText(0, terminal_);
  return cursor.Open();
}

int DisplayTexts::FetchTerminalDisplayText(DisplayLine& line) {
  sqlhlp::Statement& cursor = db_.Use(kTerminalLines);
  const int status = cursor.Fetch();
  if (status != sqlhlp::kOk) return status;
  return ReadDisplayLine(cursor, db_.Use(kTerminalCode), terminal_, true, line);
}

int DisplayTexts::CloseTerminalDisplayTexts() { return db_.Use(kTerminalLines).Close(); }

int DisplayTexts::OpenBadgeDisplayTexts(const BadgeRow& row) {
  badge_ = row.AswNum;
  sqlhlp::Statement& cursor = db_.Use(kBadgeLines);
  cursor.BindText(0, badge_);
  return cursor.Open();
}

int DisplayTexts::FetchBadgeDisplayText(DisplayLine& line) {
  sqlhlp::Statement& cursor = db_.Use(kBadgeLines);
  const int status = cursor.Fetch();
  if (status != sqlhlp::kOk) return status;
  return ReadDisplayLine(cursor, db_.Use(kBadgeCode), badge_, false, line);
}

int DisplayTexts::CloseBadgeDisplayTexts() { return db_.Use(kBadgeLines).Close(); }

}  // namespace zibrolt
