// The badge cursor: both variants share their columns and their validity rule (today within
// AswGvo..AswGbi, either end open) and leave out withdrawn badges and administration rows.
#include "data/badges.hpp"

#include <string>

#include "data/statements.hpp"

namespace zibrolt {
namespace {

using sqlhlp::Int;
using sqlhlp::Text;

// AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AwvSto, AswSal, AswBk2,
// AswSpr, AswPin, received as the terminals have always received them.
constexpr sqlhlp::Column kBadgeColumns[] = {Text(256), Text(15), Text(15), Text(9), Text(6),
                                            Text(6),   Text(51), Int(),    Text(9), Text(11),
                                            Text(6),   Int(),    Text(33)};
enum BadgeColumn { kNum, kGvo, kGbi, kPnr, kBkl, kGrp, kAan, kAtp, kSto, kSal, kBk2, kSpr, kPin };

constexpr sqlhlp::Query kAssignedBadges{
    "select AswNum ,TO_CHAR(AswGvo,'yyyymmdd') ,TO_CHAR(AswGbi,'yyyymmdd') ,AswPnr ,AswBkl "
    ",AswGrp ,AswAan ,AswAtp ,AwvSto ,AswSal ,AswBk2 ,AswSpr ,AswPin  from Korvadat.Kvd301Asw "
    ",Korvadat.Kvd113Awv ,Korvadat.Kvd115Tfz where (((((((TFZTRM=:b0 and ASWLIZ=TFZLIZ) and "
    "ASWMND=TFZMND) and ASWNUM=AWVNUM) and (((trunc(SYSDATE)>=AswGvo and AswGbi is null ) or "
    "(trunc(SYSDATE)<=AswGbi and trunc(AswGvo) is null )) or (trunc(SYSDATE)>=AswGvo and "
    "trunc(SYSDATE)<=AswGbi))) and (AWVCOD<>8 or AWVCOD is null )) and ((AwvSta<>4 and "
    "AwvSta<>8) or AwvSta is null )) and ((AswSta<>4 and AswSta<>8) or AswSta is null )) order "
    "by AswNum,AswGvo,AswBkl",
    kBadgeColumns};

constexpr sqlhlp::Query kAllBadges{
    "select AswNum ,TO_CHAR(AswGvo,'yyyymmdd') ,TO_CHAR(AswGbi,'yyyymmdd') ,AswPnr ,AswBkl "
    ",AswGrp ,AswAan ,AswAtp ,AwvSto ,AswSal ,AswBk2 ,AswSpr ,AswPin  from Korvadat.Kvd301Asw "
    ",Korvadat.Kvd113Awv where ((((ASWNUM=AWVNUM and (((trunc(SYSDATE)>=AswGvo and AswGbi is "
    "null ) or (trunc(SYSDATE)<=AswGbi and trunc(AswGvo) is null )) or (trunc(SYSDATE)>=AswGvo "
    "and trunc(SYSDATE)<=AswGbi))) and (AWVCOD<>8 or AWVCOD is null )) and ((AwvSta<>4 and "
    "AwvSta<>8) or AwvSta is null )) and ((AswSta<>4 and AswSta<>8) or AswSta is null )) order "
    "by AswNum,AswGvo,AswBkl",
    kBadgeColumns};

// The all-badges list with each row's client and licence, for a pass that serves terminals with
// and without assignments at once.
constexpr sqlhlp::Column kBadgeClientColumns[] = {
    Text(256), Text(15), Text(15), Text(9), Text(6),  Text(6),  Text(51), Int(),
    Text(9),   Text(11), Text(6),  Int(),   Text(33), Text(41), Text(41)};
enum ClientColumn { kMnd = kPin + 1, kLiz };

constexpr sqlhlp::Query kAllBadgesWithClients{
    "select AswNum ,TO_CHAR(AswGvo,'yyyymmdd') ,TO_CHAR(AswGbi,'yyyymmdd') ,AswPnr ,AswBkl "
    ",AswGrp ,AswAan ,AswAtp ,AwvSto ,AswSal ,AswBk2 ,AswSpr ,AswPin ,ASWMND ,ASWLIZ  from "
    "Korvadat.Kvd301Asw ,Korvadat.Kvd113Awv where ((((ASWNUM=AWVNUM and "
    "(((trunc(SYSDATE)>=AswGvo and AswGbi is null ) or (trunc(SYSDATE)<=AswGbi and "
    "trunc(AswGvo) is null )) or (trunc(SYSDATE)>=AswGvo and trunc(SYSDATE)<=AswGbi))) and "
    "(AWVCOD<>8 or AWVCOD is null )) and ((AwvSta<>4 and AwvSta<>8) or AwvSta is null )) and "
    "((AswSta<>4 and AswSta<>8) or AswSta is null )) order by AswNum,AswGvo,AswBkl",
    kBadgeClientColumns};

// ora_bad_date is the embedded database's own function: the text of a date column that holds
// no date, else NULL. Never listed with the statements an Oracle installation must prepare.
constexpr sqlhlp::Column kBadDateColumns[] = {Text(256), Text(256), Text(256)};
constexpr sqlhlp::Query kBadDates{
    "select AswNum ,ora_bad_date(AswGvo) ,ora_bad_date(AswGbi)  from Korvadat.Kvd301Asw where "
    "(AswNum>=nvl(:b0,AswNum) and (ora_bad_date(AswGvo) is not null or ora_bad_date(AswGbi) is not "
    "null)) "
    "order by AswNum",
    kBadDateColumns};
constexpr sqlhlp::Column kBadDateCountColumns[] = {Int()};
constexpr sqlhlp::Query kBadDateCount{
    "select count(*)  from Korvadat.Kvd301Asw where (ora_bad_date(AswGvo) is not null or "
    "ora_bad_date(AswGbi) is not null)",
    kBadDateCountColumns};

// Moves the columns of the badge list from a window row into the caller's row.
void TakeListColumns(BadgeRow& to, BadgeRow& from) {
  for (auto field : {&BadgeRow::AswNum, &BadgeRow::AswNumExact, &BadgeRow::AswGvo,
                     &BadgeRow::AswGbi, &BadgeRow::AswPnr, &BadgeRow::AswBkl, &BadgeRow::AswGrp,
                     &BadgeRow::AswAtp, &BadgeRow::AwvSto, &BadgeRow::AswSal, &BadgeRow::AswBk2,
                     &BadgeRow::AswSpr, &BadgeRow::AswPin})
    (to.*field).swap(from.*field);
}

// "%-3s": left-aligned, blank-padded to at least 3 characters.
void PadClass(std::string_view value, std::string& out) {
  out.assign(value);
  if (out.size() < 3) out.append(3 - out.size(), ' ');
}

}  // namespace

int BadgeCursor::OpenBadgeCursor(const TerminalRecord& terminal) {
  window_.clear();
  numbers_.clear();
  lastNumber_.clear();
  next_ = 0;
  endStatus_ = sqlhlp::kOk;
  rowClient_ = kNoClient;
  if (withClients_) {
    cursor_ = &db_.Use(kAllBadgesWithClients);
  } else if (terminal.assignmentCount > 0) {
    cursor_ = &db_.Use(kAssignedBadges);
    cursor_->BindText(0, terminal.name);
  } else {
    cursor_ = &db_.Use(kAllBadges);
  }
  return cursor_->OpenList();
}

int BadgeCursor::FetchBadge(BadgeRow& row) {
  if (!cursor_) return sqlhlp::kInvalidCursor;  // never opened
  if (next_ == window_.size()) {
    if (endStatus_ != sqlhlp::kOk) return endStatus_;
    if (FillWindow() == 0) return endStatus_;
  }
  if (withClients_) rowClient_ = clients_[next_];
  TakeListColumns(row, window_[next_++]);
  return sqlhlp::kOk;
}

// Fetches up to a window of rows; a status other than 0 ends the filling and is delivered after
// the rows fetched before it, as a row-by-row fetch would have met it.
int BadgeCursor::FillWindow() {
  // An embedded database answers lookups one by one faster: there the window is one row, and
  // no lookup asks for the numbers ahead.
  const bool batches = db_.PrefersBatches();
  const std::size_t size = batches ? kBadgeWindow : 1;
  window_.resize(size);
  numbers_.clear();
  clients_.clear();
  std::size_t filled = 0;
  while (filled < size) {
    window_[filled].Clear();
    endStatus_ = FetchRow(window_[filled]);
    if (endStatus_ != sqlhlp::kOk) break;
    if (batches) numbers_.emplace_back().Assign(window_[filled]);
    if (withClients_) clients_.push_back(ReadClient());
    ++filled;
  }
  if (filled > 0) lastNumber_ = window_[filled - 1].AswNum;
  window_.resize(filled);
  next_ = 0;
  return static_cast<int>(filled);
}

std::span<const KeptBadgeKey> BadgeCursor::Ahead() const {
  if (next_ == 0) return {};
  return std::span<const KeptBadgeKey>(numbers_).subspan(next_ - 1);
}

int BadgeCursor::FetchRow(BadgeRow& row) {
  int status = cursor_->Fetch();
  if (status != sqlhlp::kOk) return status;
  const sqlhlp::Statement& c = *cursor_;
  row.AswNum = c.GetText(kNum);
  row.AswNumExact = c.GetExact(kNum);
  row.AswGvo = c.GetText(kGvo);
  row.AswGbi = c.GetText(kGbi);
  row.AswPnr = c.GetText(kPnr);
  PadClass(c.GetText(kBkl), row.AswBkl);
  row.AswGrp = c.GetText(kGrp);
  row.AswAtp = std::to_string(c.GetInt(kAtp));  // a NULL type reads as 0
  // "%08s": the location number right-aligned in 8 positions, "0" in front.
  std::string_view sto = c.GetText(kSto);
  row.AwvSto.assign(sto.size() < 8 ? 8 - sto.size() : 0, '0');
  row.AwvSto.append(sto);
  row.AswSal = c.GetText(kSal);
  PadClass(c.GetText(kBk2), row.AswBk2);
  row.AswSpr = c.IsNull(kSpr) ? "1" : std::to_string(c.GetInt(kSpr));
  row.AswPin = c.GetText(kPin);
  return status;
}

int BadgeCursor::ReadClient() {
  const sqlhlp::Statement& c = *cursor_;
  if (c.IsNull(kMnd) || c.IsNull(kLiz)) return kNoClient;
  MakeClientKey(c, kMnd, kLiz, key_);
  return static_cast<int>(clientKeys_.Number(key_));
}

void MakeClientKey(const sqlhlp::Statement& row, int client, int licence, std::string& key) {
  key.clear();
  // Each value as the database holds it (its exact form where it has one), behind its length.
  for (const int column : {client, licence}) {
    const std::string_view exact = row.GetExact(column);
    const std::string_view value = exact.empty() ? row.GetText(column) : exact;
    key.append(std::to_string(value.size())).push_back(':');
    key.append(value);
  }
}

int BadgeCursor::CloseBadgeCursor() { return cursor_ ? cursor_->Close() : sqlhlp::kOk; }

int FindBadDate(sqlhlp::Connection& db, std::string_view from, BadDateRow& found) {
  sqlhlp::Statement& count = db.Use(kBadDateCount);
  int status = count.SelectOne();
  if (status != sqlhlp::kOk) return status;
  found.count = count.GetInt(0);
  if (found.count == 0) return sqlhlp::kNoRow;
  sqlhlp::Statement& rows = db.Use(kBadDates);
  // The first at or after from: where the list stopped. A list in another order may have met
  // another one first; then the first of all.
  for (std::string_view start : {from, std::string_view()}) {
    rows.BindText(0, start);
    status = rows.Open();
    if (status == sqlhlp::kOk) status = rows.Fetch();
    if (status == sqlhlp::kOk) {
      found.badge = rows.GetText(0);
      const bool gvo = !rows.IsNull(1);
      found.column = gvo ? "AswGvo" : "AswGbi";
      found.value = rows.GetText(gvo ? 1 : 2);
    }
    rows.Close();
    if (status != sqlhlp::kNoRow) return status;
  }
  return status;
}

void ListBadgeStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Ausweisliste (zugeordnet)", kAssignedBadges));
  out.push_back(Listed("Ausweisliste (alle)", kAllBadges));
  out.push_back(Listed("Ausweisliste mit Mandanten", kAllBadgesWithClients));
}

}  // namespace zibrolt
