// The terminal a run writes for: its name from the command line, its model, its TRMSAL value
// and how many client/licence assignments it has, read once before the generator runs.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "client/sqlhlp.hpp"

namespace zibrolt {

// The count field was filled with "0" characters before the lookup; read as an integer those
// four bytes are this value, so a terminal that is not found lists its assigned badges only.
inline constexpr std::int32_t kUnreadAssignmentCount = 0x30303030;

struct TerminalRecord {
  std::string name;    // terminal name (TrmNam), up to 255 characters
  std::string TRMMOD;  // terminal model, up to 10 characters; empty until found
  std::string TRMSAL;  // display-text set of the terminal, up to 10 characters; empty until found
  std::int32_t assignmentCount = kUnreadAssignmentCount;  // active Kvd115Tfz rows
};

// Fills TRMMOD, TRMSAL and the assignment count; returns the status of the last statement.
// Every terminal's name, for the site tool's list of jobs.
inline constexpr sqlhlp::Column kTerminalNameColumns[] = {sqlhlp::Text(256)};
inline constexpr sqlhlp::Query kAllTerminals{
    "select TrmNam  from Korvadat.Kvd1140Trm order by TrmNam", kTerminalNameColumns};

int LoadTerminalContext(sqlhlp::Connection& db, TerminalRecord& terminal);

// Whether the terminal table has a row of this name at all, whatever its status: a terminal
// that LoadTerminalContext did not find is either withdrawn (status 4 or 8) or not there.
// Returns the status of the query; on 0 exists is set.
int TerminalRowExists(sqlhlp::Connection& db, std::string_view name, bool& exists);

}  // namespace zibrolt
