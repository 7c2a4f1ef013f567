#include "tools/uidriver/ui_driver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD PollMs = 50;
constexpr UINT AnswerMs = 1000;  // how long a window may take to answer one message
constexpr int AnswerTries = 5;

// Sends a message with a timeout; false when the window did not answer.
bool SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  DWORD_PTR ignored;
  return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, AnswerMs,
                             result ? result : &ignored) != 0;
}

// Polls condition every PollMs until it holds or timeoutMs has passed.
template <typename Condition>
bool WaitUntil(DWORD timeoutMs, Condition condition) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(PollMs);
  }
}

bool CaptionMatches(const char* actual, const char* wanted) {
  size_t length = strlen(wanted);
  if (length > 0 && wanted[length - 1] == '*') return strncmp(actual, wanted, length - 1) == 0;
  return strcmp(actual, wanted) == 0;
}

DWORD WindowProcessId(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  return id;
}

// One search of the visible top-level windows, of processId when that is not 0, for the first
// one that matches.
struct TopWindowSearch {
  DWORD processId;
  bool (*matches)(HWND window, const TopWindowSearch& search);
  const char* caption;  // for HasCaption
  HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TopWindowSearch*>(parameter);
  if (!IsWindowVisible(window)) return TRUE;
  if (search->processId && WindowProcessId(window) != search->processId) return TRUE;
  if (!search->matches(window, *search)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindVisibleTopWindow(DWORD processId, bool (*matches)(HWND, const TopWindowSearch&), const char* caption) {
  TopWindowSearch search = {processId, matches, caption, nullptr};
  EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool HasCaption(HWND window, const TopWindowSearch& search) {
  char caption[512];
  GetWindowTextA(window, caption, sizeof caption);
  return CaptionMatches(caption, search.caption);
}

// A property sheet: a dialog ("#32770") that names its current page.
bool IsPropertySheet(HWND window, const TopWindowSearch&) {
  char className[64];
  if (!GetClassNameA(window, className, sizeof className) || strcmp(className, "#32770") != 0) return false;
  DWORD_PTR page = 0;
  return SendWithTimeout(window, PSM_GETCURRENTPAGEHWND, 0, 0, &page) && page != 0;
}

bool WriteWholeFile(const char* path, const void* data, size_t size) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, data, DWORD(size), &written, nullptr) && written == size;
  return CloseHandle(file) && ok;
}

}  // namespace

// ---- Programs ----

LaunchedProgram::~LaunchedProgram() {
  if (!process) return;
  if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 5000);
  }
  CloseHandle(process);
}

bool LaunchProgram(const char* path, const char* currentDirectory, LaunchedProgram& program) {
  char commandLine[MAX_PATH + 3];
  int length = snprintf(commandLine, sizeof commandLine, "\"%s\"", path);
  if (length < 0 || size_t(length) >= sizeof commandLine) return false;
  return LaunchCommandLine(commandLine, currentDirectory, program);
}

bool LaunchCommandLine(const char* commandLine, const char* currentDirectory, LaunchedProgram& program) {
  std::string line = commandLine;  // CreateProcessA may write into it
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, currentDirectory, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  program.process = info.hProcess;
  program.processId = info.dwProcessId;
  return true;
}

bool WaitForExit(const LaunchedProgram& program, DWORD timeoutMs, DWORD* exitCode) {
  if (!program.process || WaitForSingleObject(program.process, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  if (!GetExitCodeProcess(program.process, &code)) return false;
  if (exitCode) *exitCode = code;
  return true;
}

bool IsRunning(const LaunchedProgram& program) {
  return program.process && WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT;
}

bool SetWineVersion(const char* exeName, const char* version) {
  char path[MAX_PATH];
  int length = snprintf(path, sizeof path, "Software\\Wine\\AppDefaults\\%s", exeName);
  if (length < 0 || size_t(length) >= sizeof path) return false;
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG result;
  if (version)
    result = RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), DWORD(strlen(version) + 1));
  else
    result = RegDeleteValueA(key, "Version");
  RegCloseKey(key);
  return result == ERROR_SUCCESS || (!version && result == ERROR_FILE_NOT_FOUND);
}

// ---- Windows in general ----

std::string WindowText(HWND window) {
  std::vector<char> buffer(32768);
  for (int attempt = 0; attempt < AnswerTries; ++attempt) {
    if (!IsWindow(window)) return "";
    buffer[0] = '\0';
    DWORD_PTR copied = 0;
    if (SendWithTimeout(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied))
      return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
    Sleep(PollMs);
  }
  return "";
}

std::string ControlText(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  return control ? WindowText(control) : "";
}

bool SetControlText(HWND parent, int id, const char* text) {
  HWND control = GetDlgItem(parent, id);
  DWORD_PTR result = 0;
  return control && SendWithTimeout(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), &result) && result;
}

HWND FindTopWindow(const char* caption, DWORD processId) {
  return FindVisibleTopWindow(processId, HasCaption, caption);
}

HWND WaitForTopWindow(const char* caption, DWORD timeoutMs, DWORD processId) {
  HWND found = nullptr;
  WaitUntil(timeoutMs, [&] { return (found = FindTopWindow(caption, processId)) != nullptr; });
  return found;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  return WaitUntil(timeoutMs, [&] { return !IsWindow(window); });
}

std::string MessageText(HWND box) {
  return ControlText(box, 65535);
}

RECT WindowRect(HWND window) {
  RECT rect = {};
  if (!window || !GetWindowRect(window, &rect)) rect = {};
  return rect;
}

bool ClickControl(HWND parent, int id, DWORD timeoutMs) {
  if (!WaitForButtonState(parent, id, {true, true, true}, timeoutMs)) return false;
  return PostMessageA(GetDlgItem(parent, id), BM_CLICK, 0, 0) != 0;
}

bool PostKey(HWND dialog, UINT virtualKey) {
  LPARAM scan = LPARAM(MapVirtualKeyA(virtualKey, 0)) << 16;
  return PostMessageA(dialog, WM_KEYDOWN, virtualKey, scan | 1) &&
         PostMessageA(dialog, WM_KEYUP, virtualKey, scan | 1 | (LPARAM(3) << 30));
}

bool SaveScreenshot(HWND window, const char* path) {
  RECT rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window && !GetWindowRect(window, &rect)) return false;
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;

  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom-up, as a BMP file stores its rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  DWORD stride = (DWORD(width) * 3 + 3) & ~3u;
  header.biSizeImage = stride * DWORD(height);

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (picture) {
    HGDIOBJ previous = SelectObject(memory, picture);
    copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT) != 0;
    GdiFlush();
    SelectObject(memory, previous);
  }
  bool written = false;
  if (copied) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::vector<char> data(file.bfSize);
    memcpy(data.data(), &file, sizeof file);
    memcpy(data.data() + sizeof file, &header, sizeof header);
    memcpy(data.data() + file.bfOffBits, bits, header.biSizeImage);
    written = WriteWholeFile(path, data.data(), data.size());
  }
  if (picture) DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

// ---- The wizard ----

HWND FindWizardSheet(DWORD processId) {
  return FindVisibleTopWindow(processId, IsPropertySheet, nullptr);
}

HWND WaitForWizardSheet(DWORD timeoutMs, DWORD processId) {
  HWND sheet = nullptr;
  WaitUntil(timeoutMs, [&] { return (sheet = FindWizardSheet(processId)) != nullptr; });
  return sheet;
}

HWND CurrentPage(HWND sheet) {
  DWORD_PTR page = 0;
  if (!SendWithTimeout(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, &page)) return nullptr;
  return reinterpret_cast<HWND>(page);
}

int CurrentPageIndex(HWND sheet) {
  HWND page = CurrentPage(sheet);
  if (!page) return -1;
  DWORD_PTR index = 0;
  if (!SendWithTimeout(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0, &index)) return -1;
  return int(index);
}

HWND PageWindow(HWND sheet, int index) {
  DWORD_PTR page = 0;
  if (!SendWithTimeout(sheet, PSM_INDEXTOHWND, WPARAM(index), 0, &page)) return nullptr;
  return reinterpret_cast<HWND>(page);
}

bool WaitForPage(HWND sheet, int index, DWORD timeoutMs) {
  return WaitUntil(timeoutMs, [&] { return CurrentPageIndex(sheet) == index; });
}

bool SelectPage(HWND sheet, int index) {
  DWORD_PTR result = 0;
  return SendWithTimeout(sheet, PSM_SETCURSEL, WPARAM(index), 0, &result) && result;
}

ButtonState GetButtonState(HWND parent, int id) {
  ButtonState state;
  HWND button = GetDlgItem(parent, id);
  if (!button) return state;
  state.exists = true;
  state.visible = IsWindowVisible(button) != 0;
  state.enabled = IsWindowEnabled(button) != 0;
  return state;
}

bool WaitForButtonState(HWND parent, int id, ButtonState want, DWORD timeoutMs) {
  return WaitUntil(timeoutMs, [&] {
    ButtonState now = GetButtonState(parent, id);
    return now.exists == want.exists && now.visible == want.visible && now.enabled == want.enabled;
  });
}

int CheckState(HWND parent, int id) {
  HWND box = GetDlgItem(parent, id);
  DWORD_PTR state = 0;
  if (!box || !SendWithTimeout(box, BM_GETCHECK, 0, 0, &state)) return -1;
  return int(state);
}
