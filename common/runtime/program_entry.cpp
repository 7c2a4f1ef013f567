// The entry of the product's programs: they carry no C runtime library, so the process starts
// here. Static objects are made, WinMain runs with the arguments Windows would have handed it,
// the functions registered with atexit run, and the process ends with WinMain's result.
#include <windows.h>

#include "common/command_line.h"
#include "common/runtime/static_objects.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int showCommand);

// The name the linker takes as a GUI program's entry.
extern "C" void WinMainCRTStartup() {
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int showCommand = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  char* arguments = const_cast<char*>(CommandLineArguments(GetCommandLineA()));

  MakeStaticObjects();
  const int result = WinMain(GetModuleHandleA(nullptr), nullptr, arguments, showCommand);
  EndStaticObjects();
  ExitProcess(static_cast<UINT>(result));
}
