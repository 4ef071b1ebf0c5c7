// Record splitting. Fixed records follow each other without line ends, so a record is simply
// the next recordLength bytes; a file whose length is not a multiple of it ends in a short
// record. IDSTAMM lines end in CR LF and their values are not escaped, so the line is split at
// every "\",\""; a value that itself held that sequence would show as a line with too many fields.
#include "tools/show/records.hpp"

#include "formats/idstamm.hpp"

namespace zibrolt::show {
namespace {

void SplitFixed(const Layout& layout, std::string_view file, std::vector<Record>& records) {
  const std::size_t length = static_cast<std::size_t>(layout.recordLength);
  for (std::size_t at = 0; at < file.size(); at += length) {
    Record r;
    r.number = static_cast<int>(records.size()) + 1;
    r.offset = at;
    r.text = std::string(file.substr(at, length));
    r.complete = r.text.size() == length;
    for (const Field& f : layout.fields) {
      const auto from = static_cast<std::size_t>(f.offset);
      r.values.push_back(from < r.text.size() ? r.text.substr(from, f.length) : std::string());
      r.offsets.push_back(at + from);
    }
    records.push_back(std::move(r));
  }
}

void SplitLine(const Layout& layout, Record& r) {
  std::string_view body = r.text;
  std::size_t bodyAt = r.offset;
  r.quoted = body.size() >= 2 && body.front() == '"' && body.back() == '"';
  if (!body.empty() && body.front() == '"') {
    body.remove_prefix(1);
    ++bodyAt;
  }
  if (!body.empty() && body.back() == '"') body.remove_suffix(1);

  std::vector<std::string_view> pieces;
  std::vector<std::size_t> at;
  constexpr std::string_view kSeparator = "\",\"";
  std::size_t from = 0;
  while (true) {
    const std::size_t sep = body.find(kSeparator, from);
    pieces.push_back(body.substr(from, sep == std::string_view::npos ? body.npos : sep - from));
    at.push_back(bodyAt + from);
    if (sep == std::string_view::npos) break;
    from = sep + kSeparator.size();
  }
  r.fieldsFound = static_cast<int>(pieces.size());
  r.complete = r.quoted && r.fieldsFound == idstamm::kFieldCount;
  for (const Field& f : layout.fields) {
    const auto i = static_cast<std::size_t>(f.offset);
    r.values.emplace_back(i < pieces.size() ? pieces[i] : std::string_view());
    r.offsets.push_back(i < at.size() ? at[i] : r.offset + r.text.size());
  }
}

void SplitLines(const Layout& layout, std::string_view file, std::vector<Record>& records) {
  std::size_t at = 0;
  while (at < file.size()) {
    Record r;
    r.number = static_cast<int>(records.size()) + 1;
    r.offset = at;
    const std::size_t lf = file.find('\n', at);
    std::size_t end = lf == std::string_view::npos ? file.size() : lf;
    if (lf != std::string_view::npos) {
      r.lineEnd = "\n";
      if (end > at && file[end - 1] == '\r') {
        --end;
        r.lineEnd = "\r\n";
      }
    }
    r.text = std::string(file.substr(at, end - at));
    SplitLine(layout, r);
    records.push_back(std::move(r));
    at = lf == std::string_view::npos ? file.size() : lf + 1;
  }
}

}  // namespace

std::vector<Record> SplitRecords(const Layout& layout, std::string_view file) {
  std::vector<Record> records;
  if (layout.Lines())
    SplitLines(layout, file, records);
  else
    SplitFixed(layout, file, records);
  return records;
}

std::string_view BadgeOf(const Record& record) {
  return record.values.empty() ? std::string_view() : Trim(record.values.front());
}

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace zibrolt::show
