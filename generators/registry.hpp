// The download functions: one row each, read by the run driver's dispatch, the viewer and the
// tests. A new download file is a layout and its builder (formats/), a job (jobs.hpp) and one
// row here.
#pragma once
#include <span>
#include <string_view>

#include "client/sqlhlp.hpp"
#include "data/terminal.hpp"
#include "formats/layout.hpp"
#include "generators/badge_job.hpp"
#include "generators/badge_loop.hpp"
#include "text/messages.hpp"

namespace zibrolt {

struct DownloadFunction {
  std::string_view name;     // Param1, upper case
  const Layout& layout;      // the records (or lines) of its file
  JobFactory makeJob;        // what it does per badge
  LoopStyle style;           // how its badge loop differs
  const char* abortMessage;  // printed by the run driver when the function fails
};

std::span<const DownloadFunction> DownloadFunctions();

// The function of this name (upper case, exactly), or nullptr.
const DownloadFunction* FindDownloadFunction(std::string_view name);

// The layout of a download function named in any letter case, or nullptr.
const Layout* FindLayout(std::string_view function);

// Writes the function's file for the terminal: walks the badge list once with the function's
// job. Returns 0, or the status the function failed with (its lines printed).
int RunDownloadFunction(const DownloadFunction& function, sqlhlp::Connection& db,
                        const Messages& messages, const TerminalRecord& terminal, RecordSink& file);

}  // namespace zibrolt
