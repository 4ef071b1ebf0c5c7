// Authorisations live in MGSST35P (class per terminal, kind '1' time, '0' access) and
// Kvd301Awb (classes per badge); readers in Kvd401Zls.
#include "data/checks.hpp"

#include <algorithm>
#include <new>

#include "data/pass_lookups.hpp"
#include "data/statements.hpp"

namespace zibrolt {
namespace {

using sqlhlp::Int;
using sqlhlp::Text;

// Classes are compared whole, so they are received whole; the list entry keeps the first 5
// characters, as the terminals have always received them.
constexpr int kClassCapacity = 256;
constexpr std::size_t kEntryClassLength = 5;

// Both kinds of the terminal's classes in the database's order, highest first: the access
// classes come out in the order the terminals have always received them.
constexpr sqlhlp::Column kTerminalClassColumns[] = {Text(kClassCapacity), Text(2)};
constexpr sqlhlp::Query kTerminalClasses{
    "select M35BKL ,M35Bch  from Korvadat.MGSST35P where (M35TRM=:b0 and (M35Bch='0' or "
    "M35Bch='1')) order by M35BKL desc",
    kTerminalClassColumns};

// Badge number and class; a window of badges reads its place instead of the number. The single
// form's number is the one bound, so it is not fetched.
constexpr sqlhlp::Column kBadgeClassColumns[] = {sqlhlp::Unread(), Text(kClassCapacity)};
constexpr std::string_view kBadgeClasses =
    "select AWBASW ,AWBBKL  from Korvadat.Kvd301Awb where AWBASW=:b0";
constexpr sqlhlp::Column kBadgeClassWindowColumns[] = {Int(), Text(kClassCapacity)};
constexpr std::string_view kBadgeClassesWindow =
    "select keys.i ,AWBBKL  from {keys} ,Korvadat.Kvd301Awb where AWBASW=keys.k";

constexpr sqlhlp::Column kReaderColumns[] = {Int(), Text(6)};
constexpr sqlhlp::Query kReaders{
    "select ZlsLes ,ZlsZko  from Korvadat.Kvd401Zls where ((ZlsTrm=:b0 and ZlsLes<=:b1) and "
    "((ZlsSta<>4 and ZlsSta<>8) or ZlsSta is null )) order by ZlsLes",
    kReaderColumns};

// Reader numbers have slots 0 to 11 only.
constexpr int kReaderSlots = 12;

// The per-badge statements that join in the database, where the join may not be made here.
constexpr sqlhlp::Column kCountColumns[] = {Int()};
constexpr sqlhlp::Query kTimeClassCount{
    "select count(*)  into :b0:b1  from Korvadat.MGSST35P where ((M35Trm=:b2 and M35Bch='1') "
    "and M35Bkl in (select AWBBKL  from Korvadat.Kvd301Awb where AWBASW=:b3))",
    kCountColumns};
// A class arrives in 6 characters: at most 5 of it.
constexpr sqlhlp::Column kAccessClassColumns[] = {Text(6)};
constexpr sqlhlp::Query kAccessClasses{
    "select distinct M35BKL  from Korvadat.MGSST35P ,Korvadat.Kvd301Awb where (((M35TRM=:b0 and "
    "AWBASW=:b1) and M35Bch='0') and M35Bkl=AWBBKL) order by M35BKL desc",
    kAccessClassColumns};

// The list entry of a class: "%-3s" of its first 5 characters.
std::string AccessEntry(std::string_view value) {
  std::string entry(value.substr(0, kEntryClassLength));
  if (entry.size() < 3) entry.append(3 - entry.size(), ' ');
  return entry;
}

}  // namespace

const backend::JoinProof& ClassJoinInProgram(sqlhlp::Connection& db) {
  return db.ProveExactJoin({"MGSST35P", "M35BKL"}, {"KVD301AWB", "AWBBKL"});
}

Authorisations::Authorisations(sqlhlp::Connection& db, const Messages& messages,
                               const TerminalRecord& terminal, const BadgeCursor* list,
                               PassLookups* shared, std::optional<int> highestReader)
    : db_(db),
      messages_(messages),
      terminal_(terminal),
      highestReader_(highestReader),
      inProgram_(ClassJoinInProgram(db).exact),
      ownClasses_(db, list),
      classLookup_(shared ? shared->classes : ownClasses_) {}

BadgeClassLookup::BadgeClassLookup(sqlhlp::Connection& db, const BadgeCursor* list)
    : badgeLookup_(db, list, kBadgeClasses, kBadgeClassColumns, kBadgeClassesWindow,
                   kBadgeClassWindowColumns) {}

int Authorisations::LoadTerminalClasses() {
  if (terminalLoaded_) return sqlhlp::kOk;
  sqlhlp::Statement& st = db_.Use(kTerminalClasses);
  st.BindText(0, terminal_.name);
  int status = st.Open();
  while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
    if (st.IsNull(0)) continue;  // a NULL class equals no badge's class
    // Numbered as the badges' classes are: by the value the database holds.
    const std::size_t number = classLookup_.Number(st.GetText(0), st.GetExact(0));
    if (number >= meanings_.size()) meanings_.resize(number + 1);
    ClassMeaning& meaning = meanings_[number];
    if (st.GetText(1) == "1") {
      meaning.time = true;
    } else if (!meaning.isAccess) {
      meaning.isAccess = true;
      meaning.access = static_cast<std::uint32_t>(accessEntries_.size());
      accessEntries_.push_back(AccessEntry(st.GetText(0)));
    }
  }
  st.Close();
  if (status != sqlhlp::kNoRow) return status;
  terminalLoaded_ = true;
  return sqlhlp::kOk;
}

int Authorisations::LoadBadgeClasses(const BadgeKey& badge) {
  badgeClasses_ = nullptr;
  return classLookup_.Load(badge, badgeClasses_);
}

int BadgeClassLookup::Load(const BadgeKey& badge, const Classes*& classes) {
  if (const int at = badgeLookup_.Place(badge); at >= 0) {
    classes = &batch_[static_cast<std::size_t>(at)];
    return sqlhlp::kOk;
  }
  sqlhlp::Statement& st = badgeLookup_.Ask(badge);
  // Each badge asked for gets an answer; the entries keep their storage from badge to badge.
  if (batch_.size() < badgeLookup_.Asked()) batch_.resize(badgeLookup_.Asked());
  for (std::size_t i = 0; i < badgeLookup_.Asked(); ++i) batch_[i].clear();
  int status = st.Open();
  while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
    const int at = badgeLookup_.RowPlace(st);
    if (at < 0 || st.IsNull(1)) continue;
    batch_[static_cast<std::size_t>(at)].push_back(names_.Number(st.GetText(1), st.GetExact(1)));
  }
  st.Close();
  if (status != sqlhlp::kNoRow) {
    badgeLookup_.Forget();
    return status;
  }
  classes = &batch_.front();  // the badge asked for comes first
  return sqlhlp::kOk;
}

int Authorisations::LoadReaders() {
  if (readersLoaded_ || !highestReader_) return sqlhlp::kOk;
  readers_.reset();
  sqlhlp::Statement& st = db_.Use(kReaders);
  st.BindText(0, terminal_.name);
  st.BindInt(1, *highestReader_);
  int status = st.Open();
  while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
    const int n = st.GetInt(0);
    if (n >= 0 && n <= *highestReader_ && n < kReaderSlots)  // has a slot
      readers_.set(static_cast<std::size_t>(n));
  }
  st.Close();
  if (status != sqlhlp::kNoRow) return status;
  readersLoaded_ = true;
  return sqlhlp::kOk;
}

const Authorisations::ClassMeaning& Authorisations::Meaning(std::size_t number) const {
  static const ClassMeaning kNone;  // a class the terminal does not list
  return number < meanings_.size() ? meanings_[number] : kNone;
}

int Authorisations::Fail(const BadgeKey& badge, int status) {
  // A list that could not grow has printed its own line.
  if (status != kAccessListFailed)
    messages_.Say("Berechtigungen von Ausweis %s nicht lesbar! SQLCode:%d\n",
                  std::string(badge.number).c_str(), status);
  return status;
}

int Authorisations::TimeAuthorisation(const BadgeKey& badge, bool& time) {
  time = false;
  if (inProgram_) {
    int status = LoadTerminalClasses();
    if (status == sqlhlp::kOk) status = LoadBadgeClasses(badge);
    if (status != sqlhlp::kOk) return status;
    for (const std::size_t c : *badgeClasses_)
      if (Meaning(c).time) time = true;
  } else {
    sqlhlp::Statement& count = db_.Use(kTimeClassCount);
    count.BindText(0, terminal_.name);
    count.BindText(1, badge.number, badge.exact);
    // A count that cannot be read must not read as none: the badge's rights are unknown.
    if (const int status = count.SelectOne(); status != sqlhlp::kOk) return status;
    time = count.GetInt(0) > 0;
  }
  if (messages_.verbose())
    messages_.Say("Aws: %s Zeitberechtigung: %d\n", std::string(badge.number).c_str(),
                  time ? 1 : 0);
  return sqlhlp::kOk;
}

Rights Authorisations::CheckTime(const BadgeKey& badge) {
  Rights rights;
  if (int status = TimeAuthorisation(badge, rights.time); status != sqlhlp::kOk)
    rights.status = Fail(badge, status);
  return rights;
}

const Rights& Authorisations::CheckBadge(const BadgeKey& badge) {
  rights_.status = sqlhlp::kOk;
  rights_.classes.clear();
  int status = TimeAuthorisation(badge, rights_.time);
  if (status == sqlhlp::kOk) status = LoadReaders();
  if (status == sqlhlp::kOk && !inProgram_) status = CollectInDatabase(badge);
  if (status != sqlhlp::kOk) {
    rights_.status = Fail(badge, status);
    return rights_;
  }
  if (!inProgram_) return rights_;
  // The terminal's access classes the badge holds, in the terminal's order.
  held_.clear();
  for (const std::size_t c : *badgeClasses_)
    if (const ClassMeaning& m = Meaning(c); m.isAccess) held_.push_back(m.access);
  std::sort(held_.begin(), held_.end());
  held_.erase(std::unique(held_.begin(), held_.end()), held_.end());
  for (const std::uint32_t place : held_) {
    try {
      rights_.classes.push_back(accessEntries_[place]);
    } catch (const std::bad_alloc&) {
      // No line end: these lines have always run into the next one.
      messages_.Say(rights_.classes.empty() ? "Fehler beim allokieren von Speicher"
                                            : "Fehler beim reallokieren von Speicher");
      rights_.status = kAccessListFailed;
      return rights_;
    }
  }
  return rights_;
}

int Authorisations::CollectInDatabase(const BadgeKey& badge) {
  sqlhlp::Statement& st = db_.Use(kAccessClasses);
  st.BindText(0, terminal_.name);
  st.BindText(1, badge.number, badge.exact);
  int status = st.Open();
  while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
    try {
      rights_.classes.push_back(AccessEntry(st.GetText(0)));
    } catch (const std::bad_alloc&) {
      st.Close();
      // No line end: these lines have always run into the next one.
      messages_.Say(rights_.classes.empty() ? "Fehler beim allokieren von Speicher"
                                            : "Fehler beim reallokieren von Speicher");
      return kAccessListFailed;
    }
  }
  st.Close();
  // A cursor that ended in an error has not told every class: the rights are unknown.
  return status == sqlhlp::kNoRow ? sqlhlp::kOk : status;
}

void ListCheckStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Terminalklassen", kTerminalClasses));
  out.push_back(Listed("Ausweisklassen", kBadgeClasses, kBadgeClassColumns, true));
  out.push_back(
      ListedWindow("Ausweisklassen Fenster", kBadgeClassesWindow, kBadgeClassWindowColumns));
  out.push_back(Listed("Leser", kReaders, false, "ti"));
  out.push_back(Listed("Zeitklassen Ausweis", kTimeClassCount, true));
  out.push_back(Listed("Zutrittsklassen Ausweis", kAccessClasses, true));
}

}  // namespace zibrolt
