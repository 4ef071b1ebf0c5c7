// How many files the process may hold open at once, raised as far as the system lets a process
// raise it itself: a run that writes a thousand files at once needs more than the default.
#pragma once
#include <cstddef>

namespace zibrolt::platform {

// Raises the limit of open files to the most allowed; false when it cannot be learnt.
bool RaiseOpenFileLimit(std::size_t& limit);

}  // namespace zibrolt::platform
