// The end of the program during an installation run: the real worker writing real files, once
// left to finish its current file, once held still inside a large file (the slowest of writes)
// until the wait is over. No file may stay under its real name unfinished.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/active_run.h"
#include "install/install_worker.h"
#include "install/payload_catalogue.h"
#include "setup/setup_state.h"
#include "support/test_files.h"

namespace {

constexpr char Folder[] = "C:\\Run End\\Tarnwick";
constexpr uint32_t LargeEntry = 200000;  // bytes: written in several pieces

int EntryIndex(const char* path) {
  const char* slash = std::strrchr(path, '\\');
  for (int i = 0; slash && i < PayloadEntryCount; ++i)
    if (std::strcmp(slash + 1, GetPayloadEntry(i).fileName) == 0) return i;
  return -1;
}

// Starts a run that reports to no window (its messages go nowhere) and keeps it as the active
// run, as the copy page does.
HANDLE StartRun() {
  SetupState.instance = GetModuleHandleA(nullptr);
  SetupState.copyPageWindow = nullptr;
  SetupState.cancelRequested = 0;
  ActiveRun.ending = 0;
  std::strcpy(SetupState.installFolder, Folder);
  HANDLE worker = CreateThread(nullptr, 5000, InstallWorker, nullptr, 0, nullptr);
  KeepWorkerThread(worker);
  return worker;
}

void HoldStill(HANDLE thread) {
  SuspendThread(thread);
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_CONTROL;
  GetThreadContext(thread, &context);  // returns once the suspension holds
}

// Waits until the worker is inside the file of an entry from firstEntry on, of at least
// minimumSize bytes and partly written, and holds it there when hold is set. Nothing is
// allocated while the worker is held (it might hold the heap's lock), and a file with some but
// not all of its bytes is being decoded, not being set up or closed. Returns the file's path.
std::string CatchInsideFile(HANDLE worker, int firstEntry, uint32_t minimumSize, bool hold) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
    if (WaitForSingleObject(worker, 0) == WAIT_OBJECT_0) return "";
    if (!ActiveRun.fileHandle) continue;
    HoldStill(worker);
    char path[MaxPathText] = {};
    HANDLE file = ActiveRun.fileHandle;
    if (file) std::memcpy(path, ActiveRun.filePath, sizeof path);
    int entry = file ? EntryIndex(path) : -1;
    DWORD size = file ? GetFileSize(file, nullptr) : 0;
    if (entry >= firstEntry && GetPayloadEntry(entry).installedSize >= minimumSize &&
        (minimumSize == 0 || (size > 0 && size < GetPayloadEntry(entry).installedSize))) {
      if (!hold) ResumeThread(worker);
      return path;
    }
    ResumeThread(worker);
  }
  return "";
}

struct Case {
  const char* what;
  bool holdWorker;
  DWORD waitMs;
  int result;
};

TEST(RunEnd, NoFileStaysUnfinishedUnderItsRealName) {
  const Case cases[] = {
      {"a worker that finishes its current file in time", false, RunEndWaitMs, 1},
      {"a worker held inside a large file beyond the wait", true, 1000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HANDLE worker = StartRun();
    ASSERT_NE(worker, nullptr);
    std::string current = CatchInsideFile(worker, 5, c.holdWorker ? LargeEntry : 0, c.holdWorker);
    ASSERT_FALSE(current.empty()) << "the run was not caught inside a file";

    DWORD start = GetTickCount();
    EXPECT_EQ(EndActiveRun(c.waitMs), c.result);
    DWORD waited = GetTickCount() - start;
    EXPECT_EQ(SetupState.cancelRequested, 1);
    if (c.holdWorker) {
      EXPECT_GE(waited, c.waitMs - 20);
      EXPECT_FALSE(ReadFileBytes(current)) << current << " stayed unfinished";
      TerminateThread(worker, 1);
    } else {
      EXPECT_LT(waited, c.waitMs);
      EXPECT_EQ(WaitForSingleObject(worker, 0), DWORD(WAIT_OBJECT_0)) << "the worker still runs";
    }
    // Whatever is in the folder is whole, and the run did not go on to the end.
    int present = 0;
    for (const std::string& name : FolderFileNames(Folder)) {
      std::optional<std::string> written = ReadFileBytes(std::string(Folder) + "\\" + name);
      EXPECT_TRUE(written == ReadFileBytes(ProductFilePath(name))) << name << " differs from the product file";
      ++present;
    }
    EXPECT_GE(present, 5);
    EXPECT_LT(present, PayloadEntryCount);
    for (const std::string& name : FolderFileNames(Folder)) DeleteFileA((std::string(Folder) + "\\" + name).c_str());
  }
}

}  // namespace
