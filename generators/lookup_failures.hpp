// A lookup the database could not answer fails the run: a file made without the badge's
// balance would go to the terminal as if the badge had none. "No row" and "a second row" keep
// their outcomes (blanks).
#pragma once
#include <string>
#include <string_view>

#include "client/sqlhlp.hpp"
#include "text/messages.hpp"

namespace zibrolt {

// 0 when the balance lookup answered (with or without a row); otherwise prints the line naming
// the badge and returns the status that fails the job.
inline int ReportBalanceFailure(const Messages& messages, std::string_view badge, int status) {
  if (!sqlhlp::IsError(status)) return sqlhlp::kOk;
  messages.Say("Saldodaten von Ausweis %s nicht lesbar! SQLCode:%d\n", Shown(badge).c_str(),
               status);
  return status;
}

}  // namespace zibrolt
