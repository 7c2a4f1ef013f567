// TWExplo.exe and TWick.exe, the product's main programs (built once each, PRODUCT_PROGRAM naming
// the part): a window of class "TWMainClass" titled with the product's name that shows the
// folder the program runs from and what it was opened with (an archive or ".TWC" file). On
// WM_PRODUCT_CLOSE it closes and the process ends, so the setup program and the uninstaller can
// replace or remove its files without a restart.
#include <windows.h>

#include <cstring>

#include "common/command_line.h"
#include "common/format_text.h"

#ifndef PRODUCT_PROGRAM
#error "PRODUCT_PROGRAM names the program's part of the product"
#endif

namespace {

constexpr UINT WM_PRODUCT_CLOSE = WM_USER + 1800;  // both parameters 0
constexpr char WindowClass[] = "TWMainClass";
constexpr char ProductName[] = "Tarnwick Pro 5.0";
constexpr int InfoControlId = 100;

// "Folder: F" and, when there is one, "Opened: ARGUMENTS", one per line.
void FormInfo(char* text, size_t size) {
  char folder[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) folder[0] = '\0';
  char* lastSeparator = std::strrchr(folder, '\\');
  if (lastSeparator != nullptr) *lastSeparator = '\0';
  const char* arguments = CommandLineArguments(GetCommandLineA());
  if (*arguments == '\0')
    FormatText(text, size, "%s\r\nFolder: %s", PRODUCT_PROGRAM, folder);
  else
    FormatText(text, size, "%s\r\nFolder: %s\r\nOpened: %s", PRODUCT_PROGRAM, folder, arguments);
}

LRESULT CALLBACK ProductWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      char info[2 * MAX_PATH + 64];
      FormInfo(info, sizeof info);
      CreateWindowExA(0, "STATIC", info, WS_CHILD | WS_VISIBLE | SS_LEFT, 12, 12, 600, 120, window,
                      reinterpret_cast<HMENU>(InfoControlId), reinterpret_cast<LPCREATESTRUCTA>(lParam)->hInstance,
                      nullptr);
      return 0;
    }
    case WM_PRODUCT_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ProductWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = WindowClass;
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowExA(0, WindowClass, ProductName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                                200, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, showCommand);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
