// The MGDNL60P layout and its records.
#include "formats/mgdnl60p.hpp"

#include <array>

#include "formats/fixed_record.hpp"

namespace zibrolt::mgdnl60p {
namespace {

using K = FieldKind;

constexpr std::array kFields = {
    Field{"badge", 0, 13, K::kBadge},
    Field{"valid_from", 13, 8, K::kDate},
    Field{"time", 21, 1, K::kFlag},
    Field{"access", 22, 1, K::kFlag},
    Field{"balance", 23, 7, K::kBalance},
    Field{"reader1", 30, 5, K::kReader, {}, 1},
    Field{"reader2", 35, 5, K::kReader, {}, 2},
    Field{"reader3", 40, 5, K::kReader, {}, 3},
};
static_assert(Covers(Layout{"MGDNL60P", 45, kFields}));

}  // namespace

const Layout kLayout{"MGDNL60P", 45, kFields};

std::vector<std::string> BuildRecords(const Badge& badge) {
  FixedRecord record(kLayout);
  PutReaderRecordHead(record, badge);

  std::vector<std::string> records;
  if (badge.classes.empty()) {
    records.emplace_back(record.bytes());
    return records;
  }
  for (std::string_view accessClass : badge.classes) {
    for (int n = 1; n <= kHighestReader; ++n) {
      if (!badge.readers.test(static_cast<std::size_t>(n))) continue;
      PutReaderNumber(record, kReader1 + n - 1, n);
      record.PutAt(kReader1 + n - 1, 2, accessClass, kRecordClassWidth);
    }
    records.emplace_back(record.bytes());
  }
  return records;
}

}  // namespace zibrolt::mgdnl60p
