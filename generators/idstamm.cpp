// Generator of the IDSTAMM download file (being built).
#include "generators/generators.hpp"

namespace zibrolt {

int WorkIdStamm(RunContext&, std::string_view, const TerminalRecord&) { return 1; }

}  // namespace zibrolt
