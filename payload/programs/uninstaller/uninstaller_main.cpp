// UnInstal.exe: removes the product that setup installed, started through the uninstall entry
// as "\"F\uninstal.exe\" F".
//
// It checks that F is this product's installation (the explorer or the uninstaller is there,
// and the uninstall entry names F), asks once, then removes what setup made in this order: a
// running product is asked to close; the modules unregister themselves; the "My Tarnwick" links
// and the program group go; the registration goes; the files go (those in use at the next
// restart); the two programs that prove an installation go last, then the folder when nothing of
// the user's is left in it, and the uninstall entry. A removal that was interrupted, or left
// files that could be neither deleted nor scheduled, keeps the programs and the entry, so it can
// be run again from the list of installed programs.
//
// A running program cannot delete its own file, and this program is one of the installed files.
// So after the question it copies itself into a new folder of its own in the temporary folder
// and hands over to the copy (hand_over.h), then waits and ends with the copy's result: 0 removed,
// 1 declined, 2 refused, 3 incomplete. Where the copy cannot be made or started, this program
// removes what it can and its own file goes at the next restart, like any other file in use.
#include <windows.h>
#include <commctrl.h>

#include <cstdarg>
#include <cstring>

#include "common/command_line.h"
#include "common/format_text.h"
#include "common/win_handles.h"
#include "payload/programs/uninstaller/hand_over.h"
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
// How long a running product may take to end after WM_PRODUCT_CLOSE.
constexpr DWORD ProductCloseWaitMs = 5000;

enum ExitCode { Removed = 0, Declined = 1, Refused = 2, Incomplete = 3 };

constexpr char UsageMessage[] =
    "The uninstaller needs the folder of the installation to remove. Please remove Tarnwick Pro 5.0 "
    "from the list of installed programs in the Control Panel.";

HWND progressWindow = nullptr;

// A message with one "%s" for folder, or the text as it is without a folder.
void ShowMessage(UINT icon, const char* format, const char* folder = nullptr) {
  char text[1024];
  if (folder != nullptr) FormatText(text, sizeof text, format, folder);
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

bool HoldsFile(const char* folder, const char* name) {
  char path[MaxPathText];
  int length = FormatText(path, sizeof path, "%s\\%s", folder, name);
  if (length < 0 || length >= MaxPathText) return false;
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The explorer, or the uninstaller, which a removal that was stopped may have left alone.
bool HoldsInstallation(const char* folder) {
  return HoldsFile(folder, ExplorerFile) || HoldsFile(folder, UninstallerFile);
}

bool IsRegisteredFolder(const char* folder) {
  char command[UninstallCommandSize];
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

// Everything but the two programs that prove the installation, the folder and the entry.
FileRemoval RemoveProductButItsPrograms(const char* folder) {
  ShowStep("Closing Tarnwick...", 5);
  CloseRunningProducts();
  ShowStep("Unregistering components...", 15);
  UnregisterModules(folder);
  ShowStep("Removing shortcuts and the program group...", 25);
  RemoveProductLinks(folder);
  ProgmanDeleteGroup(ProgramGroup);
  // Read before the registration goes, which takes this product's name out of the list.
  const bool keepShared = UpdateToolNamesOtherProducts();
  ShowStep("Removing registry entries...", 35);
  RemoveProductRegistration(folder);
  ShowStep("Removing files...", 40);
  FileRemoval removal;
  RemoveInstalledFiles(folder, keepShared, &removal, ShowFileProgress);
  return removal;
}

// The programs, the folder and the entry, while nothing so far remains that could not even be
// scheduled. The original's exit code is handed back first: its file goes after it has ended.
ExitCode FinishRemoval(const char* folder, FileRemoval* removal) {
  if (removal->remaining.count == 0) RemoveProgramFile(folder, ExplorerFile, removal);
  const ExitCode result = removal->remaining.count == 0 ? Removed : Incomplete;
  HandBackResult(result);
  if (result == Incomplete) return result;
  RemoveProgramFile(folder, UninstallerFile, removal);
  RemoveInstallFolder(folder, removal);
  if (removal->remaining.count > 0) return Incomplete;
  RemoveUninstallEntry();
  ShowStep("Done.", 100);
  return Removed;
}

// Appends a formatted paragraph to text; what does not fit is cut off.
void AddParagraph(char (&text)[2048], const char* format, ...) {
  size_t used = std::strlen(text);
  va_list arguments;
  va_start(arguments, format);
  FormatTextV(text + used, sizeof text - used, format, arguments);
  va_end(arguments);
}

void ShowResult(const FileRemoval& removal, const char* folder, ExitCode result) {
  char text[2048] = "";
  if (result == Incomplete)
    AddParagraph(text,
                 "Tarnwick Pro 5.0 could not be removed completely: %d file(s) in \"%s\" could be neither deleted "
                 "nor marked for deletion at the next restart: %s.\n\nTarnwick Pro 5.0 stays in the list of installed "
                 "programs. Close the programs that use these files and remove it again.",
                 removal.remaining.count, folder, removal.remaining.names);
  else
    AddParagraph(text, "Tarnwick Pro 5.0 has been removed from your computer.");
  if (removal.scheduled > 0)
    AddParagraph(text, "\n\nSome of its files in \"%s\" are in use. Restart Windows to complete the removal.",
                 folder);
  if (removal.readOnly.count > 0)
    AddParagraph(text, "\n\n%d read-only file(s) in \"%s\" were left as they are: %s.", removal.readOnly.count,
                 folder, removal.readOnly.names);
  if (removal.sharedKept)
    AddParagraph(text, "\n\nThe vendor's update tool Patchwell was kept: other products use it.");
  if (removal.folderKept)
    AddParagraph(text, "\n\nThe folder \"%s\" was kept: it holds files that were not installed with Tarnwick.",
                 folder);
  if (removal.folderRemains)
    AddParagraph(text, "\n\nThe empty folder \"%s\" could not be removed: another program may be using it.", folder);
  MessageBoxA(nullptr, text, Caption, MB_OK | (result == Removed ? MB_ICONINFORMATION : MB_ICONWARNING) |
                                          MB_SETFOREGROUND);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  NarrowLibrarySearch();
  InitCommonControls();
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  SetupState.isNT = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;

  UninstallArguments arguments;
  const bool parsed = ParseUninstallArguments(CommandLineArguments(GetCommandLineA()), &arguments);
  // A hand-over that the original did not give is refused like a malformed command line.
  if (!parsed || (arguments.handOver != 0 && !AcceptHandOver(arguments))) {
    ShowMessage(MB_ICONERROR, UsageMessage);
    return Refused;
  }
  const bool handedOver = arguments.handOver != 0;
  if (!IsPlainFullPath(arguments.folder)) {
    ShowMessage(MB_ICONERROR,
                "\"%s\" is not the full path of a folder, such as C:\\Program Files\\KELM\\Tarnwick. "
                "Nothing was removed.",
                arguments.folder);
    HandBackResult(Refused);
    return Refused;
  }
  char folder[MaxPathText];
  if (!FullFolder(arguments.folder, folder) || !HoldsInstallation(folder)) {
    ShowMessage(MB_ICONERROR, "\"%s\" holds no installation of Tarnwick Pro 5.0. Nothing was removed.",
                arguments.folder);
    HandBackResult(Refused);
    return Refused;
  }
  if (!IsRegisteredFolder(folder)) {
    ShowMessage(MB_ICONERROR, "Tarnwick Pro 5.0 is not registered as installed in \"%s\". Nothing was removed.",
                folder);
    HandBackResult(Refused);
    return Refused;
  }

  if (!handedOver) {
    char question[MaxPathText + 200];
    FormatText(question, sizeof question,
               "Do you want to remove Tarnwick Pro 5.0 from \"%s\", with its shortcuts and its registry "
               "entries?\n\nFiles you added to that folder and your own settings are kept.",
               folder);
    if (MessageBoxA(nullptr, question, Caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
      return Declined;
    int copyResult = Incomplete;
    if (RunTemporaryCopy(folder, &copyResult)) return copyResult;
  }

  // A current folder inside the install folder would keep the folder from being removed.
  char systemFolder[MaxPathText];
  UINT systemLength = GetSystemDirectoryA(systemFolder, sizeof systemFolder);
  if (systemLength > 0 && systemLength < sizeof systemFolder) SetCurrentDirectoryA(systemFolder);
  OleSession ole;
  ShowProgressWindow(instance);
  FileRemoval removal = RemoveProductButItsPrograms(folder);
  const ExitCode result = FinishRemoval(folder, &removal);
  if (progressWindow != nullptr) DestroyWindow(progressWindow);
  ShowResult(removal, folder, result);
  if (handedOver) DeleteCopyAtRestart();
  return result;
}
