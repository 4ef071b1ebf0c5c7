// The MGDNL17P layout and its records.
#include "formats/mgdnl17p.hpp"

#include <array>

#include "formats/fixed_record.hpp"

namespace zibrolt::mgdnl17p {
namespace {

using K = FieldKind;
using T = ReaderTail;

constexpr Field Reader(int k, ReaderTail tail) {
  constexpr std::string_view kNames[] = {"",        "reader1", "reader2",  "reader3",
                                         "reader4", "reader5", "reader6",  "reader7",
                                         "reader8", "reader9", "reader10", "reader11"};
  return Field{kNames[k], 30 + 5 * (k - 1), 5, K::kReader, {}, k, tail};
}

constexpr std::array kFields = {
    Field{"badge", 0, 13, K::kBadge},
    Field{"valid_from", 13, 8, K::kDate},
    Field{"time", 21, 1, K::kFlag},
    Field{"access", 22, 1, K::kFlag},
    Field{"balance", 23, 7, K::kBalance},
    Reader(1, T::kClass),
    Reader(2, T::kClass),
    Reader(3, T::kClass),
    Reader(4, T::kClass),
    Reader(5, T::kClass),
    Reader(6, T::kClass),
    Reader(7, T::kLocation),
    Reader(8, T::kUnused),
    Reader(9, T::kUnused),
    Reader(10, T::kUnused),
    Reader(11, T::kUnused),
};
static_assert(Covers(Layout{"MGDNL17P", 85, kFields}));

constexpr int ReaderField(int k) { return kReader1 + k - 1; }

}  // namespace

const Layout kLayout{"MGDNL17P", 85, kFields};

std::vector<std::string> BuildRecords(const Badge& badge) {
  FixedRecord record(kLayout);
  PutReaderRecordHead(record, badge);
  // Reader numbers show only for a badge that may pass them.
  if (!badge.classes.empty())
    for (int k = 1; k <= kHighestReader; ++k)
      if (badge.readers.test(static_cast<std::size_t>(k)))
        PutReaderNumber(record, ReaderField(k), k);
  if (badge.location) {
    record.PutAt(ReaderField(kLocationReader), 0, "07", 2);
    record.PutAt(ReaderField(kLocationReader), 2, *badge.location, 3);
  }

  std::vector<std::string> records;
  if (badge.classes.empty()) {
    records.emplace_back(record.bytes());
    return records;
  }
  for (std::string_view accessClass : badge.classes) {
    for (int k = 1; k <= kHighestClassReader; ++k)
      if (badge.readers.test(static_cast<std::size_t>(k)))
        record.PutAt(ReaderField(k), 2, accessClass, kRecordClassWidth);
    records.emplace_back(record.bytes());
  }
  return records;
}

}  // namespace zibrolt::mgdnl17p
