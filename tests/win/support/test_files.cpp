#include "support/test_files.h"

#include <cstring>

#include "common/win_handles.h"

namespace {

// The folder of the running test program, with a trailing backslash (S:\ in the test prefix).
std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  char* slash = std::strrchr(path, '\\');
  if (slash) slash[1] = '\0';
  return path;
}

bool RunAndWait(std::string commandLine, DWORD timeoutMs, DWORD* exitCode) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  UniqueHandle process(info.hProcess), thread(info.hThread);
  if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(info.hProcess, 1);
    WaitForSingleObject(info.hProcess, 5000);
    return false;
  }
  GetExitCodeProcess(info.hProcess, exitCode);
  return true;
}

}  // namespace

std::optional<std::string> ReadFileBytes(const std::string& path) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return std::nullopt;
  DWORD size = GetFileSize(file.get(), nullptr);
  std::string bytes(size, '\0');
  DWORD read = 0;
  if (size && (!ReadFile(file.get(), bytes.data(), size, &read, nullptr) || read != size)) return std::nullopt;
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

std::vector<std::string> FolderFileNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  UniqueFind search(FindFirstFileA((folder + "\\*").c_str(), &found));
  if (!search) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search.get(), &found));
  return names;
}

std::string ProductFilePath(const std::string& name) { return "P:\\" + name; }

std::vector<std::string> PendingFileRenames() {
  std::vector<std::string> entries;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS)
    return entries;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      type == REG_MULTI_SZ) {
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size) == ERROR_SUCCESS) {
      // Pairs of strings; an empty target (a deletion) is an empty string, so split on every NUL
      // up to the end of the data, not at the first empty string.
      size_t count = size / sizeof(wchar_t);
      while (count && value[count - 1] == L'\0') --count;
      size_t begin = 0;
      for (size_t i = 0; i <= count; ++i) {
        if (i < count && value[i] != L'\0') continue;
        std::wstring wide = value.substr(begin, i - begin);
        char narrow[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow, sizeof narrow - 1, nullptr, nullptr);
        entries.push_back(narrow);
        begin = i + 1;
      }
    }
  }
  RegCloseKey(key);
  return entries;
}

bool IsReplacementPending(const std::string& target, const std::string& replacement) {
  std::vector<std::string> entries = PendingFileRenames();
  std::string source = "\\??\\" + replacement;
  std::string destination = "!\\??\\" + target;
  for (size_t i = 0; i + 1 < entries.size(); i += 2)
    if (lstrcmpiA(entries[i].c_str(), source.c_str()) == 0 && lstrcmpiA(entries[i + 1].c_str(), destination.c_str()) == 0)
      return true;
  return false;
}

bool RunRestartProcessing() {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, sizeof system);
  DWORD exitCode = 1;
  return RunAndWait(std::string(system) + "\\wineboot.exe -r", 60000, &exitCode);
}

HeldFile::HeldFile(const std::string& path) {
  char eventName[64];
  wsprintfA(eventName, "TwHeldFile%lu", GetCurrentProcessId());
  UniqueHandle heldEvent(CreateEventA(nullptr, TRUE, FALSE, eventName));
  if (!heldEvent) return;
  std::string commandLine = "\"" + ProgramFolder() + "hold_file.exe\" \"" + path + "\" " + eventName;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return;
  CloseHandle(info.hThread);
  HANDLE waits[2] = {heldEvent.get(), info.hProcess};
  if (WaitForMultipleObjects(2, waits, FALSE, 30000) != WAIT_OBJECT_0) {  // it ended or hung
    TerminateProcess(info.hProcess, 1);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hProcess);
    return;
  }
  process_ = info.hProcess;
}

HeldFile::~HeldFile() { Release(); }

void HeldFile::Release() {
  if (!process_) return;
  TerminateProcess(process_, 0);
  WaitForSingleObject(process_, 10000);
  CloseHandle(process_);
  process_ = nullptr;
}
