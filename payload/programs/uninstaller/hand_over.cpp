// The hand-over between the uninstaller in the install folder (the original) and its copy in a
// folder of its own under the temporary folder.
//
// The original shares a small block of memory with the copy (an inheritable section whose handle
// value is on the copy's command line). It holds a random one-time token that is also on the
// command line, the original's process handle and an event, both inherited. A command line alone
// cannot name such a block, so nobody but the original hands a removal over without the question.
// The copy removes everything but the original's own file, puts the result in the block and sets
// the event; the original ends with that result, and then the copy deletes the original's file.
#include "payload/programs/uninstaller/hand_over.h"

#include <windows.h>

#include <cstring>

#include "common/format_text.h"
#include "common/procedures.h"
#include "common/win_handles.h"
#include "install/replace_at_restart.h"
#include "setup/setup_state.h"

namespace {

constexpr DWORD OriginalEndWaitMs = 10000;
constexpr int IncompleteExitCode = 3;

// The shared block. Handle values are kept as 64-bit numbers: the same in 32- and 64-bit builds.
struct HandOverBlock {
  char token[HandOverTokenLength + 1];
  LONG result;
  unsigned long long original;  // the original's process, SYNCHRONIZE
  unsigned long long resultSet;   // a manual-reset event
};

HandOverBlock* acceptedBlock = nullptr;  // in the copy, after AcceptHandOver

// size random bytes; the system's generator where it has one, otherwise what varies from run to
// run mixed together.
void RandomBytes(unsigned char* out, ULONG size) {
  using GenRandomProc = BOOLEAN(WINAPI*)(void*, ULONG);
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  auto genRandom = advapi != nullptr ? FindProcedure<GenRandomProc>(advapi, "SystemFunction036") : nullptr;
  if (genRandom != nullptr && genRandom(out, size)) return;
  LARGE_INTEGER counter = {};
  QueryPerformanceCounter(&counter);
  unsigned long long state = static_cast<unsigned long long>(counter.QuadPart) ^ GetTickCount() ^
                             (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                             reinterpret_cast<ULONG_PTR>(&counter);
  for (ULONG i = 0; i < size; ++i) {
    state += 0x9E3779B97F4A7C15ull;  // splitmix64
    unsigned long long z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    out[i] = static_cast<unsigned char>(z ^ (z >> 31));
  }
}

// length random hexadecimal digits and a terminating zero.
void RandomHex(char* text, size_t length) {
  unsigned char bytes[HandOverTokenLength / 2];
  RandomBytes(bytes, static_cast<ULONG>(length / 2));
  for (size_t i = 0; i < length; ++i) text[i] = "0123456789abcdef"[(bytes[i / 2] >> (i % 2 ? 0 : 4)) & 15];
  text[length] = '\0';
}

// A new folder "TWUnXXXXXXXX" in the temporary folder and the copy's path in it; false when the
// folder exists or cannot be made.
bool MakeCopyFolder(char* copyFolder, char* copy) {
  char tempFolder[MaxPathText];
  char name[9];
  DWORD length = GetTempPathA(sizeof tempFolder, tempFolder);
  if (length == 0 || length >= sizeof tempFolder) return false;
  RandomHex(name, 8);
  int written = FormatText(copyFolder, MaxPathText, "%sTWUn%s", tempFolder, name);
  if (written < 0 || written >= MaxPathText) return false;
  written = FormatText(copy, MaxPathText, "%s\\UnInstal.exe", copyFolder);
  return written > 0 && written < MaxPathText && CreateDirectoryA(copyFolder, nullptr);
}

bool Inheritable(HANDLE source, DWORD access, HANDLE* inherited) {
  return DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), inherited, access, TRUE, 0) != FALSE;
}

}  // namespace

void NarrowLibrarySearch() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  using SetDllDirectoryProc = BOOL(WINAPI*)(LPCSTR);
  using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
  constexpr DWORD SearchDefaultDirs = 0x00001000;  // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
  if (auto setDllDirectory = FindProcedure<SetDllDirectoryProc>(kernel, "SetDllDirectoryA")) setDllDirectory("");
  if (auto setDefault = FindProcedure<SetDefaultDllDirectoriesProc>(kernel, "SetDefaultDllDirectories"))
    setDefault(SearchDefaultDirs);
}

bool RunTemporaryCopy(const char* folder, int* exitCode) {
  char self[MaxPathText];
  char systemFolder[MaxPathText];
  char copyFolder[MaxPathText];
  char copy[MaxPathText];
  DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length >= sizeof self) return false;
  length = GetSystemDirectoryA(systemFolder, sizeof systemFolder);
  if (length == 0 || length >= sizeof systemFolder || !MakeCopyFolder(copyFolder, copy)) return false;
  if (!CopyFileA(self, copy, TRUE)) {
    RemoveDirectoryA(copyFolder);
    return false;
  }

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  UniqueHandle section(CreateFileMappingA(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0, sizeof(HandOverBlock),
                                          nullptr));
  UniqueHandle resultSet(CreateEventA(&inherit, TRUE, FALSE, nullptr));
  HANDLE original = nullptr;
  if (section && resultSet && Inheritable(GetCurrentProcess(), SYNCHRONIZE, &original)) {
    UniqueHandle ownProcess(original);
    auto* block = static_cast<HandOverBlock*>(MapViewOfFile(section.get(), FILE_MAP_WRITE, 0, 0, sizeof(HandOverBlock)));
    if (block != nullptr) {
      RandomHex(block->token, HandOverTokenLength);
      block->result = IncompleteExitCode;
      block->original = reinterpret_cast<ULONG_PTR>(original);
      block->resultSet = reinterpret_cast<ULONG_PTR>(resultSet.get());
      char commandLine[2 * MaxPathText + 64];
      int written = FormatText(commandLine, sizeof commandLine, "\"%s\" /WAIT:%lu:%s %s", copy,
                               static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(section.get())),
                               block->token, folder);
      STARTUPINFOA startup = {};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION started = {};
      if (written > 0 && written < static_cast<int>(sizeof commandLine) &&
          CreateProcessA(copy, commandLine, nullptr, nullptr, TRUE, 0, nullptr, systemFolder, &startup, &started)) {
        CloseHandle(started.hThread);
        UniqueHandle copyProcess(started.hProcess);
        HANDLE ends[] = {resultSet.get(), copyProcess.get()};
        WaitForMultipleObjects(2, ends, FALSE, INFINITE);
        *exitCode = static_cast<int>(block->result);
        UnmapViewOfFile(block);
        return true;
      }
      UnmapViewOfFile(block);
    }
  }
  DeleteFileA(copy);
  RemoveDirectoryA(copyFolder);
  return false;
}

bool AcceptHandOver(const UninstallArguments& arguments) {
  if (arguments.handOver == 0) return false;
  HANDLE section = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(arguments.handOver));
  auto* block = static_cast<HandOverBlock*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, sizeof(HandOverBlock)));
  if (block == nullptr) return false;
  const bool same = std::memcmp(block->token, arguments.token, HandOverTokenLength) == 0 &&
                    block->token[HandOverTokenLength] == '\0';
  if (!same) {
    UnmapViewOfFile(block);
    return false;
  }
  std::memset(block->token, 0, sizeof block->token);
  acceptedBlock = block;
  return true;
}

void HandBackResult(int exitCode) {
  if (acceptedBlock == nullptr) return;
  HANDLE original = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(acceptedBlock->original));
  HANDLE resultSet = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(acceptedBlock->resultSet));
  acceptedBlock->result = exitCode;
  SetEvent(resultSet);
  WaitForSingleObject(original, OriginalEndWaitMs);
  CloseHandle(original);
  CloseHandle(resultSet);
  UnmapViewOfFile(acceptedBlock);
  acceptedBlock = nullptr;
}

void DeleteCopyAtRestart() {
  char self[MaxPathText];
  DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length >= sizeof self) return;
  DeleteAtRestart(self);
  char* separator = std::strrchr(self, '\\');
  if (separator == nullptr) return;
  *separator = '\0';
  if (SetupState.isNT) DeleteAtRestart(self);  // the folder, after its file; the 9x start-up deletes files only
}
