// Every statement text the lookups of this layer may send, in every form they send it (the
// window forms at their full size), with the buffers its rows are read into: a preflight at a
// site prepares and runs each of them before the first nightly run does, and
// "zibrolt-check --statements" prints them for the site's DBA.
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
  std::string_view inputs;  // each input in bind order: 't' text, 'i' integer; empty: all text
  std::size_t places = 0;   // a window form: places badge numbers (text), then their count
};

inline ListedStatement Listed(std::string_view name, std::string_view text,
                              std::span<const sqlhlp::Column> outputs, bool perBadge = false,
                              std::string_view inputs = {}) {
  return {name, std::string(text), {outputs.begin(), outputs.end()}, perBadge, inputs};
}
inline ListedStatement Listed(std::string_view name, const sqlhlp::Query& query,
                              bool perBadge = false, std::string_view inputs = {}) {
  return Listed(name, query.text, query.outputs, perBadge, inputs);
}
// The window form of a lookup at the size the lookups run it: window as BadgeLookup takes it.
ListedStatement ListedWindow(std::string_view name, std::string_view window,
                             std::span<const sqlhlp::Column> outputs);

// Every form of each lookup: the single-badge forms, then each window form.
std::vector<ListedStatement> DataStatements();

// What each connection sends of its own besides the lookups: the bind probe and the catalog
// reads of the join proofs (run by the probe and the proofs themselves, not by the preflight's
// run of the lookups).
std::vector<ListedStatement> ConnectionStatements();

// The list as an SQL*Plus script holds it: each statement after a "-- name" line, then a line
// holding only "/". title, when not empty, heads it as a comment line.
std::string StatementScript(const std::vector<ListedStatement>& statements,
                            std::string_view title = {});

// Each lookup's file lists its own statements.
void ListBadgeStatements(std::vector<ListedStatement>& out);
void ListTerminalStatements(std::vector<ListedStatement>& out);
void ListCheckStatements(std::vector<ListedStatement>& out);
void ListLocationStatements(std::vector<ListedStatement>& out);
void ListBalanceStatements(std::vector<ListedStatement>& out);
void ListDisplayTextStatements(std::vector<ListedStatement>& out);
void ListClientFilterStatements(std::vector<ListedStatement>& out);

}  // namespace zibrolt
