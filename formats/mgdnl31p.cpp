// The MGDNL31P layout and its record.
#include "formats/mgdnl31p.hpp"

#include <array>

#include "formats/fixed_record.hpp"

namespace zibrolt::mgdnl31p {
namespace {

using K = FieldKind;

constexpr std::array kFields = {
    Field{"badge", 0, 13, K::kBadge},
    Field{"valid_from", 13, 8, K::kDate},
    Field{"valid_to", 21, 8, K::kDate},
    Field{"time", 29, 1, K::kFlag},
    Field{"access", 30, 1, K::kFlag},
    Field{"constant1", 31, 8, K::kConstant, "XXXX,XX-"},
    Field{"constant2", 39, 3, K::kConstant, "001"},
    Field{"class", 42, 3, K::kClass},
    Field{"location", 45, 3, K::kText},
};
static_assert(Covers(Layout{"MGDNL31P", 48, kFields}));

}  // namespace

const Layout kLayout{"MGDNL31P", 48, kFields};

std::string BuildRecord(std::string_view badge, std::string_view validFrom,
                        std::string_view validTo, bool time, std::string_view accessClass,
                        std::string_view location) {
  FixedRecord record(kLayout);
  record.Put(kBadge, badge);
  record.PutDate(kValidFrom, validFrom);
  record.PutDate(kValidTo, validTo);
  record.Put(kTime, time ? "1" : "0");
  record.Put(kAccess, "1");  // only badges with access classes are written
  record.PutConstant(kConstant1);
  record.PutConstant(kConstant2);
  record.Put(kClass, accessClass);
  record.Put(kLocation, location);
  return std::string(record.bytes());
}

}  // namespace zibrolt::mgdnl31p
