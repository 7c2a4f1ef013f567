// The one process-wide record of the setup, the string loader and the messages between the
// installation run and the copy page.
#pragma once
#include <windows.h>
#include <atomic>

constexpr UINT WM_SETUP_PROGRESS = WM_USER + 500;  // wParam 0..100, lParam status text (valid during the call)
constexpr UINT WM_SETUP_DONE = WM_USER + 501;      // wParam 1 completed, 0 cancelled or abandoned
constexpr UINT WM_PRODUCT_CLOSE = WM_USER + 1800;  // asks a running product window to quit

constexpr int MaxPathText = 260;  // path buffers: at most 259 characters and the terminating zero

struct SetupRecord {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  char installFolder[MaxPathText] = {};  // no trailing backslash once start-up has chosen it
  HWND copyPageWindow = nullptr;
  // Written by the interface thread, read by the worker once per file.
  std::atomic<int> cancelRequested{0};
  int isNT = 0;
  int isNT4 = 0;
  int previousVersionFound = 0;
  // Written by the worker, read by the interface thread after the run has ended.
  std::atomic<int> restartNeeded{0};
  std::atomic<int> websiteShortcutWritten{0};
  int registerContextMenus = 1;
  int associateZip = 1;
  int associateOthers = 1;
  char savedNextCaption[30] = {};
  HFONT titleFont = nullptr;
  HBITMAP bannerBitmap = nullptr;
  HBRUSH backgroundBrush = nullptr;
};
extern SetupRecord SetupState;

// Loads string-table text id into one of two alternating 200-byte buffers. The result stays
// valid until the second-next call (a caller may hold two results at once, never three).
const char* LoadText(UINT id);
