#include "support/setup_session.h"

#include <cstring>

#include "setup/setup_state.h"
#include "support/picture.h"

bool PutRegistryKey(HKEY root, const char* path) {
  HKEY key;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool PutRegistryText(HKEY root, const char* path, const char* name, const char* value) {
  HKEY key;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;
  LONG result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), DWORD(strlen(value) + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const char* path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return true;
  LONG result = RegDeleteValueA(key, name);
  RegCloseKey(key);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool RegistryKeyExists(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::string ReadRegistryText(HKEY root, const char* path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
  char buffer[1024] = {};
  DWORD size = sizeof buffer - 1;
  LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? std::string(buffer) : std::string();
}

bool MakeFolders(const char* path) {
  std::string text = path;
  for (size_t i = 3; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\\') continue;
    CreateDirectoryA(text.substr(0, i).c_str(), nullptr);
  }
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PutFile(const char* path, const char* text) {
  std::string folder = path;
  size_t slash = folder.rfind('\\');
  if (slash != std::string::npos && slash > 2) MakeFolders(folder.substr(0, slash).c_str());
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, text, DWORD(strlen(text)), &written, nullptr) && written == strlen(text);
  return CloseHandle(file) && ok;
}

HWND StartWizard(LaunchedProgram& program, std::string* failure) {
  if (!LaunchProgram(SetupProgramPath, "S:\\", program)) {
    *failure = "setup.exe did not start";
    return nullptr;
  }
  HWND sheet = WaitForWizardSheet(StartWaitMs, program.processId);
  if (!sheet) *failure = IsRunning(program) ? "no wizard appeared" : "setup.exe ended without a wizard";
  return sheet;
}

bool PressAndWaitForPage(HWND sheet, int button, int index) {
  return ClickControl(sheet, button, StartWaitMs) && WaitForPage(sheet, index, StartWaitMs);
}

bool WalkToPage(HWND sheet, int index) {
  if (index == 3 || !WaitForPage(sheet, 0, StartWaitMs)) return false;
  for (int page = 0; page < index;) {
    int next = page == 2 ? 4 : page + 1;  // the copy page moves on to the options page by itself
    if (!PressAndWaitForPage(sheet, SheetNext, next)) return false;
    page = next;
  }
  return true;
}

HWND OpenExitConfirmation(HWND sheet, DWORD processId) {
  if (!ClickControl(sheet, SheetCancel, StartWaitMs)) return nullptr;
  return WaitForTopWindow(ExitConfirmCaption, StartWaitMs, processId);
}

bool CancelAndExit(HWND sheet, const LaunchedProgram& program, DWORD* exitCode) {
  HWND confirmation = OpenExitConfirmation(sheet, program.processId);
  if (!confirmation || !ClickControl(confirmation, 108, StartWaitMs)) return false;
  return WaitForExit(program, ExitWaitMs, exitCode);
}

bool ShowsSystemIcon(HWND iconControl, LPCSTR id) {
  constexpr char ShotPath[] = "C:\\icon-on-screen.bmp";
  Picture shown;
  if (!iconControl || !SaveScreenshot(iconControl, ShotPath) || !shown.Load(ShotPath)) return false;
  const unsigned char* corner = shown.At(0, 0);  // blue, green, red; the icon leaves it clear
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP drawn = CreateCompatibleBitmap(screen, shown.width, shown.height);
  ReleaseDC(nullptr, screen);
  HGDIOBJ previous = SelectObject(memory, drawn);
  RECT all = {0, 0, shown.width, shown.height};
  HBRUSH background = CreateSolidBrush(RGB(corner[2], corner[1], corner[0]));
  FillRect(memory, &all, background);
  DeleteObject(background);
  DrawIconEx(memory, 0, 0, LoadIconA(nullptr, id), 32, 32, 0, nullptr, DI_NORMAL);
  bool same = true;
  for (int y = 0; y < shown.height && same; ++y)
    for (int x = 0; x < shown.width && same; ++x) {
      const unsigned char* p = shown.At(x, y);
      same = GetPixel(memory, x, y) == RGB(p[2], p[1], p[0]);
    }
  SelectObject(memory, previous);
  DeleteObject(drawn);
  DeleteDC(memory);
  return same;
}

// ---- StandInWindow ----

StandInWindow::StandInWindow(const char* className, const char* title) : className_(className), title_(title) {
  ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  WaitForSingleObject(ready_, 10000);
}

StandInWindow::~StandInWindow() {
  if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
  if (thread_) {
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
  }
  if (ready_) CloseHandle(ready_);
}

int StandInWindow::closeRequests() const { return int(closeRequests_); }
DWORD StandInWindow::firstCloseTick() const { return firstCloseTick_; }

DWORD WINAPI StandInWindow::ThreadMain(void* parameter) {
  auto* self = static_cast<StandInWindow*>(parameter);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = self->className_.c_str();
  RegisterClassA(&windowClass);
  self->window_ = CreateWindowExA(0, self->className_.c_str(), self->title_.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  10, 10, 300, 200, nullptr, nullptr, windowClass.hInstance, self);
  SetEvent(self->ready_);
  if (!self->window_) return 1;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

LRESULT CALLBACK StandInWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrA(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
  auto* self = reinterpret_cast<StandInWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_PRODUCT_CLOSE:
      if (self && wParam == 0 && lParam == 0) {
        if (InterlockedIncrement(&self->closeRequests_) == 1) self->firstCloseTick_ = GetTickCount();
      }
      return 0;
    case WM_SHOWWINDOW:
      if (self && !wParam && self->hiddenTime_ == 0) {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        self->hiddenTime_ = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
