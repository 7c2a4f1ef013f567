// copy_bench: the installation run against a plain write of the same files.
// Times a whole InstallWorker run (from the thread's start to WM_SETUP_DONE, a hidden window
// playing the copy page) into an empty folder, and writing the 318 product files, read from P:
// into memory first, with CreateFileA and one WriteFile each into another empty folder.
// Five rounds, alternating; the best time of each counts. Exit code 0 when every run completed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "install/payload_catalogue.h"
#include "setup/setup_state.h"
#include "support/copy_page_stand_in.h"
#include "support/test_files.h"

namespace {

constexpr int Rounds = 5;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

void RemoveFolder(const std::string& folder) {
  for (const std::string& name : FolderFileNames(folder)) DeleteFileA((folder + "\\" + name).c_str());
  RemoveDirectoryA(folder.c_str());
}

// Writes every file into folder; returns the seconds taken, or a negative number on a failure.
double WritePlain(const std::string& folder, const std::vector<std::string>& contents) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  if (!CreateDirectoryA(folder.c_str(), nullptr)) return -1;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    std::string path = folder + "\\" + GetPayloadEntry(i).fileName;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, contents[i].data(), static_cast<DWORD>(contents[i].size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != contents[i].size()) return -1;
  }
  QueryPerformanceCounter(&end);
  return Seconds(start, end);
}

// One installation run into folder; returns the seconds to WM_SETUP_DONE, or a negative number
// when the run did not complete.
double RunCopy(const std::string& folder) {
  std::strcpy(SetupState.installFolder, folder.c_str());
  InstallRunScript script;
  script.visible = false;
  InstallRunRecord record = RunInstallWorker(script);
  if (!record.finished || record.done != std::vector<int>{1} || !record.boxes.empty()) return -1;
  return record.secondsToDone;
}

}  // namespace

int main() {
  std::vector<std::string> contents(PayloadEntryCount);
  double megabytes = 0;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    std::optional<std::string> bytes = ReadFileBytes(ProductFilePath(GetPayloadEntry(i).fileName));
    if (!bytes) {
      std::printf("copy_bench: cannot read the product file %s\n", GetPayloadEntry(i).fileName);
      return 1;
    }
    contents[i] = std::move(*bytes);
    megabytes += contents[i].size() / 1e6;
  }
  CreateDirectoryA("C:\\Bench", nullptr);

  double bestCopy = 1e9, bestPlain = 1e9;
  for (int round = 1; round <= Rounds; ++round) {
    std::string copyFolder = "C:\\Bench\\run" + std::to_string(round);
    std::string plainFolder = "C:\\Bench\\plain" + std::to_string(round);
    double copy = RunCopy(copyFolder);
    double plain = WritePlain(plainFolder, contents);
    if (copy < 0 || plain < 0) {
      std::printf("copy_bench: round %d failed (%s)\n", round, copy < 0 ? "copy run" : "plain write");
      return 1;
    }
    std::printf("round %d: copy run %.3f s, plain write %.3f s\n", round, copy, plain);
    bestCopy = std::min(bestCopy, copy);
    bestPlain = std::min(bestPlain, plain);
    RemoveFolder(copyFolder);
    RemoveFolder(plainFolder);
  }
  std::printf("%d files, %.1f MB installed\n", PayloadEntryCount, megabytes);
  std::printf("copy run (InstallWorker to WM_SETUP_DONE): %.3f s  %.1f MB/s\n", bestCopy, megabytes / bestCopy);
  std::printf("plain write of the same files:             %.3f s  %.1f MB/s\n", bestPlain, megabytes / bestPlain);
  std::printf("ratio copy run / plain write: %.2f (goal: at most 1.50)\n", bestCopy / bestPlain);
  return 0;
}
