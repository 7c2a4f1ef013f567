#include "support/finish_support.h"

#include <algorithm>
#include <optional>

#include "support/setup_session.h"
#include "support/test_files.h"

const std::vector<std::string> FinishFiles = {"lattice.ocx", "modeng1.dll", "modeng2.dll",
                                              "modeng3.dll", "modeng4.dll", "50comupd.exe"};

const ModuleRegistration ModuleRegistrations[5] = {
    {"lattice.ocx", "HKEY_CLASSES_ROOT\\CLSID\\{7E1D4A60-3C2B-11d3-9A41-0040A7C2E51B}", "Tarnwick Lattice Control"},
    {"modeng1.dll", "HKEY_CLASSES_ROOT\\CLSID\\{7E1D4A61-3C2B-11d3-9A41-0040A7C2E51B}", "Tarnwick Module Engine 1"},
    {"modeng2.dll", "HKEY_CLASSES_ROOT\\CLSID\\{7E1D4A62-3C2B-11d3-9A41-0040A7C2E51B}", "Tarnwick Module Engine 2"},
    {"modeng3.dll", "HKEY_CLASSES_ROOT\\CLSID\\{7E1D4A63-3C2B-11d3-9A41-0040A7C2E51B}", "Tarnwick Module Engine 3"},
    {"modeng4.dll", "HKEY_CLASSES_ROOT\\CLSID\\{7E1D4A64-3C2B-11d3-9A41-0040A7C2E51B}", "Tarnwick Module Engine 4"},
};

// The output goes through a file, not a pipe: a service that the program happens to start
// inherits its handles and would hold a pipe open long after the program ended.
bool RunCaptured(const std::string& commandLine, const char* currentDirectory, DWORD timeoutMs, std::string* output,
                 DWORD* exitCode) {
  static int runs = 0;
  const std::string outputPath = "C:\\tw-captured-" + std::to_string(++runs) + ".txt";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE file = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = file;
  startup.hStdError = file;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info = {};
  std::string command = commandLine;
  BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, currentDirectory,
                                &startup, &info);
  CloseHandle(file);
  if (!started) return false;
  bool ended = WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(info.hProcess, 1);
  GetExitCodeProcess(info.hProcess, exitCode);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  *output = ReadFileBytes(outputPath).value_or("");
  return ended;
}

bool CopyProductFiles(const std::string& folder, const std::vector<std::string>& names) {
  if (!MakeFolders(folder.c_str())) return false;
  for (const std::string& name : names)
    if (!CopyFileA(ProductFilePath(name).c_str(), (folder + "\\" + name).c_str(), FALSE)) return false;
  return true;
}

bool RegisterUrlRecorder() {
  return PutRegistryText(HKEY_CLASSES_ROOT, "InternetShortcut\\shell\\open\\command", nullptr,
                         "\"S:\\url_recorder.exe\" \"%1\"");
}

std::string UpdatePackageLog() {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  return ReadFileBytes(std::string(folder) + "50comupd.log").value_or("");
}

std::vector<RegistryRow> ModuleRows(const ModuleRegistration& module, const std::string& folder) {
  const std::string server = std::string(module.classKey) + "\\InprocServer32";
  return {
      {module.classKey, true, "", "", ""},
      {module.classKey, false, "@", "REG_SZ", module.title},
      {server, true, "", "", ""},
      {server, false, "@", "REG_SZ", folder + "\\" + module.fileName},
      {server, false, "ThreadingModel", "REG_SZ", "Apartment"},
  };
}

std::string WaitForFileContent(const std::string& path, size_t minimumLines, DWORD timeoutMs) {
  for (DWORD waited = 0;; waited += 100) {
    std::optional<std::string> content = ReadFileBytes(path);
    if (content && size_t(std::count(content->begin(), content->end(), '\n')) >= minimumLines) return *content;
    if (waited >= timeoutMs) return content.value_or("");
    Sleep(100);
  }
}

void DeleteRegistryKeyTree(const std::string& key) {
  std::string output;
  DWORD exitCode = 0;
  RunCaptured("C:\\windows\\system32\\reg.exe delete \"" + key + "\" /f", nullptr, 30000, &output, &exitCode);
}

bool MakeWindowsShellKeys() {
  return PutRegistryKey(HKEY_CLASSES_ROOT, "Directory") && PutRegistryKey(HKEY_CLASSES_ROOT, "Drive");
}
