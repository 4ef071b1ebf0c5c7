// Generator of the MGDNL18P download file (being built).
#include "generators/generators.hpp"

namespace zibrolt {

int WorkMgDnl18P(RunContext&, std::string_view, const TerminalRecord&) { return 1; }

}  // namespace zibrolt
