// On Windows files opened through the system's handles have no limit worth the name; the C
// runtime's streams do (512 at the start), and a process may raise theirs up to the runtime's
// maximum (2048 in msvcrt, 8192 in the universal runtime).
#ifdef _WIN32
#include <cstdio>

#include "platform/limits.hpp"

namespace zibrolt::platform {

bool RaiseOpenFileLimit(std::size_t& limit) {
  if (::_setmaxstdio(8192) < 0) ::_setmaxstdio(2048);
  const int now = ::_getmaxstdio();
  if (now <= 0) return false;
  limit = static_cast<std::size_t>(now);
  return true;
}

}  // namespace zibrolt::platform
#endif
