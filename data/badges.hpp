// The list of badges valid today, one row per badge and validity period in badge-number order:
// all of them, or, for a terminal with client/licence assignments, those of its clients.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "client/sqlhlp.hpp"
#include "data/badge_row.hpp"
#include "data/terminal.hpp"
#include "data/text_numbers.hpp"

namespace zibrolt {

// Badges are fetched from the database a window at a time, so that the lookups per badge can
// ask for a whole window of badge numbers with one statement (one round trip instead of one per
// badge); the rows still reach the generator one by one, in list order. At 0.3 ms a round trip,
// a window of 1,000 badges makes each lookup's statement cost 0.3 microseconds a badge, while
// the window's rows (a few hundred bytes each) keep the memory flat.
inline constexpr std::size_t kBadgeWindow = 1000;

// A badge row whose date column holds text that is no date, as the embedded database can hold
// it (Oracle cannot): the list stops at such a row with kBadDateStatus, and this names it.
struct BadDateRow {
  long count = 0;      // rows of the badge table with such a date
  std::string badge;   // AswNum of the first of them
  std::string column;  // "AswGvo" or "AswGbi"
  std::string value;   // the text it holds
};

// The status a statement stops with at a date column that holds no date (SQLite's "datatype
// mismatch").
inline constexpr int kBadDateStatus = -20;

// Finds the rows of the badge table whose date columns hold no date, the first at or after
// badge number from (else the first of all) described in found. Returns 0, 1403 when there are
// none, or the status of the statement (an error where the database is not the embedded one).
int FindBadDate(sqlhlp::Connection& db, std::string_view from, BadDateRow& found);

class BadgeCursor {
 public:
  explicit BadgeCursor(sqlhlp::Connection& db) : db_(db) {}

  // Opens the client/licence variant when the terminal's assignment count is above 0, else
  // the all-badges variant. Returns the status of the open.
  int OpenBadgeCursor(const TerminalRecord& terminal);

  // From now on the cursor opens the all-badges list with each row's client and licence,
  // whatever the terminal: one pass then serves terminals with and without assignments, each
  // taking the rows of its own clients (client_filter.hpp).
  void ReadClients() { withClients_ = true; }
  // The client and licence of the row last delivered, as a number that stands for the pair
  // within this cursor's life (kNoClient when either is NULL, or when clients are not read).
  static constexpr int kNoClient = -1;
  int RowClient() const { return rowClient_; }
  // The pair a number stands for (ClientKey of client and licence).
  const std::string& ClientKey(int client) const {
    return clientKeys_.Text(static_cast<std::size_t>(client));
  }
  // 0: the next row is formatted into row; 1403: no more rows; negative: an error. The caller
  // clears the row before each fetch. A NULL column never carries over a value.
  int FetchBadge(BadgeRow& row);
  int CloseBadgeCursor();

  // Badge numbers of the row last delivered and of the rows fetched after it; lookups that
  // batch their statements ask for all of these at once. Empty where the database prefers
  // single lookups.
  std::span<const KeptBadgeKey> Ahead() const;

  // After the list stopped with kBadDateStatus: the row it stopped at (FindBadDate).
  int FindBadDateRow(BadDateRow& found) { return FindBadDate(db_, lastNumber_, found); }

 private:
  int FetchRow(BadgeRow& row);  // one row from the database
  int FillWindow();
  int ReadClient();  // the number of the pair of the row just fetched

  sqlhlp::Connection& db_;
  sqlhlp::Statement* cursor_ = nullptr;  // the variant that was opened
  std::vector<BadgeRow> window_;         // rows fetched ahead
  std::vector<KeptBadgeKey> numbers_;    // their badge numbers
  std::vector<int> clients_;             // their clients, when read
  std::size_t next_ = 0;                 // the next row of the window to deliver
  int endStatus_ = sqlhlp::kOk;          // the status that ended the last fill, once reached
  bool withClients_ = false;
  int rowClient_ = kNoClient;
  TextNumbers clientKeys_;  // the rows' client keys
  std::string key_;         // the row's client key being made
  std::string lastNumber_;  // badge number of the last row fetched from the database
};

// One key for the client and licence of the statement's current row (the columns client and
// licence), made of their exact forms: equal keys are equal values wherever the database
// compares those columns byte for byte (ClientFilter::InProgram).
void MakeClientKey(const sqlhlp::Statement& row, int client, int licence, std::string& key);

}  // namespace zibrolt
