// The five download functions. Each writes its file for the terminal to the run's download
// file and returns 1 when the badge list was read to its end, 0 when the run must fail.
#pragma once
#include <string_view>

#include "data/terminal.hpp"
#include "frame/run_context.hpp"

namespace zibrolt {

int WorkMgDnl17P(RunContext& run, std::string_view path, const TerminalRecord& terminal);
int WorkMgDnl18P(RunContext& run, std::string_view path, const TerminalRecord& terminal);
int WorkMgDnl31P(RunContext& run, std::string_view path, const TerminalRecord& terminal);
int WorkMgDnl60P(RunContext& run, std::string_view path, const TerminalRecord& terminal);
int WorkIdStamm(RunContext& run, std::string_view path, const TerminalRecord& terminal);

}  // namespace zibrolt
