// Generator of the MGDNL31P download file (being built).
#include "generators/generators.hpp"

namespace zibrolt {

int WorkMgDnl31P(RunContext&, std::string_view, const TerminalRecord&) { return 1; }

}  // namespace zibrolt
