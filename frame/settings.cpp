// The settings file is read the way the installation has always read it: in text mode (CR LF is
// a line end), the heading line into 200 bytes and the data line into 400, so an over-long line
// spills into the next read and shifts the pairing of lines.
#include "frame/settings.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "frame/cipher.hpp"

namespace zibrolt {
namespace {

constexpr std::size_t kHeadingBuffer = 200;  // 198 characters, line feed and terminator
constexpr std::size_t kDataBuffer = 400;     // 398 characters, line feed and terminator

// Line reader with the semantics of fgets on a text-mode stream.
class TextModeLines {
 public:
  explicit TextModeLines(std::string bytes) : text_(std::move(bytes)) {}

  // Reads at most size - 1 characters, up to and including a line feed. False at end of file.
  // Like a C string, the line ends at its first NUL byte.
  bool Read(std::size_t size, std::string& line) {
    line.clear();
    if (pos_ >= text_.size()) return false;
    while (pos_ < text_.size() && line.size() < size - 1) {
      char c = text_[pos_++];
      if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n') continue;
      line.push_back(c);
      if (c == '\n') break;
    }
    std::size_t nul = line.find('\0');
    if (nul != std::string::npos) line.resize(nul);
    return true;
  }

 private:
  std::string text_;
  std::size_t pos_ = 0;
};

// Decimal conversion as atoi does it, but saturating instead of overflowing.
std::int32_t ToNumber(const std::string& text) {
  errno = 0;
  long long n = std::strtoll(text.c_str(), nullptr, 10);
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<std::int32_t>(n);
}

}  // namespace

int FindNthChar(std::string_view text, char ch, int n) {
  int last = -1;
  int seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ch) continue;
    last = static_cast<int>(i);
    if (++seen == n) return last;
  }
  return last;
}

void CopySubstring(std::string_view text, int start, int length, std::string& dest) {
  if (length < 0) return;
  if (start < 0 || static_cast<std::size_t>(start) > text.size()) {
    dest.clear();
    return;
  }
  if (length == 0)
    dest.assign(text.substr(start));
  else
    dest.assign(text.substr(start, length));
}

bool ReadIniEntry(std::string_view section, std::string_view key, std::int32_t number,
                  const std::string& path, SettingsEntry& entry) {
  entry = SettingsEntry{};
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  SearchIniText(std::string(std::istreambuf_iterator<char>(file), {}), section, key, number, entry);
  return true;
}

void SearchIniText(std::string content, std::string_view section, std::string_view key,
                   std::int32_t number, SettingsEntry& entry) {
  entry = SettingsEntry{};
  TextModeLines lines{std::move(content)};

  std::string heading, data, numberText;
  for (;;) {
    lines.Read(kHeadingBuffer, heading);
    if (!lines.Read(kDataBuffer, data)) return;

    int h1 = FindNthChar(heading, ';', 1);
    int h2 = FindNthChar(heading, ';', 2);
    CopySubstring(heading, h1 + 1, h2 - h1 - 1, entry.section);

    int d1 = FindNthChar(data, ';', 1);
    int d2 = FindNthChar(data, ';', 2);
    numberText.clear();
    CopySubstring(data, 0, d1, numberText);
    entry.number = ToNumber(numberText);
    CopySubstring(data, d1 + 1, d2 - d1 - 1, entry.key);
    if (d1 < 0) {
      entry.value = data;  // no separator at all: the whole line, line end included
    } else {
      int lf = FindNthChar(data, '\n', 1);
      CopySubstring(data, d2 + 1, lf - d2 - 1, entry.value);
    }

    if (entry.section == section || entry.key == key || entry.number == number) {
      entry.value = DecryptValue(entry.value);
      return;
    }
    entry = SettingsEntry{};
  }
}

}  // namespace zibrolt
