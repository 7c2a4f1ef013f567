#include "setup/startup.h"

#include <commctrl.h>
#include <ole2.h>

#include <cstring>
#include <iterator>

#include "common/bounded_text.h"
#include "common/path_characters.h"
#include "common/win_handles.h"
#include "install/active_run.h"
#include "install/payload_catalogue.h"
#include "registry/registry_cursor.h"
#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "setup/wizard_frame.h"

namespace {

// Earlier installations, searched in this order for their "InstallDir" (HKEY_LOCAL_MACHINE).
struct InstallKey {
  const char* parent;
  const char* name;
};
constexpr InstallKey PreviousInstallKeys[] = {
    {"SOFTWARE\\KELM\\Tarnwick", "CurrentVersion"},
    {"SOFTWARE\\Fenmoor\\Tarnwick", "CurrentVersion"},
    {"SOFTWARE\\Fenmoor\\Tarnwick", "Version2.0"},
    {"SOFTWARE\\Fenmoor\\Tarnwick", "Version1.0"},
};

// Reads value name of the cursor's open key into buffer (MaxPathText bytes) as a text. False
// when the read fails or the value holds no terminating zero within the buffer.
bool ReadCursorText(const char* name, char* buffer) {
  memset(buffer, 0, MaxPathText);
  if (!RegistryCursor.QueryString(name, buffer)) return false;
  return memchr(buffer, '\0', MaxPathText) != nullptr;
}

// Makes the folder that holds this program the current directory: drive and directory of the
// module's file name, without the directory's trailing backslash. A program in a drive's root
// thus sets "X:", the drive's current directory. A module name that did not fit is left alone.
void EnterProgramFolder() {
  char module[MaxPathText];
  DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
  if (length == 0 || length >= sizeof module) return;
  size_t driveLength = (module[0] != '\0' && module[1] == ':') ? 2 : 0;
  size_t directoryEnd = driveLength;  // one past the last separator
  for (size_t i = driveLength; module[i] != '\0'; ++i)
    if (module[i] == '\\' || module[i] == '/') directoryEnd = i + 1;
  // Drive and directory joined; a non-empty directory loses its last character (the separator).
  module[directoryEnd > driveLength ? directoryEnd - 1 : directoryEnd] = '\0';
  SetCurrentDirectoryA(module);
}

// Registers the main window class (name IDS_SETUP_TITLE), with the extended call first. True on success.
bool RegisterMainWindowClass() {
  HINSTANCE instance = SetupState.instance;
  HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
  HCURSOR cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  const char* className = LoadText(IDS_SETUP_TITLE);

  WNDCLASSEXA extended = {};
  extended.cbSize = sizeof extended;
  extended.style = 0;
  extended.lpfnWndProc = MainWindowProc;
  extended.cbWndExtra = 4;
  extended.hInstance = instance;
  extended.hIcon = icon;
  extended.hCursor = cursor;
  extended.hbrBackground = SetupState.backgroundBrush;
  extended.lpszClassName = className;
  extended.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 16, 16,
                                                   LR_DEFAULTCOLOR));
  if (RegisterClassExA(&extended)) return true;

  WNDCLASSA plain = {};
  plain.style = 0;
  plain.lpfnWndProc = MainWindowProc;
  plain.cbWndExtra = 4;
  plain.hInstance = instance;
  plain.hIcon = icon;
  plain.hCursor = cursor;
  plain.hbrBackground = SetupState.backgroundBrush;
  plain.lpszClassName = className;
  return RegisterClassA(&plain) != 0;
}

// Arial bold, 14 points at the screen's vertical resolution.
HFONT CreateTitleFont() {
  UniqueMemoryDc memory(CreateCompatibleDC(nullptr));
  int pixelsPerInch = GetDeviceCaps(memory.get(), LOGPIXELSY);
  int height = -(14 * pixelsPerInch) / 72;  // truncates towards zero
  return CreateFontA(height, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
}

void DeleteDrawingResources() {
  if (SetupState.titleFont) DeleteObject(SetupState.titleFont);
  if (SetupState.backgroundBrush) DeleteObject(SetupState.backgroundBrush);
  if (SetupState.bannerBitmap) DeleteObject(SetupState.bannerBitmap);
  SetupState.titleFont = nullptr;
  SetupState.backgroundBrush = nullptr;
  SetupState.bannerBitmap = nullptr;
}

}  // namespace

int RunSetup(HINSTANCE instance) {
  SetupState.savedNextCaption[0] = '\0';
  InitCommonControls();
  OleSession ole;  // uninitialised on every way out
  SetupState.instance = instance;

  if (!CheckPlatform()) {
    MessageBoxA(nullptr, LoadText(IDS_UNSUPPORTED_SYSTEM), LoadText(IDS_UNSUPPORTED_SYSTEM_CAPTION), MB_ICONERROR);
    return 0;
  }
  // A damaged copy says so before anything is read from or written to the registry or the disk.
  if (!CheckPayloadCatalogue()) {
    MessageBoxA(nullptr, LoadText(IDS_SETUP_DAMAGED), LoadText(IDS_SETUP_TITLE), MB_ICONERROR);
    return 0;
  }
  if (!OfferUpgradeFromVersion2()) return 0;
  if (!SetupState.previousVersionFound && !FindPreviousInstallFolder()) ChooseDefaultInstallFolder();

  SetupState.backgroundBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  EnterProgramFolder();
  if (!RegisterMainWindowClass()) {
    DeleteDrawingResources();
    return 0;
  }
  SetupState.titleFont = CreateTitleFont();
  SetupState.mainWindow = CreateWindowExA(0, LoadText(IDS_SETUP_TITLE), "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                                          nullptr);
  UpdateWindow(SetupState.mainWindow);  // never shown: the main window stays hidden

  RunWizard(SetupState.mainWindow);
  EndActiveRun(RunEndWaitMs);  // a run still writing when the sheet closed
  DeleteDrawingResources();
  return 1;
}

int CheckPlatform() {
  OSVERSIONINFOA version = {};
  static_assert(sizeof version == 148);
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return 0;
  if (version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS && version.dwPlatformId != VER_PLATFORM_WIN32_NT) return 0;
  if (version.dwMajorVersion < 4) return 0;
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    SetupState.isNT = 1;
    if (version.dwMajorVersion == 4) SetupState.isNT4 = 1;
  }
  return 1;
}

int OfferUpgradeFromVersion2() {
  RegistryCursor.Close();
  if (!RegistryCursor.OpenForRead(HKEY_LOCAL_MACHINE, "Software\\Fenmoor\\Tarnwick", "Version2.0")) return 1;
  char explorer[MaxPathText];
  if (!ReadCursorText("InstallDir", explorer) || explorer[0] == '\0') {
    RegistryCursor.Close();
    return 1;
  }
  bool fits = AppendBackslash(explorer, sizeof explorer);
  size_t folderLength = strlen(explorer);  // with its trailing backslash
  fits = fits && AppendText(explorer, "TWExplo.exe");
  if (!fits || GetFileAttributesA(explorer) == INVALID_FILE_ATTRIBUTES) {
    RegistryCursor.Close();
    return 1;
  }
  RegistryCursor.Close();

  if (MessageBoxA(nullptr, LoadText(IDS_UPGRADE_QUESTION), LoadText(IDS_UPGRADE_QUESTION_CAPTION), MB_YESNO) == IDNO)
    return 0;
  SetupState.previousVersionFound = 1;
  explorer[folderLength - 1] = '\0';  // the folder without its trailing backslash
  CopyText(SetupState.installFolder, explorer);  // fits: shorter than the joined path
  RegistryCursor.Close();
  return 1;
}

int FindPreviousInstallFolder() {
  SetupState.installFolder[0] = '\0';
  for (const InstallKey& key : PreviousInstallKeys) {
    RegistryCursor.Close();
    if (!RegistryCursor.OpenForRead(HKEY_LOCAL_MACHINE, key.parent, key.name)) continue;
    if (ReadCursorText("InstallDir", SetupState.installFolder)) {
      RemoveTrailingBackslash(SetupState.installFolder);
      RegistryCursor.Close();
      return 1;
    }
    RegistryCursor.Close();
  }
  SetupState.installFolder[0] = '\0';
  return 0;
}

void ChooseDefaultInstallFolder() {
  UniqueKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE,
                    key.put()) != ERROR_SUCCESS) {
    key.release();  // a failed open may leave anything in its out-parameter
    CopyText(SetupState.installFolder, "C:\\Tarnwick");
    return;
  }
  char* folder = SetupState.installFolder;
  memset(folder, 0, MaxPathText);
  DWORD size = MaxPathText;
  bool read = RegQueryValueExA(key.get(), "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(folder), &size) ==
                  ERROR_SUCCESS &&
              memchr(folder, '\0', MaxPathText) != nullptr;
  if (read) {
    CreateDirectoryA(folder, nullptr);  // the Program Files folder itself; the result does not matter
    read = AppendText(SetupState.installFolder, "\\KELM\\Tarnwick");
  }
  if (!read) CopyText(SetupState.installFolder, "C:\\KELM\\Tarnwick");
}

void CloseRunningProduct() {
  HWND product = FindWindowA("TWMainClass", nullptr);
  if (!product) return;
  SendMessageA(product, WM_PRODUCT_CLOSE, 0, 0);
  Sleep(3000);  // lets the product release its files before copying starts
}

void HideSetupWindows() {
  const auto hide = [](HWND window) {
    if (!window) return;
    SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    ShowWindow(window, SW_HIDE);
  };
  hide(FindWindowA(nullptr, "Tarnwick Utilities 98 Setup"));
  hide(FindWindowA(LoadText(IDS_SETUP_TITLE), nullptr));
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
