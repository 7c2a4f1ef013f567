// A stand-in for the wizard's copy page, for running InstallWorker in tests and benchmarks:
// a top-level "sheet" window with a disabled Cancel button (id 2) and a child page window
// that plays SetupState.copyPageWindow and records what the run sends.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ProgressReport {
  uint32_t percent;
  std::string text;  // copied during the call: the run's text is valid only then
  double seconds;    // when it arrived, from the start of the run
};

struct CopyErrorBox {
  std::string caption;
  std::string text;
  HWND owner;             // the box's owner window
  size_t progressBefore;  // number of progress reports received before the box appeared
  int answer;             // the button pressed
};

struct InstallRunRecord {
  std::vector<ProgressReport> progress;
  std::vector<int> done;  // wParam of each WM_SETUP_DONE, in order
  std::vector<CopyErrorBox> boxes;
  HWND sheet = nullptr;
  HWND page = nullptr;
  bool sheetCancelEnabled = false;  // the sheet's Cancel button after the run
  bool finished = false;            // the worker thread ended within the time limit
  double secondsToDone = 0;         // from CreateThread to the first WM_SETUP_DONE
};

struct InstallRunScript {
  // Called on the page's thread for each progress report as it arrives, with its position;
  // may set SetupState.cancelRequested like the page's Cancel button.
  std::function<void(size_t index, const ProgressReport& report)> onProgress;
  // Buttons to press in the copy error boxes, in order; when the list runs out, IDCANCEL.
  std::vector<int> answers;
  bool visible = true;
  DWORD timeoutMs = 240000;
};

// Sets SetupState.instance (for LoadText), copyPageWindow and cancelRequested as the copy page
// does, starts InstallWorker on a thread with a 5000-byte stack and pumps messages until the
// thread ends, answering copy error boxes as the script says. installFolder is the caller's.
InstallRunRecord RunInstallWorker(const InstallRunScript& script = {});
