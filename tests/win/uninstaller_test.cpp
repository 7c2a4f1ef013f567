// The uninstaller where a removal does not go straight through: an installation whose entry
// holds a command longer than a path, a removal stopped half-way, files that can be neither
// deleted nor scheduled. Each is removed in the end by running the entry's command again.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/win_handles.h"
#include "registry/uninstall_entry.h"
#include "support/installation.h"
#include "support/process_threads.h"
#include "support/setup_session.h"
#include "support/test_files.h"
#include "support/uninstaller_runs.h"

namespace {

constexpr const char* Folder = DefaultInstallFolder;
constexpr int InstalledFileCount = 320;  // the catalogue's 318 files and the two ".url" files
constexpr char SessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char PendingRenames[] = "PendingFileRenameOperations";

std::string InFolder(const char* name) { return std::string(Folder) + "\\" + name; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The id of a running child of parentId, 0 while there is none.
DWORD ChildProcessId(DWORD parentId) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  DWORD child = 0;
  for (BOOL more = Process32First(snapshot, &entry); more && child == 0; more = Process32Next(snapshot, &entry))
    if (entry.th32ParentProcessID == parentId && entry.th32ProcessID != parentId) child = entry.th32ProcessID;
  CloseHandle(snapshot);
  return child;
}

// ---- A command longer than a path ----

// A folder whose uninstall command ("\"F\uninstal.exe\" F") is about twice a path's length. It
// is as long as the product's longest file name ("TrackLister.exe") lets every file's path be.
TEST(UninstallerLongFolder, RemovesAnInstallationWhoseEntryHoldsALongCommand) {
  std::string folder = "C:\\Program Files\\KELM\\";
  folder += std::string(243 - folder.size(), 'T');
  ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELM\\Tarnwick\\CurrentVersion", "InstallDir",
                              folder.c_str()));
  InstallLikeAUser(nullptr);
  if (HasFatalFailure()) return;
  ASSERT_EQ(FolderFileNames(folder).size(), static_cast<size_t>(InstalledFileCount));
  ASSERT_GT(UninstallEntryCommand().size(), 2 * folder.size());

  const std::string result = UninstallFromTheListOfPrograms();
  EXPECT_NE(result.find("has been removed"), std::string::npos) << result;
  EXPECT_FALSE(Exists(folder));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallEntryPath));
}

// ---- A removal that did not finish ----

struct UnfinishedCase {
  const char* what;
  // The copy that removes is stopped after the registry and two thirds of the files; otherwise one file
  // is held open and the system refuses to delete it at the next restart.
  bool stopped;
};

void PrintTo(const UnfinishedCase& c, std::ostream* out) { *out << c.what; }

class UnfinishedRemoval : public testing::TestWithParam<UnfinishedCase> {};

// Holds the copy's threads still as soon as it runs and lets it go on in small steps until the
// registry is gone and no more than a third of the files are left, then ends it.
void StopCopyHalfWay(const LaunchedProgram& original) {
  DWORD copyId = 0;
  for (int i = 0; i < 20000 && copyId == 0; ++i) copyId = ChildProcessId(original.processId);
  ASSERT_NE(copyId, 0u) << "the copy did not start";
  SuspendedThreads copy;
  ASSERT_TRUE(copy.SuspendNewThreads(copyId, {}));
  for (int step = 0; step < 20000; ++step) {
    if (!RegistryKeyExists(HKEY_CLASSES_ROOT, ".TWC") && FolderFileNames(Folder).size() <= InstalledFileCount / 3)
      break;
    copy.Step(500);
  }
  UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, copyId));
  ASSERT_TRUE(process);
  ASSERT_TRUE(TerminateProcess(process.get(), 9));
  copy.Resume();
  ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
}

// A value of the wrong type where the system keeps its delayed deletions: it refuses every new one.
bool SpoilDelayedDeletions() {
  UniqueKey key;
  const DWORD notAList = 1;
  return RegCreateKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                         nullptr) == ERROR_SUCCESS &&
         RegSetValueExA(key.get(), PendingRenames, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&notAList),
                        sizeof notAList) == ERROR_SUCCESS;
}

TEST_P(UnfinishedRemoval, KeepsTheEntryAndItsProgramsAndIsFinishedByTheEntryAgain) {
  const UnfinishedCase& c = GetParam();
  InstallLikeAUser(nullptr);
  if (HasFatalFailure()) return;
  const std::string command = UninstallEntryCommand();
  ASSERT_FALSE(command.empty());
  std::unique_ptr<HeldFile> holder;
  if (!c.stopped) {
    holder = std::make_unique<HeldFile>(InFolder("TWCfg.dll"));
    ASSERT_TRUE(holder->held());
    ASSERT_TRUE(SpoilDelayedDeletions());
  }

  // The entry's command, run so that its exit code is seen.
  LaunchedProgram original;
  ASSERT_TRUE(LaunchCommandLine(command.c_str(), nullptr, original));
  HWND question = WaitForUninstallerBox("Do you want to remove");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0));
  if (c.stopped) {
    StopCopyHalfWay(original);
    if (HasFatalFailure()) return;
  } else {
    HWND result = WaitForUninstallerBox("could not be removed completely");
    ASSERT_NE(result, nullptr);
    const std::string text = MessageText(result);
    EXPECT_NE(text.find("1 file(s) in \"" + std::string(Folder) +
                        "\" could be neither deleted nor marked for deletion at the next restart: TWCfg.dll."),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("stays in the list of installed programs"), std::string::npos) << text;
    AnswerBox(result, IDOK);
  }
  DWORD exitCode = 0;
  ASSERT_TRUE(WaitForExit(original, 20000, &exitCode));
  EXPECT_EQ(exitCode, 3u);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".TWC"));
  EXPECT_LT(FolderFileNames(Folder).size(), static_cast<size_t>(InstalledFileCount));
  EXPECT_TRUE(Exists(InFolder("TWExplo.exe")));
  EXPECT_TRUE(Exists(InFolder("UnInstal.exe")));
  EXPECT_EQ(UninstallEntryCommand(), command);

  // What kept it is gone; the entry's command again removes the rest.
  holder.reset();
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, SessionManager, PendingRenames);
  const std::string result = UninstallFromTheListOfPrograms();
  EXPECT_NE(result.find("has been removed"), std::string::npos) << result;
  EXPECT_FALSE(Exists(Folder));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallEntryPath));
}

const UnfinishedCase UnfinishedCases[] = {
    {"stopped_after_the_registry_and_most_files", true},
    {"a_held_file_that_cannot_be_scheduled", false},
};
INSTANTIATE_TEST_SUITE_P(Cases, UnfinishedRemoval, testing::ValuesIn(UnfinishedCases),
                         [](const testing::TestParamInfo<UnfinishedCase>& info) { return info.param.what; });

}  // namespace
