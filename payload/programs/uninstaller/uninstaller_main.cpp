// UnInstal.exe: removes the product that setup installed, started through the uninstall entry
// as "\"F\uninstal.exe\" F".
//
// It checks that F is this product's installation (the explorer component is there, and the
// uninstall entry names F), asks once, then removes what setup made in this order: a running
// product is asked to close; the modules unregister themselves; the "My Tarnwick" links and the
// program group go; the registration goes; the files go (those in use at the next restart); the
// folder goes when nothing of the user's is left in it; the uninstall entry goes last, so an
// interrupted removal can be started again from the list of installed programs.
//
// A running program cannot delete its own file, and this program is one of the installed files.
// So after the question it copies itself to the temporary folder and hands over to the copy,
// which waits until this process has ended and then removes everything, its original included.
// The copy's own file, in the temporary folder, is deleted at the next restart. Where the copy
// cannot be made or started, this program removes what it can and its own file goes at the
// next restart, like any other file in use.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "common/command_line.h"
#include "common/win_handles.h"
#include "install/replace_at_restart.h"
#include "payload/programs/uninstaller/uninstall_arguments.h"
#include "payload/programs/uninstaller/uninstall_files.h"
#include "payload/programs/uninstaller/uninstall_registry.h"
#include "setup/setup_state.h"
#include "shortcuts/progman.h"

namespace {

constexpr char Caption[] = "Uninstall Tarnwick Pro 5.0";
constexpr char ProgramGroup[] = "Tarnwick Pro 5.0";
constexpr char ProductWindowClass[] = "TWMainClass";
constexpr char ProgressWindowClass[] = "TWUninstallProgress";
constexpr int StatusControlId = 100;
constexpr int ProgressControlId = 101;
// How long a running product may take to end after WM_PRODUCT_CLOSE, and the original
// uninstaller to end after handing over.
constexpr DWORD ProductCloseWaitMs = 5000;
constexpr DWORD HandOverWaitMs = 10000;

enum ExitCode { Removed = 0, Declined = 1, Refused = 2 };

HWND progressWindow = nullptr;

// A message with one "%s" for folder, or the text as it is without a folder.
void ShowMessage(UINT icon, const char* format, const char* folder = nullptr) {
  char text[1024];
  if (folder != nullptr) snprintf(text, sizeof text, format, folder);
  MessageBoxA(nullptr, folder != nullptr ? text : format, Caption, MB_OK | icon | MB_SETFOREGROUND);
}

// The folder as an absolute path without a trailing backslash; false when it does not fit.
bool FullFolder(const char* given, char* folder) {
  char* filePart = nullptr;
  DWORD length = GetFullPathNameA(given, MaxPathText, folder, &filePart);
  if (length == 0 || length >= MaxPathText) return false;
  if (length > 3 && folder[length - 1] == '\\') folder[length - 1] = '\0';
  return true;
}

bool HoldsExplorer(const char* folder) {
  char path[MaxPathText];
  int length = snprintf(path, sizeof path, "%s\\TWExplo.exe", folder);
  if (length < 0 || length >= MaxPathText) return false;
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsRegisteredFolder(const char* folder) {
  char command[MaxPathText];
  return ReadUninstallCommand(command) && UninstallCommandNamesFolder(command, folder);
}

// Asks each running product window to close and waits until its process has ended.
void CloseRunningProducts() {
  for (int attempt = 0; attempt < 8; ++attempt) {
    HWND product = FindWindowA(ProductWindowClass, nullptr);
    if (product == nullptr) return;
    DWORD processId = 0;
    GetWindowThreadProcessId(product, &processId);
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(product, WM_PRODUCT_CLOSE, 0, 0, SMTO_ABORTIFHUNG, ProductCloseWaitMs, &answer);
    if (process) WaitForSingleObject(process.get(), ProductCloseWaitMs);
    else Sleep(3000);  // no handle to wait on: the pause setup makes
  }
}

// Copies this program to the temporary folder and starts the copy with "/WAIT:H FOLDER", H
// being this process's handle, inherited. True when the copy runs.
bool HandOverToTemporaryCopy(const char* folder) {
  char self[MaxPathText];
  char tempFolder[MaxPathText];
  char copy[MaxPathText];
  DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length >= sizeof self) return false;
  length = GetTempPathA(sizeof tempFolder, tempFolder);
  if (length == 0 || length >= sizeof tempFolder) return false;
  int written = snprintf(copy, sizeof copy, "%sTWUn%lu.exe", tempFolder, GetCurrentProcessId());
  if (written < 0 || written >= MaxPathText || !CopyFileA(self, copy, FALSE)) return false;

  HANDLE inherited = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &inherited, SYNCHRONIZE, TRUE,
                       0)) {
    DeleteFileA(copy);
    return false;
  }
  UniqueHandle ownHandle(inherited);
  char commandLine[2 * MaxPathText + 32];
  snprintf(commandLine, sizeof commandLine, "\"%s\" /WAIT:%lu %s", copy,
                static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(inherited)), folder);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessA(copy, commandLine, nullptr, nullptr, TRUE, 0, nullptr, tempFolder, &startup, &started)) {
    DeleteFileA(copy);
    return false;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

// ---- The progress window ----

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) return 0;  // the removal is not stopped halfway
  return DefWindowProcA(window, message, wParam, lParam);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void ShowProgressWindow(HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ProgressWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_WAIT);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = ProgressWindowClass;
  RegisterClassA(&windowClass);
  const int width = 420;
  const int height = 130;
  progressWindow = CreateWindowExA(0, ProgressWindowClass, Caption, WS_POPUP | WS_CAPTION | WS_VISIBLE,
                                   (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                   (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                                   instance, nullptr);
  if (progressWindow == nullptr) return;
  CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 16, 16, width - 40, 20, progressWindow,
                  reinterpret_cast<HMENU>(StatusControlId), instance, nullptr);
  CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, 16, 48, width - 40, 20, progressWindow,
                  reinterpret_cast<HMENU>(ProgressControlId), instance, nullptr);
  PumpMessages();
}

void ShowStep(const char* text, int percent) {
  if (progressWindow == nullptr) return;
  SetDlgItemTextA(progressWindow, StatusControlId, text);
  SendDlgItemMessageA(progressWindow, ProgressControlId, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  PumpMessages();
}

// The files take the bar from 40 to 95 %.
void ShowFileProgress(int done, int total) {
  if (progressWindow == nullptr || done % 16 != 0) return;
  SendDlgItemMessageA(progressWindow, ProgressControlId, PBM_SETPOS, static_cast<WPARAM>(40 + 55 * done / total), 0);
  PumpMessages();
}

// ---- The removal ----

FileRemoval RemoveProduct(const char* folder) {
  ShowStep("Closing Tarnwick...", 5);
  CloseRunningProducts();
  ShowStep("Unregistering components...", 15);
  UnregisterModules(folder);
  ShowStep("Removing shortcuts and the program group...", 25);
  RemoveProductLinks(folder);
  ProgmanDeleteGroup(ProgramGroup);
  ShowStep("Removing registry entries...", 35);
  RemoveProductRegistration(folder);
  ShowStep("Removing files...", 40);
  FileRemoval removal;
  RemoveInstalledFiles(folder, &removal, ShowFileProgress);
  RemoveInstallFolder(folder, &removal);
  RemoveUninstallEntry();
  ShowStep("Done.", 100);
  return removal;
}

void ShowResult(const FileRemoval& removal, const char* folder) {
  if (removal.scheduled > 0)
    ShowMessage(MB_ICONINFORMATION,
                "Tarnwick Pro 5.0 has been removed, but some of its files in \"%s\" are in use.\n\n"
                "Restart Windows to complete the removal.",
                folder);
  else if (removal.folderKept)
    ShowMessage(MB_ICONINFORMATION,
                "Tarnwick Pro 5.0 has been removed from your computer.\n\n"
                "The folder \"%s\" was kept: it holds files that were not installed with Tarnwick.",
                folder);
  else
    ShowMessage(MB_ICONINFORMATION, "Tarnwick Pro 5.0 has been removed from your computer.");
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  SetupState.isNT = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;

  UninstallArguments arguments;
  if (!ParseUninstallArguments(CommandLineArguments(GetCommandLineA()), &arguments)) {
    ShowMessage(MB_ICONERROR,
                "The uninstaller needs the folder of the installation to remove. Please remove Tarnwick Pro 5.0 "
                "from the list of installed programs in the Control Panel.");
    return Refused;
  }
  if (!IsPlainFullPath(arguments.folder)) {
    ShowMessage(MB_ICONERROR,
                "\"%s\" is not the full path of a folder, such as C:\\Program Files\\KELM\\Tarnwick. "
                "Nothing was removed.",
                arguments.folder);
    return Refused;
  }
  char folder[MaxPathText];
  if (!FullFolder(arguments.folder, folder) || !HoldsExplorer(folder)) {
    ShowMessage(MB_ICONERROR, "\"%s\" holds no installation of Tarnwick Pro 5.0. Nothing was removed.",
                arguments.folder);
    return Refused;
  }
  if (!IsRegisteredFolder(folder)) {
    ShowMessage(MB_ICONERROR, "Tarnwick Pro 5.0 is not registered as installed in \"%s\". Nothing was removed.",
                folder);
    return Refused;
  }

  const bool handedOver = arguments.waitHandle != 0;
  if (handedOver) {
    HANDLE original = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(arguments.waitHandle));
    WaitForSingleObject(original, HandOverWaitMs);
    CloseHandle(original);
  } else {
    char question[MaxPathText + 200];
    snprintf(question, sizeof question,
                  "Do you want to remove Tarnwick Pro 5.0 from \"%s\", with its shortcuts and its registry "
                  "entries?\n\nFiles you added to that folder and your own settings are kept.",
                  folder);
    if (MessageBoxA(nullptr, question, Caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
      return Declined;
    if (HandOverToTemporaryCopy(folder)) return Removed;
  }

  // A current directory inside the install folder would keep the folder from being removed.
  char tempFolder[MaxPathText];
  DWORD tempLength = GetTempPathA(sizeof tempFolder, tempFolder);
  if (tempLength > 0 && tempLength < sizeof tempFolder) SetCurrentDirectoryA(tempFolder);
  OleSession ole;
  ShowProgressWindow(instance);
  FileRemoval removal = RemoveProduct(folder);
  if (progressWindow != nullptr) DestroyWindow(progressWindow);
  ShowResult(removal, folder);
  if (handedOver) {
    char self[MaxPathText];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length > 0 && length < sizeof self) DeleteAtRestart(self);
  }
  return Removed;
}
