// Functions looked up by name in a loaded module.
#pragma once

#include <windows.h>

// NAME in MODULE as the caller's function type, or nullptr when the module has none. The cast goes
// through the generic function pointer, which stands for any function type in 32- and 64-bit code.
template <typename Function>
Function FindProcedure(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
