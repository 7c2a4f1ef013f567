// The copy page of the real setup program as a test sees it during an installation run: its
// status text and bar, and the run caught in the middle by holding its thread still.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "setup/wizard_pages.h"
#include "support/process_threads.h"

constexpr int CopyPageCancel = IDC_COPY_CANCEL;
constexpr int CopyPageStatus = IDC_COPY_STATUS;
constexpr int CopyPageBar = IDC_COPY_PROGRESS;

// The copy page's bar position (-1 when it does not answer).
int ProgressPosition(HWND copyPage);

struct CaughtRun {
  HWND copyPage = nullptr;
  std::string status;  // what the page shows while the run is held: "Copying: NAME"
  int position = -1;   // and the bar's position
};

// To be called right after the click that leads to the copy page. Waits until the page shows a
// file ("Copying: ...") with the bar at minimumPosition or beyond, then suspends the program's threads that are not in knownThreads (the
// run's worker) into held. A worker held inside a lock that the interface thread needs next
// (the heap's) would stop the page too; it is then let go and caught again a moment later.
// False, with the reason in *failure, when no run was caught (it ended first, or never began).
bool CatchRun(HWND sheet, DWORD processId, const std::vector<DWORD>& knownThreads, int minimumPosition,
              SuspendedThreads& held, CaughtRun* caught, std::string* failure);
