// The five download functions of the installation.
#include "generators/registry.hpp"

#include <array>

#include "formats/idstamm.hpp"
#include "formats/mgdnl17p.hpp"
#include "formats/mgdnl18p.hpp"
#include "formats/mgdnl31p.hpp"
#include "formats/mgdnl60p.hpp"
#include "generators/jobs.hpp"

namespace zibrolt {
namespace {

const std::array<DownloadFunction, 5> kFunctions = {{
    {"MGDNL17P",
     mgdnl17p::kLayout,
     MakeMgDnl17PJob,
     {.firstRowOfBadge = true, .failureLine = "FehlerCode EndWorkMgDnl17P: %d\n"},
     "Programmabbruch: Fehler bei Erstellung der Datei MGDNL17P!\n"},
    {"MGDNL18P",
     mgdnl18p::kLayout,
     MakeMgDnl18PJob,
     {},
     "Programmabbruch: Fehler bei Erstellung der Datei MGDNL18P!\n"},
    {"MGDNL31P",
     mgdnl31p::kLayout,
     MakeMgDnl31PJob,
     {.cursorLines = true},
     "Programmabbruch: Fehler bei Erstellung der Datei MGDNL31P!\n"},
    {"MGDNL60P",
     mgdnl60p::kLayout,
     MakeMgDnl60PJob,
     {},
     "Programmabbruch: Fehler bei Erstellung der Datei MGDNL60P!\n"},
    {"IDSTAMM",
     idstamm::kLayout,
     MakeIdStammJob,
     {},
     "Programmabbruch: Fehler bei Erstellung der Datei IDSTAMM!\n"},
}};

}  // namespace

std::span<const DownloadFunction> DownloadFunctions() { return kFunctions; }

const DownloadFunction* FindDownloadFunction(std::string_view name) {
  for (const DownloadFunction& f : kFunctions)
    if (f.name == name) return &f;
  return nullptr;
}

const Layout* FindLayout(std::string_view function) {
  for (const DownloadFunction& f : kFunctions) {
    if (f.name.size() != function.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < function.size() && same; ++i) {
      const char c = function[i];
      same = (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) == f.name[i];
    }
    if (same) return &f.layout;
  }
  return nullptr;
}

int RunDownloadFunction(const DownloadFunction& function, sqlhlp::Connection& db,
                        const Messages& messages, const TerminalRecord& terminal,
                        RecordSink& file) {
  BadgeCursor list(db);
  const std::unique_ptr<BadgeJob> job =
      function.makeJob(JobContext{db, messages, terminal, file, &list, nullptr});
  LoopJob run{job.get(), &messages, function.style};
  RunBadgeLoop(list, terminal, {&run, 1});
  return run.status;
}

}  // namespace zibrolt
