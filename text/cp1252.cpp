// Windows-1252 is Latin-1 except for 0x80 to 0x9F, which hold typographic characters; the table
// below is the whole difference, small enough that a per-value call to iconv would cost more
// than it saves.
#include "text/cp1252.hpp"

#include <cstdint>

namespace zibrolt {
namespace {

// Unicode code points of 0x80 to 0x9F; 0 marks the five bytes Windows-1252 leaves unassigned.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte of a character, and whether it converts back to the same character: a control
// character U+0080 to U+009F keeps its value as a byte (a Latin-1 database's way of handing over
// the Windows-1252 bytes it holds) but that byte stands for another character. exact is only
// ever cleared, so that one flag serves a whole text.
char ToCp1252(char32_t cp, bool& exact) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  if (cp < 0xA0) {
    exact = false;
    return static_cast<char>(cp);
  }
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] == cp && cp != 0) return static_cast<char>(0x80 + i);
  exact = false;
  return '?';
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

bool Utf8ToCp1252(std::string_view in, std::string& out) {
  // Most values are plain ASCII, which is the same in both: copy up to the first other byte.
  std::size_t i = 0;
  const std::size_t n = in.size();
  while (i < n && static_cast<unsigned char>(in[i]) < 0x80) ++i;
  out.append(in.data(), i);
  bool exact = true;
  while (i < n) {
    auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    // A stray continuation byte, an invalid lead byte or a sequence cut off by the end.
    if (extra < 0 || b > 0xF4 || i + extra >= n) {
      out.push_back('?');
      exact = false;
      ++i;
      continue;
    }
    char32_t cp = b & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      auto c = static_cast<unsigned char>(in[i + k]);
      if ((c & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    // An overlong form (such as C1 81 for 'A') is no UTF-8: taken as the character, it would
    // make two different texts the same exact bytes, while the database keeps them apart.
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (ok && cp < kSmallest[extra]) ok = false;
    if (!ok) {
      out.push_back('?');
      exact = false;
      ++i;
      continue;
    }
    bool same = true;
    out.push_back(ToCp1252(cp, same));
    exact = exact && same;
    i += extra + 1;
  }
  return exact;
}

bool Utf16ToCp1252(std::u16string_view in, std::string& out) {
  bool exact = true;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char16_t unit = in[i];
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      // Nothing beyond the Basic Multilingual Plane has a Windows-1252 byte.
      if (unit <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) ++i;
      out.push_back('?');
      exact = false;
      continue;
    }
    out.push_back(ToCp1252(unit, exact));
  }
  return exact;
}

void Cp1252ToUtf16(std::string_view in, std::u16string& out) {
  for (char ch : in) {
    auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b < 0xA0)
      out.push_back(kHighControls[b - 0x80] ? static_cast<char16_t>(kHighControls[b - 0x80])
                                            : u'\uFFFD');
    else
      out.push_back(b);
  }
}

void Cp1252ToUtf8(std::string_view in, std::string& out) {
  for (char ch : in) {
    auto b = static_cast<unsigned char>(ch);
    if (b < 0x80)
      out.push_back(ch);
    else if (b < 0xA0)
      AppendUtf8(kHighControls[b - 0x80] ? kHighControls[b - 0x80] : 0xFFFD, out);
    else
      AppendUtf8(b, out);
  }
}

}  // namespace zibrolt
