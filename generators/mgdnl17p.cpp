// Generator of the MGDNL17P download file (being built).
#include "generators/generators.hpp"

namespace zibrolt {

int WorkMgDnl17P(RunContext&, std::string_view, const TerminalRecord&) { return 1; }

}  // namespace zibrolt
