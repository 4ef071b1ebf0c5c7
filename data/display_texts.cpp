// Reading display lines: a line's label is its own text (MsdTxt) or, when it has none, the
// entry of list 220001 in the terminal's or badge's language; its value code is the entry of
// list 220002. Labels come out 13 characters wide, as the display slots hold them.
#include "data/display_texts.hpp"

#include <charconv>
#include <cstdint>

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

// The text the installation has always sent, into-list included: its value and indicator take
// :b0:b1, so the terminal name (:b2) and the line number (:b3) are inputs 0 and 1, bound in the
// order they follow the from clause.
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

// The badge sets of a window of badges in one statement: each line row as the badge cursor
// above gives it, with the place of its badge, and what the value-code select would find for
// it: how many rows, and the code when there is one. The value-code select binds the line
// number the program read, an integer, hence trunc. The two subqueries repeat the badge's
// conditions on their own aliases (A2, M2, W2) so that each counts the rows of its own line.
constexpr std::string_view kBadgeSetWindow =
    "select keys.i ,M.MsdLfd ,NVL(M.MsdSpl,1) ,SubStr(W.FtxT50,1,12) ,SubStr(M.MsdTxt,1,12) "
    ",(select count(*) from Korvadat.Kvd301Asw A2 ,Korvadat.Kvd119Msd M2 ,Korvadat.Kvd102Whl "
    "W2 where M2.MsdLfd=trunc(M.MsdLfd) and A2.AswNum=keys.k and A2.AswSal=M2.MsdSal and "
    "W2.FtxNumSpr=220002 and W2.FtxWhl=M2.MsdWrt and W2.FtxSpr=A2.AswSpr and "
    "(((trunc(SYSDATE)>=A2.AswGvo and A2.AswGbi is null ) or (trunc(SYSDATE)<=A2.AswGbi and "
    "trunc(A2.AswGvo) is null )) or (trunc(SYSDATE)>=A2.AswGvo and trunc(SYSDATE)<=A2.AswGbi)) "
    "and ((A2.AswSta<>4 and A2.AswSta<>8) or A2.AswSta is null ) and ((M2.MsdSta<>4 and "
    "M2.MsdSta<>8) or M2.MsdSta is null )) ,(select min(W2.FTXT10) from Korvadat.Kvd301Asw A2 "
    ",Korvadat.Kvd119Msd M2 ,Korvadat.Kvd102Whl W2 where M2.MsdLfd=trunc(M.MsdLfd) and "
    "A2.AswNum=keys.k and A2.AswSal=M2.MsdSal and W2.FtxNumSpr=220002 and W2.FtxWhl=M2.MsdWrt "
    "and W2.FtxSpr=A2.AswSpr and (((trunc(SYSDATE)>=A2.AswGvo and A2.AswGbi is null ) or "
    "(trunc(SYSDATE)<=A2.AswGbi and trunc(A2.AswGvo) is null )) or (trunc(SYSDATE)>=A2.AswGvo "
    "and trunc(SYSDATE)<=A2.AswGbi)) and ((A2.AswSta<>4 and A2.AswSta<>8) or A2.AswSta is null "
    ") and ((M2.MsdSta<>4 and M2.MsdSta<>8) or M2.MsdSta is null ))  from {keys} "
    ",Korvadat.Kvd301Asw A ,Korvadat.Kvd119Msd M ,Korvadat.Kvd102Whl W where A.AswNum=keys.k "
    "and A.AswSal=M.MsdSal and W.FtxNumSpr=220001 and W.FtxWhl=M.MsdAnz and W.FtxSpr=A.AswSpr "
    "and (((trunc(SYSDATE)>=A.AswGvo and A.AswGbi is null ) or (trunc(SYSDATE)<=A.AswGbi and "
    "trunc(A.AswGvo) is null )) or (trunc(SYSDATE)>=A.AswGvo and trunc(SYSDATE)<=A.AswGbi)) "
    "and ((A.AswSta<>4 and A.AswSta<>8) or A.AswSta is null ) and ((M.MsdSta<>4 and "
    "M.MsdSta<>8) or M.MsdSta is null ) order by keys.i ,M.MsdSal ,M.MsdLfd";

constexpr sqlhlp::Column kBadgeSetWindowColumns[] = {Int(),    Int(), Int(),   Text(41),
                                                     Text(21), Int(), Text(11)};
enum WindowColumn { kWinPlace, kWinLfd, kWinSpl, kWinListText, kWinOwnText, kWinCodes, kWinCode };

// Every value code of the badge's set, with its line number: what the badge's value-code select,
// "select FTXT10 ... and MSDLFD=:b3 ...", finds for each line, read at once. Lines are selected by
// the integer the program reads, hence the whole numbers only.
constexpr sqlhlp::Column kBadgeCodesColumns[] = {Int(), Text(11)};
constexpr sqlhlp::Query kBadgeCodes{
    "select MSDLFD ,FTXT10  from KORVADAT.KVD301ASW ,KORVADAT.KVD119MSD ,KORVADAT.KVD102WHL "
    "where (((((((((AswNum=:b0 and AswSal=MsdSal) and FtxNumSpr=220002) and FtxWhl=MsdWrt) and "
    "FtxSpr=AswSpr) and MSDLFD=trunc(MSDLFD)) and (((trunc(SYSDATE)>=AswGvo and AswGbi is null ) "
    "or (trunc(SYSDATE)<=AswGbi and trunc(AswGvo) is null )) or (trunc(SYSDATE)>=AswGvo and "
    "trunc(SYSDATE)<=AswGbi))) and ((AswSta<>4 and AswSta<>8) or AswSta is null )) and ((MsdSta<>4 "
    "and MsdSta<>8) or MsdSta is null )))",
    kBadgeCodesColumns};

// The validity rows that give a badge its set: the rows the two statements above join, with the
// set and language each joins by. A badge with one such row gets exactly the lines and codes of
// that set in that language, which many badges share.
constexpr sqlhlp::Column kSetKeyColumns[] = {Text(256), Text(24)};
enum SetKeyColumn { kKeySal, kKeySpr };
constexpr sqlhlp::Query kBadgeSetKeys{
    "select AswSal ,AswSpr  from Korvadat.Kvd301Asw where ((AswNum=:b0 and "
    "(((trunc(SYSDATE)>=AswGvo and AswGbi is null ) or (trunc(SYSDATE)<=AswGbi and trunc(AswGvo) "
    "is null )) or (trunc(SYSDATE)>=AswGvo and trunc(SYSDATE)<=AswGbi))) and ((AswSta<>4 and "
    "AswSta<>8) or AswSta is null ))",
    kSetKeyColumns};

// The two badge statements for one set and language instead of a badge's validity row.
constexpr sqlhlp::Query kSetLines{
    "select MsdLfd ,NVL(MsdSpl,1) ,SubStr(FtxT50,1,12) ,SubStr(MsdTxt,1,12)  from "
    "Korvadat.Kvd119Msd ,Korvadat.Kvd102Whl where ((((MsdSal=:b0 and FtxNumSpr=220001) and "
    "FtxWhl=MsdAnz) and FtxSpr=:b1) and ((MsdSta<>4 and MsdSta<>8) or MsdSta is null )) order "
    "by MsdSal,MsdLfd",
    kLineColumns};
constexpr sqlhlp::Query kSetCodes{
    "select MSDLFD ,FTXT10  from KORVADAT.KVD119MSD ,KORVADAT.KVD102WHL where (((((MsdSal=:b0 and "
    "FtxNumSpr=220002) and FtxWhl=MsdWrt) and FtxSpr=:b1) and MSDLFD=trunc(MSDLFD)) and "
    "((MsdSta<>4 and MsdSta<>8) or MsdSta is null ))",
    kBadgeCodesColumns};

// Sets kept at once: a site has a few dozen; one with thousands starts over when this is full.
constexpr std::size_t kKeptSets = 256;

// A validity row's set and language as a key that finds exactly the rows the row's own join
// finds, or false. Only a set of printable ASCII and a language read as a plain whole number
// qualify: those come back from the bound values unchanged. Any other row (NULL, a number with
// a fraction, other characters, a text cut to its buffer) is read with the badge's statements.

bool ReadSetOfRow(const sqlhlp::Statement& keys, DisplayTexts::SetOfRow& out) {
  if (keys.IsNull(kKeySal) || keys.IsNull(kKeySpr)) return false;
  const std::string_view set = keys.GetText(kKeySal), spr = keys.GetText(kKeySpr);
  if (set.size() + 1 >= static_cast<std::size_t>(kSetKeyColumns[kKeySal].capacity)) return false;
  for (const char c : set)
    if (c < ' ' || c > '~') return false;
  const bool negative = !spr.empty() && spr.front() == '-';
  const std::string_view digits = spr.substr(negative ? 1 : 0);
  if (digits.empty() || (digits.front() == '0' && (digits.size() > 1 || negative))) return false;
  std::int32_t language = 0;
  const auto [end, error] = std::from_chars(spr.data(), spr.data() + spr.size(), language);
  if (error != std::errc{} || end != spr.data() + spr.size()) return false;
  out.key.assign(spr);
  out.key.push_back(' ');
  out.set = out.key.size();
  out.key.append(set);
  return true;
}

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

// Fills line from a line row's columns: its number, column, list text and own text.
void FillLine(std::int32_t sequence, std::int32_t column, std::string_view listText,
              std::string_view ownText, bool replaceEntity, DisplayLine& line) {
  // A line's own text padded with blanks or tabs counts without them; blanks only is none.
  std::string_view own = UpToNul(ownText);
  own = own.substr(0, own.find_last_not_of(" \t") + 1);
  std::string source;
  if (!own.empty()) {
    source = own;
  } else {
    source = UpToNul(listText);
    if (replaceEntity) ReplaceNTildeEntity(source);
  }
  line.label = FormatLabel(source);
  line.sequence = sequence;
  line.column = column;
  line.value.assign(7, ' ');
}

// Fills line from the cursor's current row and looks up the line's value code with code,
// bound to key (the terminal name or the badge number) and the line number.
int ReadDisplayLine(const sqlhlp::Statement& cursor, sqlhlp::Statement& code, std::string_view key,
                    bool replaceEntity, DisplayLine& line) {
  FillLine(cursor.GetInt(kLfd), cursor.GetInt(kSpl), cursor.GetText(kListText),
           cursor.GetText(kOwnText), replaceEntity, line);
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

DisplayTexts::DisplayTexts(sqlhlp::Connection& db, const BadgeCursor* list) : db_(db) {
  if (list && db.PrefersBatches())
    window_.emplace(db, list, kBadgeLines.text, kLineColumns, kBadgeSetWindow,
                    kBadgeSetWindowColumns);
}

DisplayTexts::~DisplayTexts() = default;

// A badge's lines come one of two ways: by the badge's own two statements, or by the one way
// this connection has of reading them for many badges at once (the window where the database
// prefers batches, else the kept sets), which gives up to the badge's statements wherever it
// cannot show that it reads the same rows in the same order.
int DisplayTexts::ReadBadgeLines(const BadgeKey& badge, const EachLine& each) {
  if (window_) {
    std::size_t at = 0;
    if (const int status = WindowPlace(badge, at); status != sqlhlp::kOk) return status;
    const WindowSet& set = sets_[at];
    // Lines of one number, each with its code, that the order may give either way round: the
    // badge's own statements decide, as they always have.
    if (!set.repeated) return EachWindowLine(set, each);
  } else if (const std::optional<int> status = FromKeptSet(badge, each)) {
    return *status;
  }
  return FromOwnStatements(badge, each);
}

int DisplayTexts::WindowPlace(const BadgeKey& badge, std::size_t& at) {
  const int place = window_->Place(badge);
  if (place >= 0) {
    at = static_cast<std::size_t>(place);
    return sqlhlp::kOk;
  }
  // Not in the last window: the badge is the first of the next.
  at = 0;
  const int status = ReadWindow(badge);
  return status == sqlhlp::kNoRow ? sqlhlp::kOk : status;
}

int DisplayTexts::EachWindowLine(const WindowSet& set, const EachLine& each) {
  DisplayLine line;
  for (std::size_t n = 0; n < set.used; ++n) {
    const WindowLine& row = set.lines[n];
    FillLine(row.sequence, row.column, row.listText, row.ownText, false, line);
    if (row.codes != 1) return row.codes == 0 ? sqlhlp::kNoRow : sqlhlp::kTooManyRows;
    line.valueCode = UpToNul(row.code);
    each(line);
    line = DisplayLine{};
  }
  return sqlhlp::kNoRow;
}

// A badge whose validity rows valid today join one set in one language gets that set's lines,
// as the set's own statements order them: read once per set and language for the many badges
// that share it. That holds only where the database compares the set and the language exactly
// as the bound values (proved once per run), for rows whose values come back unchanged, and
// for a set without two lines of one number. A row without set or language joins no line and
// no code, as NULL equals nothing. Rows of two sets or languages leave the order of their lines
// and which code rows a line finds to the database: the badge's own statements read them.
std::optional<int> DisplayTexts::FromKeptSet(const BadgeKey& badge, const EachLine& each) {
  if (!setKeys_) {
    setKeys_ = &db_.Use(kBadgeSetKeys);
    // A set's statements bind the row's set and language where the badge's statements join
    // them: the same rows only where the database compares both pairs of columns exactly.
    setsKept_ = db_.ProveExactJoin({"KVD301ASW", "ASWSAL"}, {"KVD119MSD", "MSDSAL"}).exact &&
                db_.ProveExactJoin({"KVD301ASW", "ASWSPR"}, {"KVD102WHL", "FTXSPR"}).exact;
  }
  if (!setsKept_) return std::nullopt;
  std::size_t joining = 0;  // rows with a set and a language
  bool keyed = true;        // each of them has the set and language that a key finds
  setKeys_->BindText(0, badge.number, badge.exact);
  int status = setKeys_->Open();
  while (keyed && status == sqlhlp::kOk && (status = setKeys_->Fetch()) == sqlhlp::kOk) {
    if (setKeys_->IsNull(kKeySal) || setKeys_->IsNull(kKeySpr)) continue;
    if (joining++ == 0)
      keyed = ReadSetOfRow(*setKeys_, row_);
    else
      keyed = ReadSetOfRow(*setKeys_, otherRow_) && otherRow_.key == row_.key;
  }
  setKeys_->Close();
  if (!keyed) return std::nullopt;
  if (sqlhlp::IsError(status)) return status;
  if (joining == 0) return sqlhlp::kNoRow;  // no row joins: no line
  const KeptSet* kept = nullptr;
  status = KeepSet(row_, kept);
  if (sqlhlp::IsError(status)) return status;
  // Two lines of one number come in the order the database chooses, which may differ between
  // the set's statement and the badge's.
  if (status != sqlhlp::kOk || kept->tied) return std::nullopt;
  if (joining > 1) return kept->repeatedStatus;
  for (const DisplayLine& line : kept->alone) each(line);
  return kept->aloneStatus;
}

int DisplayTexts::FromOwnStatements(const BadgeKey& badge, const EachLine& each) {
  if (!badgeLines_) {  // read for many badges: the statements are looked up once
    badgeLines_ = &db_.Use(kBadgeLines);
    badgeCodes_ = &db_.Use(kBadgeCodes);
  }
  badgeCodes_->BindText(0, badge.number, badge.exact);
  badgeLines_->BindText(0, badge.number, badge.exact);
  return ReadLinesAndCodes(*badgeLines_, *badgeCodes_, each);
}

int DisplayTexts::KeepSet(const SetOfRow& of, const KeptSet*& kept) {
  if (auto found = keptSets_.find(of.key); found != keptSets_.end()) {
    kept = &found->second;
    return sqlhlp::kOk;
  }
  if (!setLines_) {
    setLines_ = &db_.Use(kSetLines);
    setCodes_ = &db_.Use(kSetCodes);
  }
  for (sqlhlp::Statement* st : {setLines_, setCodes_}) {
    // The language as the row holds it: a text column compares it as text, a number column
    // reads the digits as the number.
    st->BindText(0, std::string_view(of.key).substr(of.set));
    st->BindText(1, std::string_view(of.key).substr(0, of.set - 1));
  }
  // All of the set's code rows and lines, in the order its statements give them.
  KeptSet set;
  codes_.clear();
  std::vector<DisplayLine> setLines;
  sqlhlp::Statement& codes = *setCodes_;
  int status = codes.Open();
  while (status == sqlhlp::kOk && (status = codes.Fetch()) == sqlhlp::kOk)
    if (!codes.IsNull(0)) codes_.emplace_back(codes.GetInt(0), UpToNul(codes.GetText(1)));
  codes.Close();
  if (status != sqlhlp::kNoRow) return status;
  sqlhlp::Statement& lines = *setLines_;
  status = lines.Open();
  while (status == sqlhlp::kOk && (status = lines.Fetch()) == sqlhlp::kOk) {
    DisplayLine& line = setLines.emplace_back();
    FillLine(lines.GetInt(kLfd), lines.GetInt(kSpl), lines.GetText(kListText),
             lines.GetText(kOwnText), false, line);
    for (std::size_t i = 0; i + 1 < setLines.size(); ++i)
      if (setLines[i].sequence == line.sequence) set.tied = true;
  }
  lines.Close();
  if (status != sqlhlp::kNoRow) return status;
  set.aloneStatus = sqlhlp::kNoRow;
  for (const DisplayLine& line : setLines) {
    const std::string* code = nullptr;
    int found = 0;
    for (const auto& [sequence, text] : codes_)
      if (sequence == line.sequence && found++ == 0) code = &text;
    // With the set's rows twice over, the first line finds each of its codes twice.
    if (&line == &setLines.front() && found > 0) set.repeatedStatus = sqlhlp::kTooManyRows;
    if (found != 1) {
      set.aloneStatus = found == 0 ? sqlhlp::kNoRow : sqlhlp::kTooManyRows;
      break;
    }
    set.alone.push_back(line);
    set.alone.back().valueCode = *code;
  }
  // Nothing points into the kept sets between two badges: starting over here is safe.
  if (keptSets_.size() >= kKeptSets) keptSets_.clear();
  kept = &keptSets_.emplace(of.key, std::move(set)).first->second;
  return sqlhlp::kOk;
}

// The value codes of all lines come with one statement instead of one per line; each line takes
// its code as its own select would answer: 1403 without a row, kTooManyRows with two.
int DisplayTexts::ReadLinesAndCodes(sqlhlp::Statement& lines, sqlhlp::Statement& codes,
                                    const EachLine& each) {
  codes_.clear();
  int status = codes.Open();
  while (status == sqlhlp::kOk && (status = codes.Fetch()) == sqlhlp::kOk)
    if (!codes.IsNull(0)) codes_.emplace_back(codes.GetInt(0), UpToNul(codes.GetText(1)));
  codes.Close();
  if (status != sqlhlp::kNoRow) return status;
  status = lines.Open();
  DisplayLine line;
  while (status == sqlhlp::kOk && (status = lines.Fetch()) == sqlhlp::kOk) {
    FillLine(lines.GetInt(kLfd), lines.GetInt(kSpl), lines.GetText(kListText),
             lines.GetText(kOwnText), false, line);
    const std::string* code = nullptr;
    int found = 0;
    for (const auto& [sequence, text] : codes_)
      if (sequence == line.sequence && found++ == 0) code = &text;
    if (found != 1) {
      status = found == 0 ? sqlhlp::kNoRow : sqlhlp::kTooManyRows;
      break;
    }
    line.valueCode = *code;
    each(line);
    line = DisplayLine{};
  }
  lines.Close();
  return status;
}

int DisplayTexts::ReadWindow(const BadgeKey& badge) {
  sqlhlp::Statement& st = window_->Ask(badge);
  // The entries keep their storage from one window to the next.
  if (sets_.size() < window_->Asked()) sets_.resize(window_->Asked());
  for (std::size_t i = 0; i < window_->Asked(); ++i) {
    sets_[i].used = 0;
    sets_[i].repeated = false;
  }
  int status = st.Open();
  while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
    const int at = window_->RowPlace(st);
    if (at < 0) continue;
    WindowSet& set = sets_[static_cast<std::size_t>(at)];
    // Rows of one line number have one value-code answer: unless it is a code, the first of
    // them ends the reading whatever their order.
    const std::int32_t sequence = st.GetInt(kWinLfd);
    const std::int32_t codes = st.GetInt(kWinCodes);
    for (std::size_t n = 0; n < set.used; ++n)
      if (set.lines[n].sequence == sequence && codes == 1) set.repeated = true;
    if (set.lines.size() == set.used) set.lines.emplace_back();
    WindowLine& row = set.lines[set.used++];
    row.sequence = sequence;
    row.column = st.GetInt(kWinSpl);
    row.listText.assign(st.GetText(kWinListText));
    row.ownText.assign(st.GetText(kWinOwnText));
    row.codes = codes;
    row.code.assign(st.GetText(kWinCode));
  }
  st.Close();
  if (status != sqlhlp::kNoRow) window_->Forget();
  return status;
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

int DisplayTexts::ReadBadgeSet(const BadgeKey& badge, DisplayLineTable& table) {
  return ReadBadgeLines(badge, [&](const DisplayLine& line) { StoreDisplayLine(table, line); });
}

void ListDisplayTextStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Anzeigezeilen Terminal", kTerminalLines));
  out.push_back(Listed("Wertcode Terminal", kTerminalCode, false, "ti"));
  out.push_back(Listed("Anzeigezeilen Ausweis", kBadgeLines, true));
  out.push_back(Listed("Wertcodes Ausweis", kBadgeCodes, true));
  out.push_back(Listed("Gueltige Saetze Ausweis", kBadgeSetKeys, true));
  out.push_back(Listed("Anzeigezeilen Satz", kSetLines, false, "ti"));
  out.push_back(Listed("Wertcodes Satz", kSetCodes, false, "ti"));
  out.push_back(
      ListedWindow("Anzeigezeilen Ausweis Fenster", kBadgeSetWindow, kBadgeSetWindowColumns));
}

}  // namespace zibrolt
