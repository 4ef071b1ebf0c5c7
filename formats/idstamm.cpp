// The IDSTAMM layout and its lines. Here a field's offset is its number on the line.
#include "formats/idstamm.hpp"

#include <array>

namespace zibrolt::idstamm {
namespace {

using K = FieldKind;

constexpr std::array kFields = {
    Field{"badge", kBadge, 0, K::kBadge},
    Field{"valid_from", kValidFrom, 8, K::kDate},
    Field{"valid_to", kValidTo, 8, K::kDate},
    Field{"location", kLocation, 5, K::kText},
    Field{"time", kTime, 1, K::kFlag},
    Field{"access", kAccess, 1, K::kFlag},
    Field{"language", kLanguage, 0, K::kText},
    Field{"text_set", kTextSet, 10, K::kText},
    Field{"constant", kConstant, 3, K::kConstant, "001"},
    Field{"class", kClass, 0, K::kClass},
    Field{"empty", kEmpty, 0, K::kConstant, ""},
    Field{"badge_again", kBadgeAgain, 0, K::kSameAsBadge},
    Field{"badge_type", kBadgeType, 0, K::kText},
    Field{.name = "pin", .offset = kPin, .length = 0, .kind = K::kText, .secret = true},
};
static_assert(kFields.size() == kFieldCount);

}  // namespace

const Layout kLayout{"IDSTAMM", 0, kFields};

std::string BuildLine(const Badge& badge, std::string_view accessClass) {
  std::array<std::string_view, kFieldCount> values;
  values[kBadge] = badge.number;
  values[kValidFrom] = badge.validFrom;
  values[kValidTo] = badge.validTo;
  values[kLocation] = badge.location;
  values[kTime] = badge.time ? "1" : "0";
  values[kAccess] = badge.access ? "1" : "0";
  values[kLanguage] = badge.language;
  values[kTextSet] = badge.textSet;
  values[kConstant] = kFields[kConstant].expected;
  values[kClass] = accessClass;
  values[kEmpty] = kFields[kEmpty].expected;
  values[kBadgeAgain] = badge.number;
  values[kBadgeType] = badge.type;
  values[kPin] = badge.pin;
  std::string line;
  for (std::string_view value : values) {
    if (!line.empty()) line += ',';
    line += '"';
    line += value;
    line += '"';
  }
  line += '\n';
  return line;
}

}  // namespace zibrolt::idstamm
