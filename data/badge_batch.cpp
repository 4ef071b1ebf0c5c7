// The window statements are built once from the single ones.
#include "data/badge_batch.hpp"

#include <algorithm>

namespace zibrolt {

BadgeLookup::BadgeLookup(std::string_view single, std::span<const sqlhlp::Column> outputs)
    : singleText_(single) {
  constexpr std::string_view kCompare = "=:b0";
  const std::size_t at = singleText_.rfind(kCompare);
  windowText_ = singleText_.substr(0, at) + " in (";
  for (std::size_t i = 0; i < kBadgeWindow; ++i)
    windowText_ += (i > 0 ? " ,:b" : ":b") + std::to_string(i);
  windowText_ += ")" + singleText_.substr(at + kCompare.size());
  single_ = {singleText_, outputs};
  window_ = {windowText_, outputs};
}

sqlhlp::Statement& BadgeLookup::Bind(sqlhlp::Connection& db, std::string_view badge,
                                     const BadgeCursor* list,
                                     std::vector<std::string>& numbers) const {
  numbers.assign(1, std::string(badge));
  if (!Batched(db, list)) {
    sqlhlp::Statement& st = db.Use(single_);
    st.BindText(0, badge);
    return st;
  }
  for (const std::string& n : list->Ahead()) {
    if (numbers.size() == kBadgeWindow) break;
    if (std::find(numbers.begin(), numbers.end(), n) == numbers.end()) numbers.push_back(n);
  }
  sqlhlp::Statement& st = db.Use(window_);
  // Unused places repeat the last number: a number twice in an in-list finds its rows once.
  for (std::size_t i = 0; i < kBadgeWindow; ++i)
    st.BindText(static_cast<int>(i), numbers[std::min(i, numbers.size() - 1)]);
  return st;
}

}  // namespace zibrolt
