// Record splitting. Fixed records follow each other without line ends, so a record is simply
// the next recordLength bytes; a file whose length is not a multiple of it ends in a short
// record. IDSTAMM lines end in CR LF and their values are not escaped, so the line is split at
// every "\",\""; a value that itself held that sequence would show as a line with too many fields.
#include "formats/records.hpp"

#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "formats/idstamm.hpp"

namespace zibrolt {
namespace {

void SplitFixed(const Layout& layout, Record& r) {
  r.complete = r.text.size() == static_cast<std::size_t>(layout.recordLength);
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const Field& f = layout.fields[i];
    const auto from = static_cast<std::size_t>(f.offset);
    if (from < r.text.size())
      r.values[i].assign(r.text, from, static_cast<std::size_t>(f.length));
    else
      r.values[i].clear();
    r.offsets[i] = r.offset + from;
  }
}

void SplitLine(const Layout& layout, Record& r) {
  std::string_view body = r.text;
  std::uint64_t bodyAt = r.offset;
  r.quoted = body.size() >= 2 && body.front() == '"' && body.back() == '"';
  if (!body.empty() && body.front() == '"') {
    body.remove_prefix(1);
    ++bodyAt;
  }
  if (!body.empty() && body.back() == '"') body.remove_suffix(1);

  // Where each piece starts in body; the fields are read off these afterwards.
  constexpr std::string_view kSeparator = "\",\"";
  std::size_t starts[idstamm::kFieldCount + 1];
  std::size_t ends[idstamm::kFieldCount + 1];
  int found = 0;
  std::size_t from = 0;
  while (true) {
    const std::size_t sep = body.find(kSeparator, from);
    if (found <= idstamm::kFieldCount) {
      starts[found] = from;
      ends[found] = sep == std::string_view::npos ? body.size() : sep;
    }
    ++found;
    if (sep == std::string_view::npos) break;
    from = sep + kSeparator.size();
  }
  r.fieldsFound = found;
  // A line longer than what is kept cannot be sound; its pieces are shown as far as they go.
  r.complete = r.quoted && found == idstamm::kFieldCount && !r.Cut();
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const auto n = static_cast<int>(layout.fields[i].offset);
    if (n < found && n <= idstamm::kFieldCount) {
      r.values[i].assign(body.substr(starts[n], ends[n] - starts[n]));
      r.offsets[i] = bodyAt + starts[n];
    } else {
      r.values[i].clear();
      r.offsets[i] = r.offset + r.text.size();
    }
  }
}

}  // namespace

void SplitFields(const Layout& layout, Record& r) {
  r.values.resize(layout.fields.size());
  r.offsets.resize(layout.fields.size());
  if (layout.Lines())
    SplitLine(layout, r);
  else
    SplitFixed(layout, r);
}

bool RecordReader::Fill() {
  if (at_ < end_) return true;
  const std::size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  at_ = 0;
  end_ = n;
  if (n == 0 && std::ferror(file_)) error_ = errno ? errno : EIO;
  return n > 0;
}

bool RecordReader::Next(Record& r) {
  if (error_ != 0 || !Fill()) return false;
  r.number = ++count_;
  r.offset = offset_;
  r.text.clear();
  r.lineEnd.clear();
  return layout_.Lines() ? NextLine(r) : NextFixed(r);
}

bool RecordReader::NextFixed(Record& r) {
  const auto length = static_cast<std::size_t>(layout_.recordLength);
  while (r.text.size() < length && Fill()) {
    const std::size_t take = std::min(length - r.text.size(), end_ - at_);
    r.text.append(buffer_.data() + at_, take);
    at_ += take;
    offset_ += take;
  }
  if (error_ != 0) return false;
  r.length = r.text.size();
  SplitFields(layout_, r);
  return true;
}

bool RecordReader::NextLine(Record& r) {
  // One character more than kept, so that a CR before the line feed can still be taken off.
  constexpr std::size_t kHeld = kLineKept + 1;
  std::uint64_t length = 0;
  char last = 0;
  bool ended = false;
  while (!ended && Fill()) {
    const char* from = buffer_.data() + at_;
    const auto* lf = static_cast<const char*>(std::memchr(from, '\n', end_ - at_));
    const std::size_t n = lf ? static_cast<std::size_t>(lf - from) : end_ - at_;
    if (r.text.size() < kHeld) r.text.append(from, std::min(n, kHeld - r.text.size()));
    if (n > 0) last = from[n - 1];
    length += n;
    at_ += n;
    offset_ += n;
    if (lf) {
      ++at_;
      ++offset_;
      ended = true;
    }
  }
  if (error_ != 0) return false;
  if (ended) {
    r.lineEnd = "\n";
    if (length > 0 && last == '\r') {
      --length;
      r.lineEnd = "\r\n";
    }
  }
  if (r.text.size() > length) r.text.resize(length);
  if (r.text.size() > kLineKept) r.text.resize(kLineKept);
  r.length = length;
  SplitFields(layout_, r);
  return true;
}

bool ReadRecordAt(const Layout& layout, std::FILE* file, std::uint64_t offset, Record& r) {
  if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  RecordReader reader(layout, file, offset, 1 << 13);
  return reader.Next(r);
}

std::string_view BadgeOf(const Record& record) {
  return record.values.empty() ? std::string_view() : Trim(record.values.front());
}

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace zibrolt
