// The IDSTAMM line: the badge master file of a terminal, one line of 14 quoted,
// comma-separated fields per badge and access class (or one line for a badge that may only
// record time), each ended by a line end.
#pragma once
#include <string>
#include <string_view>

#include "formats/layout.hpp"

namespace zibrolt::idstamm {

enum FieldId {
  kBadge,
  kValidFrom,
  kValidTo,
  kLocation,
  kTime,
  kAccess,
  kLanguage,
  kTextSet,
  kConstant,
  kClass,
  kEmpty,
  kBadgeAgain,
  kBadgeType,
  kPin,
  kFieldCount
};

extern const Layout kLayout;

// The terminal reads lines into a 255-character buffer, line feed included.
inline constexpr std::size_t kLineMax = 255;

// What stays the same on every line of one badge.
struct Badge {
  std::string_view number;
  std::string_view validFrom;  // "yyyymmdd" or empty: this file shows no "00000000"
  std::string_view validTo;
  std::string_view location;  // last 5 characters of AwvSto, empty for "00000"
  bool time = false;          // holds a time authorisation on the terminal
  bool access = false;        // holds at least one access class there
  std::string_view language;
  std::string_view textSet;  // the badge's display-text set, else the terminal's
  std::string_view type;
  std::string_view pin;
};

// One line: the badge's fields with accessClass as field 10, ended by "\n" (which reaches the
// file as CR LF).
std::string BuildLine(const Badge& badge, std::string_view accessClass);

}  // namespace zibrolt::idstamm
