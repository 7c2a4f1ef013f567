// A small library for the version probes: version information only (from its .rc), and for the
// common-controls stand-ins the two exports that the update decision looks up, as chosen.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

#ifdef EXPORT_DLL_GET_VERSION
extern "C" __declspec(dllexport) HRESULT WINAPI DllGetVersion(void*) { return E_NOTIMPL; }
#endif
#ifdef EXPORT_INIT_COMMON_CONTROLS_EX
extern "C" __declspec(dllexport) BOOL WINAPI InitCommonControlsEx(const void*) { return FALSE; }
#endif

#ifdef EXPORT_INIT_COMMON_CONTROLS
extern "C" __declspec(dllexport) void WINAPI InitCommonControls() {}
#endif

#ifdef RECORD_ATTACH
// Appends the library's own path to C:\module_loads.log each time a process loads it.
#include <cstdio>
extern "C" __declspec(dllexport) void RecordAttach() {}
namespace {
struct AttachRecorder {
  AttachRecorder() {
    char path[MAX_PATH] = "";
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char*>(&RecordAttach), &self);
    GetModuleFileNameA(self, path, sizeof path);
    if (FILE* log = std::fopen("C:\\module_loads.log", "a")) {
      std::fprintf(log, "%s\n", path);
      std::fclose(log);
    }
  }
} recorder;
}  // namespace
#endif
