// The open-file limit on POSIX is the soft resource limit, which a process may raise up to its
// hard limit.
#ifndef _WIN32
#include <sys/resource.h>

#include <cstdint>

#include "platform/limits.hpp"

namespace zibrolt::platform {

bool RaiseOpenFileLimit(std::size_t& limit) {
  rlimit now{};
  if (::getrlimit(RLIMIT_NOFILE, &now) != 0) return false;
  // The usual soft limit is 1024, the hard limit often far more.
  if (now.rlim_cur < now.rlim_max) {
    now.rlim_cur = now.rlim_max == RLIM_INFINITY ? 65536 : now.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &now) != 0) ::getrlimit(RLIMIT_NOFILE, &now);
  }
  limit = now.rlim_cur > SIZE_MAX ? SIZE_MAX : static_cast<std::size_t>(now.rlim_cur);
  return true;
}

}  // namespace zibrolt::platform
#endif
