// Where the program looks for things, spelled as the platform spells paths: the settings file
// lies two folders above the working directory, under files/.
#pragma once
#include <string>

namespace zibrolt::platform {

#ifdef _WIN32
// Sites configure the Windows scheduler with this relative spelling; backslashes as written there.
inline constexpr const char* kSettingsPath = "..\\..\\files\\quarvenda.ini";
inline constexpr const char* kSeparators = "/\\";
#else
inline constexpr const char* kSettingsPath = "../../files/quarvenda.ini";
inline constexpr const char* kSeparators = "/";
#endif

// The folder a path lies in ("." for a bare name, "/" for a name in the root).
inline std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of(kSeparators);
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The last component of a path.
inline std::string NameOf(const std::string& path) {
  return path.substr(path.find_last_of(kSeparators) + 1);
}

}  // namespace zibrolt::platform
