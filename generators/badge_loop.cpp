// The badge loop. Rows reach the jobs in list order; every line a job's list ends with is
// printed to that job's lines, in the order a single run has always printed them.
#include "generators/badge_loop.hpp"

#include <algorithm>

#include "data/checks.hpp"
#include "text/control.hpp"

namespace zibrolt {
namespace {

bool Running(const LoopJob& j) { return j.status == sqlhlp::kOk; }

}  // namespace

void RunBadgeLoop(BadgeCursor& list, const TerminalRecord& terminal, std::span<LoopJob> jobs) {
  for (LoopJob& j : jobs) j.status = j.job->Begin();

  int status = sqlhlp::kNoRow;
  int openStatus = sqlhlp::kOk;
  bool opened = false;
  if (std::any_of(jobs.begin(), jobs.end(), Running)) {
    opened = true;
    // A failed open shows at the first fetch.
    status = openStatus = list.OpenBadgeCursor(terminal);
    for (const LoopJob& j : jobs)
      if (Running(j) && j.style.cursorLines && status != sqlhlp::kOk)
        j.messages->Say("Ausweiscursor oeffnen: RC: %ld \n", long{status});
  }

  BadgeRow row;
  KeptBadgeKey previous;  // badge number of the row before
  long badge = 0;        // counts changes of the badge number; 0 stands for the "" before the list
  while (opened && (status = list.FetchBadge(row)) == sqlhlp::kOk) {
    if (!previous.Is(row)) ++badge;
    bool anyRunning = false;
    for (LoopJob& j : jobs) {
      for (int times = j.clients ? j.clients->Repeats(list) : 1; times > 0 && Running(j); --times) {
        ++j.rows;
        // Rows of one badge number come together, so the number differs from the row the job
        // was handed before exactly when the count differs.
        if (j.style.firstRowOfBadge && j.lastBadge == badge) continue;
        j.lastBadge = badge;
        ++j.read;
        const int outcome = j.job->Badge(row);
        if (outcome > 0) ++j.written;
        if (outcome < 0) j.status = outcome;
      }
      anyRunning = anyRunning || Running(j);
    }
    if (!anyRunning) break;
    previous.Assign(row);
    row.Clear();
  }
  // The end of the list, as the jobs still reading met it.
  for (LoopJob& j : jobs) {
    if (!Running(j) || !opened) continue;
    if (j.style.cursorLines) {
      if (j.rows == 0)
        j.messages->Say("Ausweiscursor lesen: RC: %ld \n", long{status});
      else
        j.messages->Say("Ausweiscursor lesen: Ausweis Nr. %ld RC: %ld \n", long{j.read},
                        long{status});
    }
    if (status == sqlhlp::kNoRow) continue;
    j.status = status;
    // Functions without a line of their own for it name the status here: the open's, when the
    // list could not be opened (its first fetch then only says that it is not open).
    if (!j.style.cursorLines && !j.style.failureLine)
      j.messages->Say("Ausweisliste nicht lesbar! SQLCode:%d\n",
                      openStatus != sqlhlp::kOk ? openStatus : status);
  }
  if (opened) list.CloseBadgeCursor();
  // A date column that holds no date stops the list; the line says which badge to mend.
  BadDateRow bad;
  // The embedded database may meet it when the list is opened, as it reads the first row then.
  if ((status == kBadDateStatus || openStatus == kBadDateStatus) &&
      list.FindBadDateRow(bad) == sqlhlp::kOk)
    for (const LoopJob& j : jobs)
      if (sqlhlp::IsError(j.status))
        j.messages->Say("Ausweis %s: %s '%s' ist kein Datum!\n", Shown(bad.badge).c_str(),
                        bad.column.c_str(), Shown(bad.value).c_str());

  for (const LoopJob& j : jobs) {
    j.messages->Say("Ausweise gesamt: %d davon in Datei gestellt: %d\n", j.read, j.written);
    if (j.status != sqlhlp::kOk && j.style.failureLine && j.status != kAccessListFailed)
      j.messages->Say(j.style.failureLine, j.status);
  }
}

}  // namespace zibrolt
