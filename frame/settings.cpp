// The settings file is read the way the installation has always read it: in text mode (CR LF is
// a line end), the heading line into 200 bytes and the data line into 400, so an over-long line
// spills into the next read and shifts the pairing of lines.
#include "frame/settings.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "frame/cipher.hpp"
#include "platform/files.hpp"

namespace zibrolt {
namespace {

constexpr std::size_t kHeadingBuffer = 200;  // 198 characters, line feed and terminator
constexpr std::size_t kDataBuffer = 400;     // 398 characters, line feed and terminator

// Line reader with the semantics of fgets on a text-mode stream, over a file read in blocks or
// over bytes already in memory. Only one block is held at a time, so a file of any size (or a
// device without end) costs the same memory; a file is read no further than kSettingsFileMax.
class TextModeLines {
 public:
  explicit TextModeLines(std::string_view bytes) : view_(bytes) {}
  explicit TextModeLines(platform::NativeFile fd) : fd_(fd) {}

  // Reads at most size - 1 characters, up to and including a line feed. False at end of file.
  // Like a C string, the line ends at its first NUL byte.
  bool Read(std::size_t size, std::string& line) {
    line.clear();
    if (Peek() == kEnd) return false;
    int c;
    while (line.size() < size - 1 && (c = Get()) != kEnd) {
      if (c == '\r' && Peek() == '\n') continue;
      line.push_back(static_cast<char>(c));
      if (c == '\n') break;
    }
    std::size_t nul = line.find('\0');
    if (nul != std::string::npos) line.resize(nul);
    return true;
  }

  bool failed() const { return failed_; }      // a read error ended the file early
  bool exceeded() const { return exceeded_; }  // the file goes on past kSettingsFileMax

 private:
  static constexpr int kEnd = -1;

  int Peek() {
    if (pos_ == view_.size() && !Fill()) return kEnd;
    return static_cast<unsigned char>(view_[pos_]);
  }
  int Get() {
    int c = Peek();
    if (c != kEnd) ++pos_;
    return c;
  }

  bool Fill() {
    if (fd_ == platform::kNoFile || failed_ || exceeded_) return false;
    // At the bound one byte more tells a longer file from one of exactly the bound.
    const std::size_t want =
        std::max<std::size_t>(1, std::min(sizeof block_, kSettingsFileMax - read_));
    const long n = platform::ReadSome(fd_, block_, want);
    if (n < 0) failed_ = true;
    if (n <= 0) return false;
    if (read_ >= kSettingsFileMax) {
      exceeded_ = true;
      return false;
    }
    read_ += static_cast<std::size_t>(n);
    view_ = std::string_view(block_, static_cast<std::size_t>(n));
    pos_ = 0;
    return true;
  }

  platform::NativeFile fd_ = platform::kNoFile;
  std::string_view view_;
  std::size_t pos_ = 0;
  std::size_t read_ = 0;
  bool failed_ = false;
  bool exceeded_ = false;
  char block_[4096];
};

// Closes the descriptor when the lookup ends, however it ends.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  ~FileDescriptor() { platform::CloseFile(fd_); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  platform::NativeFile get() const { return fd_; }
  platform::NativeFile* out() { return &fd_; }

 private:
  platform::NativeFile fd_ = platform::kNoFile;
};

// Decimal conversion as atoi does it, but saturating instead of overflowing.
std::int32_t ToNumber(const std::string& text) {
  errno = 0;
  long long n = std::strtoll(text.c_str(), nullptr, 10);
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<std::int32_t>(n);
}

// The search itself: records are paired by position, and the first match ends it.
void Search(TextModeLines& lines, std::string_view section, std::string_view key,
            std::int32_t number, SettingsEntry& entry) {
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

SettingsRead ReadIniEntry(std::string_view section, std::string_view key, std::int32_t number,
                          const std::string& path, SettingsEntry& entry) {
  entry = SettingsEntry{};
  // Regular files only: a FIFO or a terminal may never deliver a line end, and opening some
  // devices already does something.
  FileDescriptor fd;
  switch (platform::OpenRegularInput(path, fd.out())) {
    case platform::InputKind::kRegular:
      break;
    case platform::InputKind::kNotRegular:
      return {SettingsStatus::kNotSettingsFile};
    case platform::InputKind::kCannotOpen:
      return {SettingsStatus::kCannotOpen};
  }

  TextModeLines lines(fd.get());
  Search(lines, section, key, number, entry);
  if (lines.failed() || lines.exceeded()) {
    entry = SettingsEntry{};
    return {lines.failed() ? SettingsStatus::kCannotOpen : SettingsStatus::kNotSettingsFile};
  }
  return {SettingsStatus::kOk};
}

void SearchIniText(std::string_view content, std::string_view section, std::string_view key,
                   std::int32_t number, SettingsEntry& entry) {
  entry = SettingsEntry{};
  TextModeLines lines(content);
  Search(lines, section, key, number, entry);
}

}  // namespace zibrolt
