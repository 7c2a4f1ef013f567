// Restarting Windows and opening a web page through a temporary internet shortcut.
#include "install/restart_and_web_page.h"

#include <windows.h>
#include <shellapi.h>

#include "common/format_text.h"
#include "common/text_file.h"
#include "common/win_handles.h"
#include "setup/setup_state.h"

// The record as the first shell of Windows 95 knows it (60 bytes in 32-bit code).
static_assert(sizeof(void*) != 4 || sizeof(SHELLEXECUTEINFOA) == 60);

void RestartWindows(int onNT) {
  if (onNT) {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      TOKEN_PRIVILEGES privileges = {};
      privileges.PrivilegeCount = 1;
      LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
      // The token stays open: the system is about to restart.
    }
  }
  ExitWindowsEx(EWX_REBOOT, 0);
}

void OpenWebPage(const char* address) {
  SHELLEXECUTEINFOA execute = {};
  execute.cbSize = sizeof execute;
  execute.nShow = SW_SHOWNORMAL;
  execute.hInstApp = SetupState.instance;

  char folder[MaxPathText];
  DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) return;
  char shortcut[MaxPathText];
  int pathLength = FormatText(shortcut, sizeof shortcut, "%sKELM.URL", folder);
  if (pathLength < 0 || pathLength >= MaxPathText) return;
  DeleteFileA(shortcut);

  // Each line ends in CR LF.
  {
    TextFile file;
    if (!file.Open(shortcut, TextFile::Create)) return;
    file.Put("[InternetShortcut]\nURL=");
    file.Put(address);
    file.Put('\n');
  }

  char windowsFolder[MaxPathText];
  UINT windowsLength = GetWindowsDirectoryA(windowsFolder, sizeof windowsFolder);
  execute.lpFile = shortcut;
  execute.lpDirectory = windowsLength != 0 && windowsLength < sizeof windowsFolder ? windowsFolder : nullptr;
  ShellExecuteExA(&execute);
}
