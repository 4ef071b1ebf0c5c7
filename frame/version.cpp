#include "frame/version.hpp"

#include "backends/registry.hpp"
#include "zibrolt_version.hpp"

namespace zibrolt {

std::string VersionLine(std::string_view tool) {
  return std::string(tool) + " " + kZibroltVersion + " (" + backend::BuiltInDatabases() + ")";
}

}  // namespace zibrolt
