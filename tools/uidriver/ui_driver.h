// Drives the setup program's windows from another process in the same Wine prefix: finds the
// wizard sheet and its pages, reads control texts, presses buttons, answers message boxes,
// takes screenshots, and starts programs with a chosen Windows version. Used by the Windows
// tests directly and, through the uidriver console program (uidriver.cpp), by make run.
//
// Facts of Wine's property sheet and dialogs that the functions rely on:
// - The sheet is a top-level "#32770" whose caption is the current page's template caption, so
//   it is found by asking PSM_GETCURRENTPAGEHWND, never by its title.
// - PSM_HWNDTOINDEX takes the page window in wParam.
// - Wine acts on disabled buttons, so a click first waits until the button is enabled and
//   visible. Clicks are posted: a sent Finish or Cancel leaves the sheet open until some posted
//   message arrives, and a button that opens a modal dialog would block the sender.
// - A busy window may answer WM_GETTEXT late, so texts are read with a timeout and retried.
// - Message boxes carry their text in a static control with id 65535.
#pragma once
#include <windows.h>

#include <string>

constexpr DWORD DefaultWaitMs = 10000;

// ---- Programs ----

// A program started by a test; the destructor ends it if it still runs, and closes the handles.
struct LaunchedProgram {
  HANDLE process = nullptr;
  DWORD processId = 0;
  LaunchedProgram() = default;
  LaunchedProgram(const LaunchedProgram&) = delete;
  LaunchedProgram& operator=(const LaunchedProgram&) = delete;
  ~LaunchedProgram();
};

// Starts path (no arguments) with the given current directory (null: the caller's). True when
// the process was created.
bool LaunchProgram(const char* path, const char* currentDirectory, LaunchedProgram& program);
// Starts the command line (program and arguments, as CreateProcessA reads it) the same way.
bool LaunchCommandLine(const char* commandLine, const char* currentDirectory, LaunchedProgram& program);
// Waits up to timeoutMs for the program to end. True with its exit code when it ended.
bool WaitForExit(const LaunchedProgram& program, DWORD timeoutMs, DWORD* exitCode);
// True while the program runs.
bool IsRunning(const LaunchedProgram& program);

// Sets the Windows version that Wine reports to programs named exeName ("setup.exe"):
// HKCU\Software\Wine\AppDefaults\<exeName> "Version" = version ("win31", "win98", "nt40", ...);
// a null version removes the setting. Takes effect for programs started afterwards.
bool SetWineVersion(const char* exeName, const char* version);

// ---- Windows in general ----

// The window's text through WM_GETTEXT (works for edit controls of other processes), retried
// while the owner does not answer within a second. Empty when the window never answered.
std::string WindowText(HWND window);
// Text of control id of parent ("" when there is no such control).
std::string ControlText(HWND parent, int id);
// Sets a control's text through WM_SETTEXT.
bool SetControlText(HWND parent, int id, const char* text);

// The visible top-level window whose caption equals caption (or starts with it, when caption
// ends in '*'), of processId when that is not 0. Null when there is none.
HWND FindTopWindow(const char* caption, DWORD processId = 0);
// Waits up to timeoutMs for FindTopWindow to find one.
HWND WaitForTopWindow(const char* caption, DWORD timeoutMs = DefaultWaitMs, DWORD processId = 0);
// Waits up to timeoutMs until window no longer exists. True when it went away.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = DefaultWaitMs);

// The text of a message box (its static control 65535).
std::string MessageText(HWND box);

// The window's rectangle in screen coordinates (empty when it does not exist).
RECT WindowRect(HWND window);

// Waits until control id of parent is enabled and visible, then posts it a click (BM_CLICK).
// False when it did not become clickable within timeoutMs.
bool ClickControl(HWND parent, int id, DWORD timeoutMs = DefaultWaitMs);
// Posts a key press (WM_KEYDOWN, WM_KEYUP) to dialog, as the dialog's message loop receives
// keys of its focused control.
bool PostKey(HWND dialog, UINT virtualKey);

// Saves a 24-bit BMP picture of the window's screen area (the whole screen for a null window)
// to path, copied from the screen's device context. True when the file was written.
bool SaveScreenshot(HWND window, const char* path);

// ---- The wizard ----

// The visible property sheet (a "#32770" that answers PSM_GETCURRENTPAGEHWND), of processId
// when that is not 0. Null when there is none.
HWND FindWizardSheet(DWORD processId = 0);
HWND WaitForWizardSheet(DWORD timeoutMs = DefaultWaitMs, DWORD processId = 0);

// The current page window and its index (-1 when the sheet does not answer).
HWND CurrentPage(HWND sheet);
int CurrentPageIndex(HWND sheet);
// The window of page index, or null when that page has not been created yet.
HWND PageWindow(HWND sheet, int index);
// Waits until page index is the current page.
bool WaitForPage(HWND sheet, int index, DWORD timeoutMs = DefaultWaitMs);
// Selects page index (PSM_SETCURSEL), as a page of the program itself may do.
bool SelectPage(HWND sheet, int index);

// The sheet's buttons.
enum SheetButton { SheetBack = 12323, SheetNext = 12324, SheetFinish = 12325, SheetCancel = 2 };
struct ButtonState {
  bool exists = false;
  bool visible = false;
  bool enabled = false;
};
ButtonState GetButtonState(HWND parent, int id);
// Waits until the button's state equals want (exists, visible, enabled). True when it did.
bool WaitForButtonState(HWND parent, int id, ButtonState want, DWORD timeoutMs = DefaultWaitMs);

// The check state of a check box (BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE), -1 when the
// control does not answer.
int CheckState(HWND parent, int id);
