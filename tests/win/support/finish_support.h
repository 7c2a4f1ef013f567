// What the tests of the finishing steps share: programs run with their output captured, the
// product's registration modules and update package copied from P:, the recorder registered for
// internet shortcuts, and the registry rows that the modules write.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "support/registry_export.h"

// Runs commandLine with currentDirectory (null: ours), waits up to timeoutMs and returns true
// with its exit code and everything it wrote to its standard output.
bool RunCaptured(const std::string& commandLine, const char* currentDirectory, DWORD timeoutMs, std::string* output,
                 DWORD* exitCode);

// Copies file names (from P:) into folder, creating the folder. True when all were copied.
bool CopyProductFiles(const std::string& folder, const std::vector<std::string>& names);
// The five registration modules and 50comupd.exe.
extern const std::vector<std::string> FinishFiles;

// Makes S:\url_recorder.exe the program that opens internet shortcuts ("%1" quoted). It appends
// each received path and that file's content to UrlRecorderLog.
bool RegisterUrlRecorder();
constexpr char UrlRecorderLog[] = "C:\\url_recorder.log";

// The update package's record: one line of arguments per run.
std::string UpdatePackageLog();

// The class identifier key of each registration module, in list order (lattice.ocx first).
struct ModuleRegistration {
  const char* fileName;
  const char* classKey;  // "HKEY_CLASSES_ROOT\CLSID\{...}"
  const char* title;
};
extern const ModuleRegistration ModuleRegistrations[5];
// The rows a module registered from folder writes: its class key, title, server and model.
std::vector<RegistryRow> ModuleRows(const ModuleRegistration& module, const std::string& folder);

// Creates the empty HKEY_CLASSES_ROOT keys "Directory" and "Drive", which every Windows has and a
// fresh Wine prefix lacks.
bool MakeWindowsShellKeys();

// Deletes a key (full name, "HKEY_CURRENT_USER\...") with everything below it, through "reg".
void DeleteRegistryKeyTree(const std::string& key);

// Waits up to timeoutMs until path holds at least minimumLines lines; returns what it holds then
// (empty when it does not exist).
std::string WaitForFileContent(const std::string& path, size_t minimumLines, DWORD timeoutMs);
