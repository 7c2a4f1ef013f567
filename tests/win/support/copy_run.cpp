#include "support/copy_run.h"

#include <commctrl.h>

#include "support/setup_session.h"
#include "tools/uidriver/ui_driver.h"

namespace {

constexpr char CopyingPrefix[] = "Copying: ";

bool ShowsFile(const std::string& status) { return status.rfind(CopyingPrefix, 0) == 0; }

// True when the program's interface thread answers within half a second.
bool Answers(HWND sheet) {
  DWORD_PTR ignored;
  return SendMessageTimeoutA(sheet, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &ignored) != 0;
}

}  // namespace

int ProgressPosition(HWND copyPage) {
  DWORD_PTR position = 0;
  if (!SendMessageTimeoutA(GetDlgItem(copyPage, CopyPageBar), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position))
    return -1;
  return int(position);
}

bool CatchRun(HWND sheet, DWORD processId, const std::vector<DWORD>& knownThreads, int minimumPosition,
              SuspendedThreads& held, CaughtRun* caught, std::string* failure) {
  std::string status;
  for (DWORD start = GetTickCount(); GetTickCount() - start < StartWaitMs;) {
    caught->copyPage = PageWindow(sheet, CopyPage);
    if (caught->copyPage) status = ControlText(caught->copyPage, CopyPageStatus);
    if (!ShowsFile(status) || ProgressPosition(caught->copyPage) < minimumPosition) continue;
    if (!held.SuspendNewThreads(processId, knownThreads)) continue;
    for (int step = 0; step < 1000 && !held.StandInProgram(processId); ++step) held.Step(200);
    Sleep(100);  // a report already on its way is shown by now
    if (held.StandInProgram(processId) && Answers(sheet)) break;
    held.Resume();
    Sleep(5);
  }
  if (held.count() == 0) {
    *failure = "the run was not caught; last status \"" + status + "\"";
    return false;
  }
  caught->status = ControlText(caught->copyPage, CopyPageStatus);
  caught->position = ProgressPosition(caught->copyPage);
  if (!ShowsFile(caught->status)) {
    *failure = "the held run shows \"" + caught->status + "\"";
    return false;
  }
  return true;
}
