// The window statements are built once from the single ones.
#include "data/badge_batch.hpp"

#include <algorithm>

namespace zibrolt {

BadgeLookup::BadgeLookup(sqlhlp::Connection& db, const BadgeCursor* list, std::string_view single,
                         std::span<const sqlhlp::Column> outputs)
    : db_(db),
      list_(list),
      batched_(list && db.PrefersBatches()),
      singleText_(single),
      outputs_(outputs.begin(), outputs.end()) {
  if (!batched_) return;
  constexpr std::string_view kCompare = "=:b0";
  const std::size_t at = singleText_.rfind(kCompare);
  windowText_ = singleText_.substr(0, at) + " in (";
  for (std::size_t i = 0; i < kBadgeWindow; ++i)
    windowText_ += (i > 0 ? " ,:b" : ":b") + std::to_string(i);
  windowText_ += ")" + singleText_.substr(at + kCompare.size());
}

sqlhlp::Statement& BadgeLookup::Bind(std::string_view badge, std::vector<std::string>& numbers) {
  numbers.assign(1, std::string(badge));
  if (!batched_) {
    if (!single_) single_ = &db_.Use({singleText_, outputs_});
    single_->BindText(0, badge);
    return *single_;
  }
  for (const std::string& n : list_->Ahead()) {
    if (numbers.size() == kBadgeWindow) break;
    if (std::find(numbers.begin(), numbers.end(), n) == numbers.end()) numbers.push_back(n);
  }
  if (!window_) window_ = &db_.Use({windowText_, outputs_});
  // Unused places repeat the last number: a number twice in an in-list finds its rows once.
  for (std::size_t i = 0; i < kBadgeWindow; ++i)
    window_->BindText(static_cast<int>(i), numbers[std::min(i, numbers.size() - 1)]);
  return *window_;
}

}  // namespace zibrolt
