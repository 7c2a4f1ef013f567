// Scenarios around the real setup program (S:\setup.exe) in a test's own Wine prefix: the
// registry and files the program finds at start-up, starting it, walking the wizard, leaving it.
#pragma once
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "tools/uidriver/ui_driver.h"

constexpr char SetupProgramPath[] = "S:\\setup.exe";
constexpr char ExitConfirmCaption[] = "Quit Tarnwick\xAE 5.0 Setup";  // 0xAE: the registered sign
constexpr char MainWindowClass[] = "Tarnwick 5.0 Setup";

// How long start-up and page changes may take under Wine.
constexpr DWORD StartWaitMs = 20000;
constexpr DWORD ExitWaitMs = 20000;

// Writes a REG_SZ value, creating the key path. True on success.
bool PutRegistryText(HKEY root, const char* path, const char* name, const char* value);
// Creates the key path without values.
bool PutRegistryKey(HKEY root, const char* path);
// Deletes a value; true when it is gone.
bool DeleteRegistryValue(HKEY root, const char* path, const char* name);
// True when the key opens for reading.
bool RegistryKeyExists(HKEY root, const std::string& path);
// Reads a REG_SZ value ("" when missing).
std::string ReadRegistryText(HKEY root, const char* path, const char* name);

// Creates every folder of path (a folder path without trailing backslash). True when it exists.
bool MakeFolders(const char* path);
// Creates the file path (and its folders) holding text.
bool PutFile(const char* path, const char* text);

// Starts the setup program with current directory "S:\" and waits for the wizard. Returns the
// sheet, or null (with the reason in *failure) when the program did not show it.
HWND StartWizard(LaunchedProgram& program, std::string* failure);

// Presses a sheet button (Next, Back) and waits until page index is shown.
bool PressAndWaitForPage(HWND sheet, int button, int index);

// Walks from the welcome page to page index with Next. The copy page (3) cannot be walked to:
// it moves on to the options page by itself, so index 3 fails.
bool WalkToPage(HWND sheet, int index);

// Clicks Cancel and waits for the exit confirmation; returns it or null.
HWND OpenExitConfirmation(HWND sheet, DWORD processId);

// Cancel, then Exit in the confirmation; waits for the program's end. True with its exit code.
bool CancelAndExit(HWND sheet, const LaunchedProgram& program, DWORD* exitCode);

// Cancel, then Exit: the program must end with exit code 1.
inline void ExpectCancelExitCode1(HWND sheet, const LaunchedProgram& program) {
  DWORD exitCode = 0;
  ASSERT_TRUE(CancelAndExit(sheet, program, &exitCode));
  EXPECT_EQ(exitCode, 1u);
}

// True when the icon control of a message box shows the system icon id: its pixels on the
// screen equal the icon drawn here on the control's own background colour. Icon handles of
// another process cannot be compared, their pictures can.
bool ShowsSystemIcon(HWND iconControl, LPCSTR id);

// Starts the program and fails the test when the wizard does not come.
#define START_WIZARD(program, sheet)                \
  LaunchedProgram program;                          \
  std::string startFailure;                         \
  HWND sheet = StartWizard(program, &startFailure); \
  ASSERT_NE(sheet, nullptr) << startFailure

// A top-level window of our own in its own thread with a message loop, standing in for another
// program's window (the running product, the utilities' setup). Records WM_PRODUCT_CLOSE.
class StandInWindow {
 public:
  StandInWindow(const char* className, const char* title);
  ~StandInWindow();
  StandInWindow(const StandInWindow&) = delete;
  StandInWindow& operator=(const StandInWindow&) = delete;

  HWND window() const { return window_; }
  // Number of WM_PRODUCT_CLOSE messages received with both parameters 0, and the tick count of
  // the first one (0 when none came).
  int closeRequests() const;
  DWORD firstCloseTick() const;
  // The system time at which the window was first hidden (zero while it never was).
  ULONGLONG hiddenTime() const { return hiddenTime_; }

 private:
  static DWORD WINAPI ThreadMain(void* parameter);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  std::string className_, title_;
  HANDLE thread_ = nullptr;
  HANDLE ready_ = nullptr;
  HWND window_ = nullptr;
  volatile LONG closeRequests_ = 0;
  volatile DWORD firstCloseTick_ = 0;
  volatile ULONGLONG hiddenTime_ = 0;
};
