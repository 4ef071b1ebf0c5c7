// The window statements: the bound badge numbers become a table the looked-up tables join.
#include "data/badge_batch.hpp"

#include <algorithm>

namespace zibrolt {
namespace {

// An embedded database takes at most 500 terms in one compound select; the places are listed
// in groups below that, each group a subquery of its own.
constexpr std::size_t kPlacesPerGroup = 250;

// Where the window statement is joined with the bound numbers.
constexpr std::string_view kKeysMark = "{keys}";

std::string Placeholder(std::size_t n) { return ":b" + std::to_string(n); }

}  // namespace

std::string KeysTable(std::size_t places) {
  // "from dual" is what Oracle needs to select bound values without a table; other dialects
  // drop it.
  std::string text = "(select i ,k from (";
  for (std::size_t group = 0; group < places; group += kPlacesPerGroup) {
    text += group == 0 ? "select i ,k from (" : " union all select i ,k from (";
    const std::size_t end = std::min(places, group + kPlacesPerGroup);
    for (std::size_t n = group; n < end; ++n) {
      if (n == group)
        text += "select " + std::to_string(n) + " i ," + Placeholder(n) + " k from dual";
      else
        text += " union all select " + std::to_string(n) + " ," + Placeholder(n) + " from dual";
    }
    text += ")";
  }
  text += ") where i<" + Placeholder(places) + ") keys";
  return text;
}

std::string WindowStatement(std::string_view window, std::size_t places) {
  std::string text(window);
  const std::size_t mark = text.find(kKeysMark);
  if (mark != std::string::npos) text.replace(mark, kKeysMark.size(), KeysTable(places));
  return text;
}

BadgeLookup::BadgeLookup(sqlhlp::Connection& db, const BadgeCursor* list, std::string_view single,
                         std::span<const sqlhlp::Column> outputs, std::string_view window,
                         std::span<const sqlhlp::Column> windowOutputs)
    : db_(db),
      list_(list),
      batched_(list && db.PrefersBatches()),
      singleText_(single),
      windowText_(window),
      outputs_(outputs.begin(), outputs.end()),
      windowOutputs_(windowOutputs.begin(), windowOutputs.end()) {}

int BadgeLookup::Place(const BadgeKey& badge) {
  for (std::size_t k = 0; k < asked_; ++k) {
    const std::size_t at = (hint_ + k) % asked_;
    if (numbers_[at].Is(badge)) {
      hint_ = at;
      return static_cast<int>(at);
    }
  }
  return -1;
}

sqlhlp::Statement& BadgeLookup::Ask(const BadgeKey& badge) {
  if (numbers_.empty()) numbers_.resize(1);
  numbers_[0].Assign(badge);
  asked_ = 1;
  hint_ = 0;
  if (!batched_) {
    if (!single_) single_ = &db_.Use({singleText_, outputs_});
    single_->BindText(0, badge.number, badge.exact);
    return *single_;
  }
  // The list is in badge-number order: a badge's further validity rows follow it, and only
  // those are left out. A number that still comes twice gets its rows at both places.
  for (const KeptBadgeKey& n : list_->Ahead()) {
    if (asked_ == kBadgeWindow) break;
    if (numbers_[asked_ - 1].Is(n.Key())) continue;
    if (numbers_.size() == asked_) numbers_.emplace_back();
    numbers_[asked_++].Assign(n.Key());
  }
  // The window's text is made when it is first run: a site run makes several lookups a job,
  // most of which answer from the lookups the pass shares, and each text is some 40 KB.
  if (!window_) window_ = &db_.Use({WindowStatement(windowText_), windowOutputs_});
  for (std::size_t i = 0; i < kBadgeWindow; ++i)
    if (i < asked_)
      window_->BindText(static_cast<int>(i), numbers_[i].number, numbers_[i].exact);
    else
      window_->BindText(static_cast<int>(i), "");
  window_->BindInt(static_cast<int>(kBadgeWindow), static_cast<std::int32_t>(asked_));
  return *window_;
}

int BadgeLookup::RowPlace(const sqlhlp::Statement& st) const {
  if (!batched_) return 0;
  if (st.IsNull(0)) return -1;
  const std::int32_t at = st.GetInt(0);
  return at >= 0 && static_cast<std::size_t>(at) < asked_ ? at : -1;
}

}  // namespace zibrolt
