// Fuzz target: any bytes as a settings file, searched for each key the run driver asks for.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "frame/settings.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  zibrolt::SettingsEntry entry;
  for (const char* key : {"LOGIN", "PASS", "NET8", "DB_SYSTEM", "SCHEMA"})
    zibrolt::SearchIniText(content, "", key, 0, entry);
  return 0;
}
