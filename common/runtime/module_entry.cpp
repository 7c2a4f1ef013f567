// The entry of the product's modules (DLLs without a C runtime library): static objects are made
// before DllMain hears of the process and ended after it has heard that the process leaves.
#include <windows.h>

#include "common/runtime/static_objects.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

// The name the linker takes as a module's entry.
extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    MakeStaticObjects();
    if (!DllMain(instance, reason, reserved)) {
      EndStaticObjects();
      return FALSE;
    }
    return TRUE;
  }
  const BOOL result = DllMain(instance, reason, reserved);
  if (reason == DLL_PROCESS_DETACH) EndStaticObjects();
  return result;
}
