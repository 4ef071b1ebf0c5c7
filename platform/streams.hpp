// Scratch files behind C streams, for the tools' interim text (the lines a job prints before they
// are shown, a download file made to be compared): where they are made and who may open them
// differs between the platforms.
#pragma once
#include <cstdio>
#include <string>

namespace zibrolt::platform {

// A new file without a name, for reading and writing in binary, gone once it is closed;
// nullptr when it cannot be made.
std::FILE* OpenScratchStream();

// A new file named stem followed by a unique suffix, for reading and writing in binary, that
// may be opened again by its name while it is open; stem becomes the whole name. nullptr when
// it cannot be made. The caller removes it.
std::FILE* OpenNamedScratchStream(std::string& stem);

// Whether the stream has an open file behind it (a program started with standard output
// closed has none).
bool OutputOpen(std::FILE* out);

// The name fopen() takes for the device that swallows every byte.
#ifdef _WIN32
inline constexpr const char* kNullDevice = "NUL";
#else
inline constexpr const char* kNullDevice = "/dev/null";
#endif

}  // namespace zibrolt::platform
