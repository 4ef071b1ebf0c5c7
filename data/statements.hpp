// Every statement text the lookups of this layer may send, with the buffers its rows are read
// into: a preflight at a site prepares each of them before the first nightly run does.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "client/sqlhlp.hpp"

namespace zibrolt {

struct ListedStatement {
  std::string_view name;  // what it reads, for the preflight's lines
  std::string text;       // as Connection::Use takes it
  std::vector<sqlhlp::Column> outputs;
  bool perBadge = false;  // run once for every badge of the list (its key wants an index)
};

inline ListedStatement Listed(std::string_view name, std::string_view text,
                              std::span<const sqlhlp::Column> outputs, bool perBadge = false) {
  return {name, std::string(text), {outputs.begin(), outputs.end()}, perBadge};
}
inline ListedStatement Listed(std::string_view name, const sqlhlp::Query& query,
                              bool perBadge = false) {
  return Listed(name, query.text, query.outputs, perBadge);
}

// The single-badge form of each lookup; the window forms are built from them.
std::vector<ListedStatement> DataStatements();

// Each lookup's file lists its own statements.
void ListBadgeStatements(std::vector<ListedStatement>& out);
void ListTerminalStatements(std::vector<ListedStatement>& out);
void ListCheckStatements(std::vector<ListedStatement>& out);
void ListLocationStatements(std::vector<ListedStatement>& out);
void ListBalanceStatements(std::vector<ListedStatement>& out);
void ListDisplayTextStatements(std::vector<ListedStatement>& out);
void ListClientFilterStatements(std::vector<ListedStatement>& out);

}  // namespace zibrolt
