// One of the product's self-registering modules (lattice.ocx, modeng1.dll ... modeng4.dll),
// built once per module with its own MODULE_CLASS_ID and MODULE_TITLE. Its "DllRegisterServer"
// registers the module's class identifier with the module itself as in-process server, so that
// the registration can be read back; "DllUnregisterServer" removes it again. Registering twice
// writes the same values.
#include <windows.h>

#include <cstring>

#ifndef MODULE_CLASS_ID
#error "MODULE_CLASS_ID names the module's class identifier"
#endif

namespace {

HINSTANCE moduleInstance = nullptr;

bool SetText(HKEY key, const char* valueName, const char* text) {
  return RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

bool CreateWithText(const char* path, const char* valueName, const char* text, const char* threading) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = SetText(key, valueName, text) && (threading == nullptr || SetText(key, "ThreadingModel", threading));
  RegCloseKey(key);
  return ok;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) moduleInstance = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  char server[MAX_PATH];
  DWORD length = GetModuleFileNameA(moduleInstance, server, sizeof server);
  if (length == 0 || length >= sizeof server) return E_FAIL;
  if (!CreateWithText("CLSID\\" MODULE_CLASS_ID, nullptr, MODULE_TITLE, nullptr)) return E_FAIL;
  if (!CreateWithText("CLSID\\" MODULE_CLASS_ID "\\InprocServer32", nullptr, server, "Apartment")) return E_FAIL;
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\" MODULE_CLASS_ID "\\InprocServer32");
  RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\" MODULE_CLASS_ID);
  return S_OK;
}
