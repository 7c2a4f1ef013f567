// A registration module that imports load_recorder.dll: which copy of that library the system
// loads for it shows where a module's own imports are searched.
#include <windows.h>

extern "C" __declspec(dllimport) void RecordAttach();

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  RecordAttach();
  return S_OK;
}
