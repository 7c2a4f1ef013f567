// Version probes through the version library, and the common-controls update.
#include "install/version_probes.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "setup/setup_state.h"

namespace {

constexpr DWORD UpdatePauseMs = 5000;

// A file's whole version-information block, freed when the holder goes.
class VersionBlock {
 public:
  explicit VersionBlock(const char* path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return;
    data_ = std::malloc(size);
    if (data_ == nullptr) return;
    if (!GetFileVersionInfoA(path, 0, size, data_)) {
      std::free(data_);
      data_ = nullptr;
    }
  }
  ~VersionBlock() { std::free(data_); }
  VersionBlock(const VersionBlock&) = delete;
  VersionBlock& operator=(const VersionBlock&) = delete;

  bool read() const { return data_ != nullptr; }
  // The item at subBlock and its length, or false.
  bool Query(const char* subBlock, void** item, UINT* length) const {
    return VerQueryValueA(data_, subBlock, item, length) != 0;
  }

 private:
  void* data_ = nullptr;
};

// The ProductVersion string of the block, or null.
const char* FindProductVersion(const VersionBlock& block) {
  void* item = nullptr;
  UINT length = 0;
  if (block.Query("\\VarFileInfo\\Translation", &item, &length) && length != 0) {
    // The first translation: language in the low 16 bits, code page in the high 16.
    const DWORD translation = *static_cast<const DWORD*>(item);
    char subBlock[64];
    std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%04X%04X\\ProductVersion",
                  static_cast<unsigned>(LOWORD(translation)), static_cast<unsigned>(HIWORD(translation)));
    return block.Query(subBlock, &item, &length) ? static_cast<const char*>(item) : nullptr;
  }
  for (const char* subBlock : {"\\StringFileInfo\\040904E4\\ProductVersion", "\\StringFileInfo\\040904B0\\ProductVersion"})
    if (block.Query(subBlock, &item, &length)) return static_cast<const char*>(item);
  return nullptr;
}

}  // namespace

uint64_t GetFixedFileVersion(const char* path) {
  VersionBlock block(path);
  if (!block.read()) return 0;
  void* item = nullptr;
  UINT length = 0;
  if (!block.Query("\\", &item, &length) || length < sizeof(VS_FIXEDFILEINFO)) return 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(item);
  return (uint64_t{fixed->dwFileVersionMS} << 32) | fixed->dwFileVersionLS;
}

int HasProductVersion5(const char* path) {
  VersionBlock block(path);
  if (!block.read()) return 0;
  const char* version = FindProductVersion(block);
  return version != nullptr && version[0] == '5';
}

int CommonControlsNeedUpdate() {
  HMODULE library = LoadLibraryA("comctl32.dll");
  if (library == nullptr) return 1;
  // Both are looked up, neither is called.
  FARPROC getVersion = GetProcAddress(library, "DllGetVersion");
  FARPROC initEx = GetProcAddress(library, "InitCommonControlsEx");
  FreeLibrary(library);
  if (getVersion == nullptr || initEx == nullptr) return 1;
  return static_cast<uint32_t>(GetFixedFileVersion("comctl32.dll") >> 32) < CommonControlsMinimumVersion;
}

void RunCommonControlsUpdate() {
  if (!CommonControlsNeedUpdate()) return;
  char package[MaxPathText];
  int length = std::snprintf(package, sizeof package, "%s\\50comupd.exe", SetupState.installFolder);
  if (length < 0 || length >= MaxPathText) return;
  if (GetFileAttributesA(package) == INVALID_FILE_ATTRIBUTES) return;

  SHELLEXECUTEINFOA execute = {};
  execute.cbSize = sizeof execute;
  execute.lpFile = package;
  execute.lpParameters = "/Q";
  execute.nShow = SW_SHOWNORMAL;
  execute.hInstApp = SetupState.instance;
  ShellExecuteExA(&execute);
  Sleep(UpdatePauseMs);
}
