// The entry of setup.exe. The program reads no command line.
#include <windows.h>
#include "setup/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return RunSetup(instance);
}
