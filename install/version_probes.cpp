// Version probes through the version library, and the common-controls update.
#include "install/version_probes.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <new>

#include "common/format_text.h"
#include "common/win_handles.h"
#include "setup/setup_state.h"

namespace {

constexpr DWORD UpdatePauseMs = 5000;

// A file's whole version-information block (the size the system reports), or null when the file
// has none, the allocation fails or the block cannot be read.
std::unique_ptr<BYTE[]> ReadVersionBlock(const char* path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return nullptr;
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size]);
  if (block == nullptr || !GetFileVersionInfoA(path, 0, size, block.get())) return nullptr;
  return block;
}

bool Query(const std::unique_ptr<BYTE[]>& block, const char* subBlock, void** item, UINT* length) {
  return VerQueryValueA(block.get(), subBlock, item, length) != 0;
}

// The ProductVersion string of the block, or null.
const char* FindProductVersion(const std::unique_ptr<BYTE[]>& block) {
  void* item = nullptr;
  UINT length = 0;
  if (Query(block, "\\VarFileInfo\\Translation", &item, &length) && length != 0) {
    // The first translation: language in the low 16 bits, code page in the high 16.
    const DWORD translation = *static_cast<const DWORD*>(item);
    char subBlock[64];
    FormatText(subBlock, sizeof subBlock, "\\StringFileInfo\\%04X%04X\\ProductVersion",
               static_cast<unsigned>(LOWORD(translation)), static_cast<unsigned>(HIWORD(translation)));
    return Query(block, subBlock, &item, &length) ? static_cast<const char*>(item) : nullptr;
  }
  for (const char* subBlock : {"\\StringFileInfo\\040904E4\\ProductVersion", "\\StringFileInfo\\040904B0\\ProductVersion"})
    if (Query(block, subBlock, &item, &length)) return static_cast<const char*>(item);
  return nullptr;
}

}  // namespace

uint64_t GetFixedFileVersion(const char* path) {
  const std::unique_ptr<BYTE[]> block = ReadVersionBlock(path);
  if (block == nullptr) return 0;
  void* item = nullptr;
  UINT length = 0;
  if (!Query(block, "\\", &item, &length) || length < sizeof(VS_FIXEDFILEINFO)) return 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(item);
  return (uint64_t{fixed->dwFileVersionMS} << 32) | fixed->dwFileVersionLS;
}

int HasProductVersion5(const char* path) {
  const std::unique_ptr<BYTE[]> block = ReadVersionBlock(path);
  if (block == nullptr) return 0;
  const char* version = FindProductVersion(block);
  return version != nullptr && version[0] == '5';
}

int CommonControlsNeedUpdate() {
  {
    UniqueModule library(LoadLibraryA("comctl32.dll"));
    if (!library) return 1;
    // Both are looked up, neither is called.
    FARPROC getVersion = GetProcAddress(library.get(), "DllGetVersion");
    FARPROC initEx = GetProcAddress(library.get(), "InitCommonControlsEx");
    if (getVersion == nullptr || initEx == nullptr) return 1;
  }
  return static_cast<uint32_t>(GetFixedFileVersion("comctl32.dll") >> 32) < CommonControlsMinimumVersion;
}

void RunCommonControlsUpdate() {
  if (!CommonControlsNeedUpdate()) return;
  char package[MaxPathText];
  int length = FormatText(package, sizeof package, "%s\\50comupd.exe", SetupState.installFolder);
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
