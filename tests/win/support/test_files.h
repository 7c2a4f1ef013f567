// Files, folders and processes for the installation tests: real files in the test prefix.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);
// Creates or truncates path and writes bytes. Returns true when all were written.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Names of the files (not folders) directly in folder, as the file system stores them.
std::vector<std::string> FolderFileNames(const std::string& folder);
// The product file that entry name installs: P:\NAME.
std::string ProductFilePath(const std::string& name);

// Entries of PendingFileRenameOperations (NT delayed moves), in order: source, then target
// ("!" in front when an existing file is replaced), for each request.
std::vector<std::string> PendingFileRenames();
// True when a delayed move of replacement onto target (replacing it) is pending.
bool IsReplacementPending(const std::string& target, const std::string& replacement);
// Carries out what a restart of Windows does with pending moves (wineboot -r). True when it ran.
bool RunRestartProcessing();

// A file held open by another process (tools/hold_file.exe) with no sharing, until destroyed.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool held() const { return process_ != nullptr; }
  void Release();  // ends the holding process and waits for it

 private:
  HANDLE process_ = nullptr;
};
