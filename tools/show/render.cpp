// Table and CSV output. The table keeps a reader field together as "01 ABC" so that a record
// of eleven readers still fits a wide terminal; the CSV gives reader number and class columns
// of their own, which is what a spreadsheet filter needs.
#include "tools/show/render.hpp"

#include <algorithm>
#include <cstdio>

#include "text/cp1252.hpp"

namespace zibrolt::show {
namespace {

std::string_view TrimRight(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string TailName(const Field& f) {
  switch (f.tail) {
    case ReaderTail::kClass:
      return "class" + std::to_string(f.number);
    case ReaderTail::kLocation:
      return "location" + std::to_string(f.number);
    case ReaderTail::kUnused:
      break;
  }
  return {};
}

// Columns on the screen: every UTF-8 sequence that Windows-1252 text turns into is one.
std::size_t Width(std::string_view utf8) {
  std::size_t n = 0;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

std::vector<std::string> HeaderCells(const Layout& layout, Style style) {
  std::vector<std::string> headers{style == Style::kTable ? "rec" : "record"};
  for (const Field& f : layout.fields) {
    const std::string n = std::to_string(f.number);
    if (f.kind == FieldKind::kDisplaySlot) {
      headers.push_back("label" + n);
      headers.push_back("value" + n);
    } else if (f.kind == FieldKind::kReader && style == Style::kTable) {
      headers.push_back("r" + n);
    } else if (f.kind == FieldKind::kReader) {
      headers.push_back(std::string(f.name));
      if (f.tail != ReaderTail::kUnused) headers.push_back(TailName(f));
    } else {
      headers.emplace_back(f.name);
    }
  }
  return headers;
}

void RecordCells(const Layout& layout, const Record& r, Style style,
                 std::vector<std::string>& cells) {
  // The table keeps leading blanks so that right-aligned balances line up; CSV cells are
  // values and lose them.
  auto cell = [style](std::string_view v) {
    return ShowText(style == Style::kTable ? TrimRight(v) : Trim(v));
  };
  cells.assign(1, std::to_string(r.number));
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const Field& f = layout.fields[i];
    const std::string_view v = r.values[i];
    if (f.kind == FieldKind::kDisplaySlot) {
      const SlotParts parts = SplitDisplaySlot(v, f.number);
      cells.push_back(ShowText(Trim(parts.label)));
      cells.push_back(cell(parts.value));
    } else if (f.kind == FieldKind::kReader && style == Style::kTable) {
      const std::string joined =
          std::string(v.substr(0, 2)) + " " + std::string(v.size() > 2 ? v.substr(2) : "");
      cells.push_back(ShowText(TrimRight(joined)));
    } else if (f.kind == FieldKind::kReader) {
      cells.push_back(cell(v.substr(0, 2)));
      if (f.tail != ReaderTail::kUnused) cells.push_back(cell(v.size() > 2 ? v.substr(2) : ""));
    } else {
      cells.push_back(cell(v));
    }
  }
}

std::string ShowText(std::string_view cp1252) {
  std::string out;
  std::size_t plain = 0;
  for (std::size_t i = 0; i < cp1252.size(); ++i) {
    const auto b = static_cast<unsigned char>(cp1252[i]);
    if (b >= 0x20 && b != 0x7F) continue;
    Cp1252ToUtf8(cp1252.substr(plain, i - plain), out);
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", b);
    out += hex;
    plain = i + 1;
  }
  Cp1252ToUtf8(cp1252.substr(plain), out);
  return out;
}

void Columns::Measure(const std::vector<std::string>& cells) {
  if (widths_.size() < cells.size()) widths_.resize(cells.size());
  for (std::size_t c = 0; c < cells.size(); ++c) widths_[c] = std::max(widths_[c], Width(cells[c]));
}

std::string Columns::Line(const std::vector<std::string>& cells) const {
  std::string text;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if (c > 0) text += "  ";
    text += cells[c];
    const std::size_t width = c < widths_.size() ? widths_[c] : 0;
    const std::size_t used = Width(cells[c]);
    if (used < width) text.append(width - used, ' ');
  }
  text.resize(TrimRight(text).size());
  return text + '\n';
}

std::string Columns::Rule() const {
  std::string out;
  for (std::size_t c = 0; c < widths_.size(); ++c) {
    if (c > 0) out += "  ";
    out.append(widths_[c], '-');
  }
  return out + '\n';
}

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string out;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if (c > 0) out += ',';
    const std::string& v = cells[c];
    if (v.find_first_of(",\"\r\n") == std::string::npos) {
      out += v;
      continue;
    }
    out += '"';
    for (char ch : v) {
      if (ch == '"') out += '"';
      out += ch;
    }
    out += '"';
  }
  return out + "\n";
}

}  // namespace zibrolt::show
