// Formatted printing of the run's lines.
#include "text/messages.hpp"

#include <cstdarg>

namespace zibrolt {

void Messages::Say(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  std::vfprintf(out_, format, args);
  va_end(args);
}

}  // namespace zibrolt
