// zibrolt-bench-db: builds an installation database of any size for measuring the download
// functions: badges with one or more validity periods, classes, locations, balance rows and
// display-text sets, and terminals with and without client assignments, in one of two shapes
// (few badges with a display set of their own, or most of them), each stored in badge order or,
// as in an installation that grew over years, shuffled. The same seed gives the same rows;
// dates are relative to today, so a file built today is valid today.
#include <sqlite3.h>

#include <array>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#ifndef ZIBROLT_SCHEMA_FILE
#define ZIBROLT_SCHEMA_FILE "db/schema.sql"
#endif

namespace {

// splitmix64: tiny, fast and the same on every platform, so a seed names one installation.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool Percent(int p) { return Below(1000) < p * 10; }
  bool PerMille(int p) { return Below(1000) < p; }
  // One element of a non-empty list or array.
  template <class List>
  const auto& Pick(const List& from) {
    return from[Next() % from.size()];
  }

 private:
  std::uint64_t state_;
};

// 'YYYY-MM-DD' of today plus an offset, prepared once: strftime per row would dominate.
class Dates {
 public:
  static constexpr int kRange = 4000;  // days either side of today
  Dates() {
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    texts_.resize(2 * kRange + 1);
    for (int d = -kRange; d <= kRange; ++d) {
      std::tm day = today;
      day.tm_mday += d;
      day.tm_hour = 12;  // noon: a DST change never moves the normalised date
      day.tm_isdst = -1;
      std::mktime(&day);
      char text[16];
      std::strftime(text, sizeof text, "%Y-%m-%d", &day);
      texts_[d + kRange] = text;
    }
  }
  std::string_view At(int offset) const { return texts_[offset + kRange]; }

 private:
  std::vector<std::string> texts_;
};

class Database {
 public:
  explicit Database(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) Fail("cannot open " + path);
  }
  ~Database() { sqlite3_close(db_); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : "?";
      sqlite3_free(error);
      Fail(message + " in: " + sql.substr(0, 80));
    }
  }
  sqlite3* handle() { return db_; }

  [[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "zibrolt-bench-db: %s\n", message.c_str());
    std::exit(1);
  }

 private:
  sqlite3* db_ = nullptr;
};

// One prepared INSERT. Every row binds every column anew (NULL by default), and the texts stay
// the caller's until Step, so they are bound without copying.
class Insert {
 public:
  Insert(Database& db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK)
      db.Fail(sqlite3_errmsg(db.handle()));
  }
  ~Insert() { sqlite3_finalize(stmt_); }
  Insert(const Insert&) = delete;
  Insert& operator=(const Insert&) = delete;

  Insert& Text(int column, std::string_view text) {
    sqlite3_bind_text(stmt_, column, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    return *this;
  }
  Insert& Int(int column, std::int64_t value) {
    sqlite3_bind_int64(stmt_, column, value);
    return *this;
  }
  void Step() {
    if (sqlite3_step(stmt_) != SQLITE_DONE) db_.Fail(sqlite3_errmsg(db_.handle()));
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    ++rows_;
  }
  std::uint64_t rows() const { return rows_; }

 private:
  Database& db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::uint64_t rows_ = 0;
};

// The statements of the schema file, tables first; indexes are built after the bulk insert,
// which is several times faster than keeping them up to date row by row.
struct Schema {
  std::vector<std::string> tables;
  std::vector<std::string> indexes;
};

bool StartsWithCreateIndex(std::string_view sql) {
  // Skip blanks and "--" comments before the statement's first word.
  std::size_t i = 0;
  while (i < sql.size()) {
    if (sql[i] == ' ' || sql[i] == '\n' || sql[i] == '\r' || sql[i] == '\t') {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      while (i < sql.size() && sql[i] != '\n') ++i;
    } else {
      break;
    }
  }
  std::string head(sql.substr(i, 12));
  for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return head == "CREATE INDEX";
}

Schema ReadSchema(Database& db, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) db.Fail("cannot read the schema " + path);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  // sqlite3_complete knows where a statement ends (a ";" inside a comment does not end one).
  Schema schema;
  std::string pending;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ';') continue;
    pending = text.substr(start, i + 1 - start);
    if (!sqlite3_complete(pending.c_str())) continue;
    (StartsWithCreateIndex(pending) ? schema.indexes : schema.tables).push_back(pending);
    start = i + 1;
  }
  if (schema.tables.empty()) db.Fail("no tables in " + path);
  return schema;
}

// Classes of at most 3 characters: the fixed-width files have 3 positions for one.
constexpr std::array<const char*, 5> kTimeClasses = {"Z", "GL", "T1", "T2", "N"};
constexpr int kAccessClassCount = 40;
std::string AccessClass(int k) {
  return k < 30 ? std::to_string(10 + 3 * k) : "X" + std::to_string(k);
}

constexpr int kLocations = 60;
constexpr int kFirstLocation = 1000;
constexpr std::array<const char*, 5> kGroups = {"MA", "PROD", "VERW", "LAGR", "GAST"};
constexpr int kBadgeSets = 4;          // badge display sets BSAL1..BSAL4
constexpr int kOwnSetsShapeSets = 40;  // BSAL1..BSAL40 where most badges have a set
constexpr int kClients = 4;            // badges belong to clients 1..4; BENCH-MND serves 1 and 2

struct Options {
  long badges = 10000;
  std::uint64_t seed = 1;
  int terminals = 200;  // further terminals besides BENCH-ALL and BENCH-MND
  std::string schema = ZIBROLT_SCHEMA_FILE;
  std::string out;
  // "own-sets": 90 % of the badges with a display set of their own (one of 40), two or three
  // validity periods, 1 to 5 classes, a location and a balance row for every badge. Else the
  // "few-sets" shape: 10 % with a set (one of 4), about 1.3 periods, 0 to 5 classes.
  bool ownSets = false;
  // Every table's rows stored in a shuffled order, as an installation that grew over years
  // holds them: a badge's rows lie anywhere in the file instead of next to its neighbours'.
  bool shuffled = false;
};

struct TerminalPlan {
  std::string name;
  const char* model;
  const char* displaySet;
  std::vector<int> clients;  // client/licence assignments; empty: every badge
};

void AddTerminals(Database& db, Random& random, const Options& options) {
  Insert trm(db, "INSERT INTO Kvd1140Trm VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
  Insert tfz(db, "INSERT INTO Kvd115Tfz VALUES (?1, ?2, ?3, ?4)");
  Insert zls(db, "INSERT INTO Kvd401Zls VALUES (?1, ?2, ?3, ?4)");
  Insert m35(db, "INSERT INTO MGSST35P VALUES (?1, ?2, ?3)");

  std::vector<TerminalPlan> terminals = {
      {"BENCH-ALL", "7744-010", "TSAL", {}},
      {"BENCH-MND", "7598-002", "TSAL2", {1, 2}},
  };
  constexpr std::array<const char*, 3> kModels = {"7744-010", "7598-002", "ZK-40"};
  for (int t = 1; t <= options.terminals; ++t) {
    char name[24];
    std::snprintf(name, sizeof name, "BENCH-T%03d", t);
    std::vector<int> clients;
    if (t % 2 == 0) clients.push_back(1 + t % kClients);
    terminals.push_back({name, kModels[t % kModels.size()], t % 3 ? "TSAL" : nullptr, clients});
  }

  for (std::size_t i = 0; i < terminals.size(); ++i) {
    const TerminalPlan& plan = terminals[i];
    trm.Text(1, plan.name).Text(2, plan.model).Int(5, 1).Int(6, 1).Int(7, 1);
    if (plan.displaySet) trm.Text(3, plan.displaySet);
    if (i % 10 != 5) trm.Int(4, 1);  // a few terminals with a NULL status
    trm.Step();
    for (int client : plan.clients)
      tfz.Text(1, plan.name).Int(2, client).Int(3, 1).Int(4, 1).Step();
    // Withdrawn assignments on some other terminals. The badge list joins the assignments
    // without their status, so one on BENCH-MND would widen its list by a client.
    if (i >= 2 && !plan.clients.empty() && i % 4 == 0)
      tfz.Text(1, plan.name).Int(2, 1 + (i + 1) % kClients).Int(3, 1).Int(4, 8).Step();

    char zone[8];
    for (int reader = 1; reader <= 11; ++reader) {
      std::snprintf(zone, sizeof zone, "Z%d", (reader + 1) / 2);
      zls.Text(1, plan.name).Int(2, reader).Text(3, zone).Int(4, 1).Step();
    }

    // The two measured terminals know three time classes and every other access class; the
    // rest a time class and a random handful of access classes.
    const bool measured = i < 2;
    for (std::size_t c = 0; c < kTimeClasses.size(); ++c)
      if (measured ? c < 3 : c == 0)
        m35.Text(1, plan.name).Text(2, kTimeClasses[c]).Text(3, "1").Step();
    for (int k = 0; k < kAccessClassCount; ++k) {
      if (measured ? k % 2 != 0 : !random.Percent(25)) continue;
      const std::string access = AccessClass(k);
      m35.Text(1, plan.name).Text(2, access).Text(3, "0").Step();
    }
  }
}

void AddLocations(Database& db) {
  Insert sto(db, "INSERT INTO Kvd113Sto VALUES (?1, ?2, ?3)");
  char text[16];
  for (int k = 0; k < kLocations; ++k) {
    if (k % 4 == 0)
      std::snprintf(text, sizeof text, "EG%d", k);
    else
      std::snprintf(text, sizeof text, "Halle %d", k);
    sto.Int(1, kFirstLocation + k).Text(2, text).Int(3, k % 15 == 14 ? 4 : 1).Step();
  }
}

// Labels (list 220001) and value codes (list 220002) in languages 1 and 2, and the display
// sets: TSAL and TSAL2 for terminals, BSAL1..BSAL4 for badges of their own.
void AddDisplayTexts(Database& db, int badgeSets) {
  Insert whl(db, "INSERT INTO Kvd102Whl VALUES (?1, ?2, ?3, ?4, ?5)");
  constexpr std::array<const char*, 8> kLabels = {
      "Datum",    "Saldo", "Urlaub",    "Gleitzeit", "Ma&#241;ana-Saldo",
      "Vormonat", "Info",  "Resturlaub"};
  char text[32];
  for (int language = 1; language <= 2; ++language) {
    for (int entry = 1; entry <= 16; ++entry) {
      std::snprintf(text, sizeof text, "%s %d", kLabels[(entry - 1) % kLabels.size()], entry);
      whl.Int(1, 220001).Int(2, entry).Int(3, language).Text(4, text).Step();
    }
    for (int entry = 1; entry <= 30; ++entry) {
      if (entry >= 17 && entry <= 20) continue;  // the codes have no numbers 17 to 20
      std::snprintf(text, sizeof text, "#W%d", entry);
      whl.Int(1, 220002).Int(2, entry).Int(3, language).Text(5, text).Step();
    }
  }

  Insert msd(db, "INSERT INTO Kvd119Msd VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
  struct Line {
    int value;        // entry in list 220002, which is also the code's number
    const char* own;  // own label, or none
  };
  // clang-format off
  constexpr std::array<Line, 8> kTerminalLines = {{
      {1, nullptr}, {2, nullptr}, {9, "Urlaub"}, {10, nullptr},
      {21, nullptr}, {16, nullptr}, {30, "Hinweis"}, {1, nullptr}}};
  constexpr std::array<Line, 8> kBadgeLines = {{
      {2, "Eigener Saldo"}, {10, nullptr}, {1, nullptr}, {22, nullptr},
      {3, nullptr}, {11, nullptr}, {25, "Resturlaub"}, {12, nullptr}}};
  // clang-format on
  // rotate: the lines of the set start that many lines later, so that sets differ.
  auto set = [&](const char* name, const std::array<Line, 8>& lines, int rotate = 0) {
    for (int n = 1; n <= 8; ++n) {
      const Line& line = lines[(n - 1 + rotate) % 8];
      msd.Text(1, name).Int(2, n).Int(5, 1).Int(6, 1).Int(8, n).Int(9, line.value).Int(10, 1);
      if (n >= 5) msd.Int(3, 2);  // right-shifted labels on the wide models
      if (line.own) msd.Text(4, line.own);
      // A maker line of another client: shown to every client all the same.
      if (n == 4)
        msd.Int(5, 7).Int(6, 7).Text(7, "KORVANE");
      else
        msd.Text(7, "ADMIN");
      msd.Step();
    }
  };
  set("TSAL", kTerminalLines);
  set("TSAL2", kTerminalLines);
  for (int s = 1; s <= badgeSets; ++s)
    set(("BSAL" + std::to_string(s)).c_str(), kBadgeLines, (s - 1) / kBadgeSets % 8);
}

struct Counts {
  std::uint64_t badges = 0, validity = 0, administration = 0, classes = 0, balances = 0;
};

// Balance values: a sign and up to nine characters, as the time-recording system stores them.
std::vector<std::string> BalancePool(Random& random) {
  std::vector<std::string> pool(1024);
  char text[16];
  for (std::string& value : pool) {
    const int hundredths = random.Below(100000);
    std::snprintf(text, sizeof text, "%c%4d,%02d", random.Percent(30) ? '-' : '+', hundredths / 100,
                  hundredths % 100);
    value = text;
  }
  return pool;
}

Counts AddBadges(Database& db, Random& random, const Dates& dates, long badges, bool ownSets) {
  Insert asw(db,
             "INSERT INTO Kvd301Asw VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13,"
             " ?14, ?15)");
  Insert awv(db, "INSERT INTO Kvd113Awv VALUES (?1, ?2, ?3, ?4)");
  Insert awb(db, "INSERT INTO Kvd301Awb VALUES (?1, ?2)");
  std::string tswSql = "INSERT INTO O2002TSW VALUES (?1";
  for (int c = 2; c <= 27; ++c) tswSql += ", ?" + std::to_string(c);
  tswSql += ")";
  Insert tsw(db, tswSql.c_str());

  std::vector<std::string> classes(kTimeClasses.begin(), kTimeClasses.end());
  for (int k = 0; k < kAccessClassCount; ++k) classes.push_back(AccessClass(k));
  const std::vector<std::string> balances = BalancePool(random);
  std::vector<std::string> badgeSets, infos;
  for (int s = 1; s <= (ownSets ? kOwnSetsShapeSets : kBadgeSets); ++s)
    badgeSets.push_back("BSAL" + std::to_string(s));
  for (int m = 0; m < 64; ++m) infos.push_back("Resturlaub 2026: " + std::to_string(m % 31));

  char number[24], person[16], pin[8], notice[24];
  for (long i = 0; i < badges; ++i) {
    // Ascending numbers with random gaps: the badge list comes in this order.
    std::snprintf(number, sizeof number, "%ld", 100000000L + 4 * i + random.Below(4));
    std::snprintf(person, sizeof person, "%08ld", (i + 1) % 100000000L);
    const std::string_view badge = number;

    // Most badges are valid today; the rest show each way of not being listed.
    int from = -1 - random.Below(1500);
    int to = random.Percent(35) ? 0 : 1 + random.Below(1000);  // 0: no last day
    bool noFirstDay = false;
    int status = random.Percent(10) ? -1 : 1;  // -1: NULL
    int code = 1, administrationStatus = 1;
    const int kind = random.Below(1000);
    if (kind < 30) {
      to = -1 - random.Below(300);  // expired
      from = to - 1 - random.Below(700);
    } else if (kind < 50) {
      from = 1 + random.Below(60);  // valid from a later day
    } else if (kind < 65) {
      status = kind % 2 ? 4 : 8;  // deleted or locked badge
    } else if (kind < 80) {
      code = 8;  // withdrawn
    } else if (kind < 85) {
      administrationStatus = 4;
    } else if (kind < 95 && to != 0) {
      noFirstDay = true;
    }

    // In the own-sets shape a badge keeps its set in every period.
    const std::string* badgeSet =
        ownSets && random.Percent(90) ? &badgeSets[random.Below(kOwnSetsShapeSets)] : nullptr;
    auto addRow = [&](int first, int last, bool noFirst, const std::string& ownClass) {
      asw.Text(1, badge);
      if (!noFirst) asw.Text(2, dates.At(first));
      if (last != 0) asw.Text(3, dates.At(last));
      if (!random.Percent(2)) asw.Text(4, person);  // no person number: not on the display
      if (!ownClass.empty()) asw.Text(5, ownClass);
      asw.Text(6, random.Pick(kGroups));
      if (random.Percent(5)) {
        std::snprintf(notice, sizeof notice, "Hinweis %d", random.Below(100));
        asw.Text(7, notice);
      }
      asw.Int(8, 1 + random.Below(3));
      if (ownSets) {
        if (badgeSet) asw.Text(9, *badgeSet);
      } else if (random.Percent(10)) {
        asw.Text(9, badgeSets[random.Below(kBadgeSets)]);
      }
      if (random.Percent(10)) asw.Text(10, random.Pick(classes));
      const int language = random.Below(100);
      if (language < 85)
        asw.Int(11, 1);
      else if (language < 95)
        asw.Int(11, 2);
      if (random.Percent(30)) {
        std::snprintf(pin, sizeof pin, "%04d", random.Below(10000));
        asw.Text(12, pin);
      }
      asw.Int(13, 1 + static_cast<int>(i % kClients)).Int(14, 1);
      if (status >= 0) asw.Int(15, status);
      asw.Step();
    };

    const std::string ownClass = random.Percent(80) ? std::string(random.Pick(kTimeClasses)) : "";
    addRow(from, to, noFirstDay, ownClass);
    // A third of the badges keep an earlier period; a few have two periods valid today.
    const int second = random.Below(100);
    if (ownSets) {
      // Every badge keeps an earlier period, many two; a few have a second one valid today.
      if (!noFirstDay) {
        const int earlier = from - 200 - random.Below(600);
        addRow(earlier, from - 1, false, ownClass);
        if (second < 40) addRow(earlier - 300 - random.Below(600), earlier - 1, false, ownClass);
        if (second >= 95 && from < 0) addRow(from + random.Below(-from), 0, false, ownClass);
      }
    } else if (second < 26 && !noFirstDay) {
      addRow(from - 200 - random.Below(1000), from - 1, false, ownClass);
    } else if (second < 31 && !noFirstDay && from < 0) {
      addRow(from + random.Below(-from), 0, false, random.Pick(classes));
    }

    awv.Text(1, badge);
    if (ownSets || !random.Percent(5)) awv.Int(2, kFirstLocation + random.Below(kLocations));
    awv.Int(3, code).Int(4, administrationStatus).Step();

    // 0 to 5 classes, each once; time classes and access classes mixed.
    int held[5];
    const int count = ownSets ? 1 + random.Below(5) : random.Below(6);
    for (int c = 0, tries = 0; c < count && tries < 20; ++tries) {
      const int pick = random.Percent(30) ? random.Below(kTimeClasses.size())
                                          : static_cast<int>(kTimeClasses.size()) +
                                                random.Below(kAccessClassCount);
      bool seen = false;
      for (int h = 0; h < c; ++h) seen = seen || held[h] == pick;
      if (seen) continue;
      held[c++] = pick;
      awb.Text(1, badge).Text(2, classes[pick]).Step();
    }

    if (ownSets || random.Percent(80)) {
      tsw.Text(1, badge).Text(2, "X");
      for (int c = 3; c <= 17; ++c) tsw.Text(c, random.Pick(balances));
      for (int c = 18; c <= 27; ++c)
        if (random.Percent(50)) tsw.Text(c, random.Pick(infos));
      tsw.Step();
    }
  }
  return {static_cast<std::uint64_t>(badges), asw.rows(), awv.rows(), awb.rows(), tsw.rows()};
}

// The rows of every table stored anew in an order drawn from the seed: rowid order is the order
// of the table's pages, and the indexes, built afterwards, point all over the file.
void ShuffleRows(Database& db, std::uint64_t seed) {
  // bench_shuffle(rowid): a key for each row that only the seed decides.
  auto key = [](sqlite3_context* context, int, sqlite3_value** args) {
    const auto drawn = *static_cast<const std::uint64_t*>(sqlite3_user_data(context));
    Random random(drawn ^ static_cast<std::uint64_t>(sqlite3_value_int64(args[0])) *
                            0xD1342543DE82EF95ULL);
    sqlite3_result_int64(context, static_cast<sqlite3_int64>(random.Next() >> 1));
  };
  if (sqlite3_create_function(db.handle(), "bench_shuffle", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                              &seed, key, nullptr, nullptr) != SQLITE_OK)
    db.Fail(sqlite3_errmsg(db.handle()));
  std::vector<std::string> tables;
  {
    sqlite3_stmt* names = nullptr;
    if (sqlite3_prepare_v2(db.handle(),
                           "SELECT name FROM sqlite_schema WHERE type = 'table' ORDER BY name", -1,
                           &names, nullptr) != SQLITE_OK)
      db.Fail(sqlite3_errmsg(db.handle()));
    while (sqlite3_step(names) == SQLITE_ROW)
      tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(names, 0)));
    sqlite3_finalize(names);
  }
  for (const std::string& table : tables) {
    db.Exec("CREATE TEMP TABLE bench_rows AS SELECT * FROM main.\"" + table + "\" ORDER BY rowid");
    db.Exec("DELETE FROM main.\"" + table + "\"");
    db.Exec("INSERT INTO main.\"" + table + "\" SELECT * FROM temp.bench_rows ORDER BY " +
            "bench_shuffle(rowid)");
    db.Exec("DROP TABLE temp.bench_rows");
  }
  // The function points at this call's seed: gone with it.
  sqlite3_create_function(db.handle(), "bench_shuffle", 1, SQLITE_UTF8, nullptr, nullptr, nullptr,
                          nullptr);
}

void Usage() {
  std::fprintf(
      stderr,
      "Usage: zibrolt-bench-db --badges N [--seed S] [--terminals T] [--shape SHAPE]\n"
      "                        [--shuffled] [--schema FILE] OUT.db\n"
      "\n"
      "Builds OUT.db (replacing it) with N badges and the measured terminals BENCH-ALL\n"
      "(no client assignments) and BENCH-MND (clients 1 and 2 of 4), plus T further\n"
      "terminals (default 200). The same seed gives the same rows on the same day.\n"
      "SHAPE: few-sets (default: 10 %% of the badges with a display set of their own) or\n"
      "own-sets (90 %%, two or three validity periods, 1 to 5 classes, location and balance\n"
      "rows for every badge).\n"
      "--shuffled: the same rows, every table's stored in a shuffled order (drawn from\n"
      "the seed), as in an installation that grew over years.\n");
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    char* end = nullptr;
    if (arg == "--badges" && hasValue) {
      options.badges = std::strtol(argv[++i], &end, 10);
      if (*end || options.badges < 0) return false;
    } else if (arg == "--seed" && hasValue) {
      options.seed = std::strtoull(argv[++i], &end, 10);
      if (*end) return false;
    } else if (arg == "--terminals" && hasValue) {
      options.terminals = static_cast<int>(std::strtol(argv[++i], &end, 10));
      if (*end || options.terminals < 0 || options.terminals > 999) return false;
    } else if (arg == "--shape" && hasValue) {
      const std::string_view shape = argv[++i];
      if (shape != "few-sets" && shape != "own-sets") return false;
      options.ownSets = shape == "own-sets";
    } else if (arg == "--shuffled") {
      options.shuffled = true;
    } else if (arg == "--schema" && hasValue) {
      options.schema = argv[++i];
    } else if (!arg.empty() && arg[0] != '-' && options.out.empty()) {
      options.out = arg;
    } else {
      return false;
    }
  }
  return !options.out.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    Usage();
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  std::remove(options.out.c_str());
  Database db(options.out);
  const Schema schema = ReadSchema(db, options.schema);

  // Nothing here needs to survive a crash: a broken file is simply built again.
  db.Exec(
      "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
      "PRAGMA temp_store=MEMORY; PRAGMA cache_size=-262144;");
  db.Exec("BEGIN");
  for (const std::string& sql : schema.tables) db.Exec(sql);
  Random random(options.seed);
  const Dates dates;
  AddTerminals(db, random, options);
  AddLocations(db);
  AddDisplayTexts(db, options.ownSets ? kOwnSetsShapeSets : kBadgeSets);
  const Counts counts = AddBadges(db, random, dates, options.badges, options.ownSets);
  if (options.shuffled) ShuffleRows(db, options.seed);
  for (const std::string& sql : schema.indexes) db.Exec(sql);
  db.Exec("COMMIT");

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf(
      "%s: %llu badges, %llu validity rows, %llu administration rows, %llu classes, "
      "%llu balance rows, %d terminals; %.1f s\n",
      options.out.c_str(), static_cast<unsigned long long>(counts.badges),
      static_cast<unsigned long long>(counts.validity),
      static_cast<unsigned long long>(counts.administration),
      static_cast<unsigned long long>(counts.classes),
      static_cast<unsigned long long>(counts.balances), options.terminals + 2, seconds);
  return 0;
}
