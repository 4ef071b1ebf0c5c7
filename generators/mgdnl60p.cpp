// Generator of the MGDNL60P download file (being built).
#include "generators/generators.hpp"

namespace zibrolt {

int WorkMgDnl60P(RunContext&, std::string_view, const TerminalRecord&) { return 1; }

}  // namespace zibrolt
