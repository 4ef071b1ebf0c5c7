// The checks behind "is this file sound". They look only at what a terminal depends on: a
// record of the wrong length shifts every record after it, a date or flag that is not one is
// read as garbage, and a reader number in the wrong slot opens the wrong door.
#include "tools/show/validate.hpp"

#include <cstdio>

#include "formats/idstamm.hpp"

namespace zibrolt::show {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Shows a value in a message: quoted, with control bytes as \xNN so that the message stays
// one readable line.
std::string Quote(std::string_view value) {
  std::string out = "\"";
  for (char c : value) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

class Checker {
 public:
  Checker(const Layout& layout, Findings& findings) : layout_(layout), findings_(findings) {}

  void Check(const Record& r) {
    if (layout_.Lines())
      CheckLine(r);
    else
      CheckLength(r);
    // On a line with fields missing or extra, no field is where it belongs: checking them
    // would only repeat the line's own finding many times over.
    if (layout_.Lines() && !r.complete) return;
    for (std::size_t i = 0; i < layout_.fields.size(); ++i) {
      const Field& f = layout_.fields[i];
      // A short record's own finding covers the fields it does not reach.
      if (!layout_.Lines() && static_cast<std::size_t>(f.offset + f.length) > r.text.size())
        continue;
      CheckField(r, f, r.values[i], r.offsets[i]);
    }
  }

 private:
  void Add(const Record& r, std::uint64_t offset, std::string message) {
    findings_.Add({r.number, offset, std::move(message)});
  }

  void CheckLength(const Record& r) {
    if (r.complete) return;
    Add(r, r.offset,
        "the file ends inside the record: " + std::to_string(r.text.size()) + " of " +
            std::to_string(layout_.recordLength) + " characters");
  }

  void CheckLine(const Record& r) {
    const std::uint64_t end = r.offset + r.length;
    if (r.lineEnd == "\n")
      Add(r, end, "line ends in LF without CR");
    else if (r.lineEnd.empty())
      Add(r, end, "last line has no CR LF");
    // Only the start of an over-long line is kept, so its quotes and fields are not known; its
    // length is finding enough.
    if (!r.Cut() && !r.quoted)
      Add(r, r.offset, "line is not enclosed in double quotes");
    else if (!r.Cut() && r.fieldsFound != idstamm::kFieldCount)
      Add(r, r.offset,
          std::to_string(r.fieldsFound) + " quoted fields instead of " +
              std::to_string(idstamm::kFieldCount));
    // The generator's line buffer holds 255 characters with the line feed.
    if (r.length > 254)
      Add(r, r.offset, "line of " + std::to_string(r.length) + " characters, at most 254");
  }

  void CheckField(const Record& r, const Field& f, std::string_view v, std::uint64_t at) {
    for (std::size_t i = 0; i < v.size(); ++i) {
      const auto b = static_cast<unsigned char>(v[i]);
      if (b < 0x20 || b == 0x7F) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", b);
        Add(r, at + i, std::string(f.name) + ": control byte " + hex);
        return;
      }
      // IDSTAMM values are not escaped: a terminal reading the line takes a quote inside a
      // value for the end of the field.
      if (b == '"' && layout_.Lines()) {
        Add(r, at + i, std::string(f.name) + ": double quote inside the value");
        return;
      }
    }
    switch (f.kind) {
      case FieldKind::kDate: {
        const bool none = layout_.Lines() ? v.empty() : v == "00000000";
        if (!none && !IsCalendarDate(v))
          Add(r, at, std::string(f.name) + ": " + Quote(v) + " is not a date");
        break;
      }
      case FieldKind::kFlag:
        if (v != "0" && v != "1")
          Add(r, at, std::string(f.name) + ": " + Quote(v) + " is not \"0\" or \"1\"");
        break;
      case FieldKind::kConstant:
        if (v != f.expected)
          Add(r, at, std::string(f.name) + ": " + Quote(v) + " instead of " + Quote(f.expected));
        break;
      case FieldKind::kSameAsBadge:
        if (v != r.values.front())
          Add(r, at,
              std::string(f.name) + ": " + Quote(v) + " differs from the badge " +
                  Quote(r.values.front()));
        break;
      case FieldKind::kReader: {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", f.number);
        const std::string_view slot = v.substr(0, 2);
        if (slot != number && slot != "  ")
          Add(r, at,
              std::string(f.name) + ": " + Quote(slot) + " instead of \"" + number +
                  "\" or two blanks");
        if (f.tail == ReaderTail::kUnused && v.substr(2) != "   ")
          Add(r, at + 2,
              std::string(f.name) + ": " + Quote(v.substr(2)) +
                  " after the reader number instead of three blanks");
        break;
      }
      default:
        break;
    }
  }

  const Layout& layout_;
  Findings& findings_;
};

}  // namespace

bool IsCalendarDate(std::string_view text) {
  if (text.size() != 8) return false;
  for (char c : text)
    if (!IsDigit(c)) return false;
  auto number = [&](std::size_t from, std::size_t n) {
    int value = 0;
    for (std::size_t i = from; i < from + n; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1) return false;
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

void Check(const Layout& layout, const Record& record, Findings& findings) {
  Checker(layout, findings).Check(record);
}

}  // namespace zibrolt::show
