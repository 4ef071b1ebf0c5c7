// The MGDNL31P record: 48 characters, read back to back, one per badge and access class, with
// the badge's validity, its flags, the class and its location text.
#pragma once
#include <string>
#include <string_view>

#include "formats/layout.hpp"

namespace zibrolt::mgdnl31p {

enum FieldId {
  kBadge,
  kValidFrom,
  kValidTo,
  kTime,
  kAccess,
  kConstant1,
  kConstant2,
  kClass,
  kLocation
};

extern const Layout kLayout;

// The record of one badge and one of its access classes. Every value is cut to its field, so
// nothing from the database can move another field or change the record's length.
std::string BuildRecord(std::string_view badge, std::string_view validFrom,
                        std::string_view validTo, bool time, std::string_view accessClass,
                        std::string_view location);

}  // namespace zibrolt::mgdnl31p
