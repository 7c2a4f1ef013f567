// The installation run under Wine: InstallWorker writes the catalogue into real folders and
// reports to a stand-in copy page; files in use are held by another process.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "install/payload_catalogue.h"
#include "setup/setup_state.h"
#include "support/copy_page_stand_in.h"
#include "support/test_files.h"

namespace {

const char CopyCanceled[] = "Copy Canceled";
const char UpdatingRegistry[] = "Updating Registry";
const char CopyErrorCaption[] = "Copy Error";

std::string CopyingText(const char* name) { return std::string("Copying: ") + name; }

std::string CopyErrorText(const std::string& name, const std::string& folder) {
  return "An error occurred copying " + name + " to the folder " + folder +
         " (this file might be currently in use or the floppy might not be accessible).  "
         "Would you like to try copying the file again?";
}

std::string EntryName(int i) { return GetPayloadEntry(i).fileName; }

std::string InFolder(const std::string& name) { return std::string(SetupState.installFolder) + "\\" + name; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// True when the file at path holds exactly the product file of entry i.
::testing::AssertionResult HoldsProductFile(const std::string& path, int i) {
  std::optional<std::string> written = ReadFileBytes(path);
  std::optional<std::string> product = ReadFileBytes(ProductFilePath(EntryName(i)));
  if (!product) return ::testing::AssertionFailure() << "no product file for " << EntryName(i);
  if (!written) return ::testing::AssertionFailure() << path << " cannot be read";
  if (*written != *product)
    return ::testing::AssertionFailure() << path << " differs from the product file (" << written->size() << " bytes, "
                                         << product->size() << " expected)";
  return ::testing::AssertionSuccess();
}

// Entries [first, last) are installed under their own names with the product's bytes.
void ExpectEntriesInstalled(int first, int last) {
  for (int i = first; i < last; ++i) EXPECT_TRUE(HoldsProductFile(InFolder(EntryName(i)), i)) << "entry " << i;
}

void ExpectEntriesMissing(int first, int last) {
  for (int i = first; i < last; ++i) EXPECT_FALSE(Exists(InFolder(EntryName(i)))) << EntryName(i);
}

// The reports of entries [0, count): IDS_COPYING_FILE with the entry's name, in catalogue order.
void ExpectEntryReports(const InstallRunRecord& record, int count) {
  ASSERT_GE(record.progress.size(), size_t(count));
  for (int i = 0; i < count; ++i) EXPECT_EQ(record.progress[i].text, CopyingText(GetPayloadEntry(i).fileName));
}

// A run that ended between two entries or from the error message: 0 with "Copy Canceled", then
// WM_SETUP_DONE with 0, and no finishing step.
void ExpectStoppedRun(const InstallRunRecord& record) {
  ASSERT_TRUE(record.finished);
  ASSERT_FALSE(record.progress.empty());
  EXPECT_EQ(record.progress.back().percent, 0u);
  EXPECT_EQ(record.progress.back().text, CopyCanceled);
  EXPECT_EQ(record.done, std::vector<int>{0});
  for (const ProgressReport& report : record.progress) EXPECT_NE(report.percent, 100u);
}

void ExpectCompletedRun(const InstallRunRecord& record, size_t reports) {
  ASSERT_TRUE(record.finished);
  ASSERT_EQ(record.progress.size(), reports);
  EXPECT_EQ(record.progress.back().percent, 100u);
  EXPECT_EQ(record.progress.back().text, UpdatingRegistry);
  EXPECT_EQ(record.done, std::vector<int>{1});
}

class InstallRun : public ::testing::Test {
 protected:
  // A folder of its own per test, also when the tests share one prefix.
  void SetUp() override {
    root_ = std::string("C:\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    SetFolder(root_ + "\\Tarnwick");
    SetupState.isNT = 1;  // Wine reports an NT-family system
    SetupState.restartNeeded = 0;
  }
  static void SetFolder(const std::string& folder) {
    ASSERT_LT(folder.size(), sizeof SetupState.installFolder);
    std::strcpy(SetupState.installFolder, folder.c_str());
  }
  static void MakeFolder() {
    CreateDirectoryA(root_.c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryA(SetupState.installFolder, nullptr));
  }
  static inline std::string root_;
};

// An entry in the middle of the catalogue, for the files in use.
constexpr int HeldEntry = 20;

}  // namespace

TEST_F(InstallRun, EmptyFolderReceivesEveryFileWithOrderedProgress) {
  SetFolder(root_ + "\\Program Files\\KELM\\Tarnwick");  // no level of it exists yet
  InstallRunRecord record = RunInstallWorker();

  ExpectCompletedRun(record, PayloadEntryCount + 1);
  EXPECT_TRUE(record.boxes.empty());
  ExpectEntryReports(record, PayloadEntryCount);
  EXPECT_EQ(record.progress.front().percent, 0u);
  EXPECT_EQ(record.progress[PayloadEntryCount - 1].percent, 99u);
  // Each entry is reported at the share of the installed bytes written before it.
  double total = 0, before = 0;
  for (int i = 0; i < PayloadEntryCount; ++i) total += GetPayloadEntry(i).installedSize;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    EXPECT_EQ(record.progress[i].percent, uint32_t(before * 100 / total)) << "entry " << i;
    if (i > 0) {
      EXPECT_GE(record.progress[i].percent, record.progress[i - 1].percent);
    }
    before += GetPayloadEntry(i).installedSize;
  }

  // Exactly the catalogue's files, byte for byte, named in the catalogue's letter case.
  std::vector<std::string> names = FolderFileNames(SetupState.installFolder);
  std::set<std::string> expected;
  for (int i = 0; i < PayloadEntryCount; ++i) expected.insert(EntryName(i));
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
  ExpectEntriesInstalled(0, PayloadEntryCount);
  EXPECT_EQ(SetupState.restartNeeded, 0);
}

TEST_F(InstallRun, EarlierInstallationIsReplacedInTheCatalogueLetterCase) {
  MakeFolder();
  for (int i = 0; i < PayloadEntryCount; ++i) {
    std::string upper = EntryName(i);
    CharUpperA(upper.data());
    ASSERT_TRUE(WriteFileBytes(InFolder(upper), "version 4.0 file"));
  }
  InstallRunRecord record = RunInstallWorker();

  ExpectCompletedRun(record, PayloadEntryCount + 1);
  std::vector<std::string> names = FolderFileNames(SetupState.installFolder);
  ASSERT_EQ(names.size(), size_t(PayloadEntryCount));
  for (int i = 0; i < PayloadEntryCount; ++i) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(InFolder(EntryName(i)).c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_STREQ(found.cFileName, EntryName(i).c_str());
  }
  ExpectEntriesInstalled(0, PayloadEntryCount);
  EXPECT_EQ(SetupState.restartNeeded, 0);
}

TEST_F(InstallRun, FileHeldByAnotherProcessIsWrittenAsNewAndReplacedAtRestart) {
  MakeFolder();
  std::string target = InFolder(EntryName(HeldEntry));
  std::string replacement = target + ".new";
  ASSERT_TRUE(WriteFileBytes(target, "the running version"));
  HeldFile held(target);
  ASSERT_TRUE(held.held());

  InstallRunRecord record = RunInstallWorker();
  held.Release();

  ExpectCompletedRun(record, PayloadEntryCount + 1);
  EXPECT_TRUE(record.boxes.empty());
  ExpectEntryReports(record, PayloadEntryCount);
  EXPECT_EQ(SetupState.restartNeeded, 1);
  EXPECT_EQ(ReadFileBytes(target), std::optional<std::string>("the running version"));
  EXPECT_TRUE(HoldsProductFile(replacement, HeldEntry));
  EXPECT_TRUE(IsReplacementPending(target, replacement));
  ExpectEntriesInstalled(0, HeldEntry);
  ExpectEntriesInstalled(HeldEntry + 1, PayloadEntryCount);

  ASSERT_TRUE(RunRestartProcessing());
  EXPECT_TRUE(HoldsProductFile(target, HeldEntry));
  EXPECT_FALSE(Exists(replacement));
}

TEST_F(InstallRun, LeftoverNewFileAsksYesRepeatsTheEntryNoSkipsIt) {
  MakeFolder();
  std::string target = InFolder(EntryName(HeldEntry));
  ASSERT_TRUE(WriteFileBytes(target, "the running version"));
  ASSERT_TRUE(WriteFileBytes(target + ".new", "left from an earlier run"));
  HeldFile held(target);
  ASSERT_TRUE(held.held());

  InstallRunScript script;
  script.answers = {IDYES, IDNO};
  InstallRunRecord record = RunInstallWorker(script);
  held.Release();

  // The entry is reported, fails, is reported again after Yes, fails again and is skipped.
  ExpectCompletedRun(record, PayloadEntryCount + 2);
  ASSERT_EQ(record.boxes.size(), 2u);
  for (const CopyErrorBox& box : record.boxes) {
    EXPECT_EQ(box.caption, CopyErrorCaption);
    EXPECT_EQ(box.text, CopyErrorText(EntryName(HeldEntry), SetupState.installFolder));
    EXPECT_EQ(box.owner, record.sheet);  // the copy page's top-level window
  }
  EXPECT_EQ(record.boxes[0].progressBefore, size_t(HeldEntry + 1));
  EXPECT_EQ(record.boxes[1].progressBefore, size_t(HeldEntry + 2));
  EXPECT_EQ(record.progress[HeldEntry].text, record.progress[HeldEntry + 1].text);
  EXPECT_EQ(record.progress[HeldEntry].percent, record.progress[HeldEntry + 1].percent);
  for (int i = HeldEntry + 1; i < PayloadEntryCount; ++i)
    EXPECT_EQ(record.progress[i + 1].text, CopyingText(GetPayloadEntry(i).fileName));

  EXPECT_EQ(ReadFileBytes(target), std::optional<std::string>("the running version"));
  EXPECT_EQ(ReadFileBytes(target + ".new"), std::optional<std::string>("left from an earlier run"));
  EXPECT_FALSE(IsReplacementPending(target, target + ".new"));
  ExpectEntriesInstalled(0, HeldEntry);
  ExpectEntriesInstalled(HeldEntry + 1, PayloadEntryCount);
}

TEST_F(InstallRun, LeftoverNewFileAskedCancelAbandonsTheRun) {
  MakeFolder();
  std::string target = InFolder(EntryName(HeldEntry));
  ASSERT_TRUE(WriteFileBytes(target, "the running version"));
  ASSERT_TRUE(WriteFileBytes(target + ".new", "left from an earlier run"));
  HeldFile held(target);
  ASSERT_TRUE(held.held());

  InstallRunScript script;
  script.answers = {IDCANCEL};
  InstallRunRecord record = RunInstallWorker(script);
  held.Release();

  ExpectStoppedRun(record);
  ASSERT_EQ(record.progress.size(), size_t(HeldEntry + 2));
  ExpectEntryReports(record, HeldEntry + 1);
  ASSERT_EQ(record.boxes.size(), 1u);
  EXPECT_EQ(record.boxes[0].caption, CopyErrorCaption);
  EXPECT_TRUE(record.sheetCancelEnabled);  // the run gives the user the sheet's Cancel back
  EXPECT_EQ(ReadFileBytes(target), std::optional<std::string>("the running version"));
  EXPECT_EQ(ReadFileBytes(target + ".new"), std::optional<std::string>("left from an earlier run"));
  ExpectEntriesInstalled(0, HeldEntry);
  ExpectEntriesMissing(HeldEntry + 1, PayloadEntryCount);
}

TEST_F(InstallRun, CancelDuringAFileFinishesItAndStopsBeforeTheNext) {
  constexpr int CancelledAt = 10;
  InstallRunScript script;
  script.onProgress = [](size_t index, const ProgressReport&) {
    if (index == CancelledAt) SetupState.cancelRequested = 1;  // as the page's Cancel button
  };
  InstallRunRecord record = RunInstallWorker(script);

  ExpectStoppedRun(record);
  ASSERT_EQ(record.progress.size(), size_t(CancelledAt + 2));
  ExpectEntryReports(record, CancelledAt + 1);
  EXPECT_TRUE(record.boxes.empty());
  EXPECT_FALSE(record.sheetCancelEnabled);  // the page's own Cancel handling enables it
  ExpectEntriesInstalled(0, CancelledAt + 1);
  ExpectEntriesMissing(CancelledAt + 1, PayloadEntryCount);
}

TEST_F(InstallRun, StaleHelpFilesAreDeletedEvenWhenReadOnly) {
  MakeFolder();
  const struct {
    const char* name;
    DWORD attributes;
  } stale[] = {{"tarnwick.gid", FILE_ATTRIBUTE_READONLY},
               {"tarnwick.cnt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN}};
  for (const auto& file : stale) {
    ASSERT_TRUE(WriteFileBytes(InFolder(file.name), "help index"));
    ASSERT_TRUE(SetFileAttributesA(InFolder(file.name).c_str(), file.attributes));
  }
  ASSERT_TRUE(WriteFileBytes(InFolder("tarnwick.ftg"), "kept"));  // not one of the two

  InstallRunScript script;
  script.onProgress = [](size_t, const ProgressReport&) { SetupState.cancelRequested = 1; };
  InstallRunRecord record = RunInstallWorker(script);

  ExpectStoppedRun(record);
  for (const auto& file : stale) EXPECT_FALSE(Exists(InFolder(file.name))) << file.name;
  EXPECT_TRUE(Exists(InFolder("tarnwick.ftg")));
}

TEST_F(InstallRun, ReadOnlyProductFileGoesTheNewWay) {
  MakeFolder();
  std::string target = InFolder(EntryName(HeldEntry));
  ASSERT_TRUE(WriteFileBytes(target, "read-only version 4.0 file"));
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));

  InstallRunRecord record = RunInstallWorker();

  ExpectCompletedRun(record, PayloadEntryCount + 1);
  EXPECT_TRUE(record.boxes.empty());
  EXPECT_EQ(SetupState.restartNeeded, 1);
  EXPECT_EQ(ReadFileBytes(target), std::optional<std::string>("read-only version 4.0 file"));
  EXPECT_TRUE(HoldsProductFile(target + ".new", HeldEntry));
  EXPECT_TRUE(IsReplacementPending(target, target + ".new"));
  ExpectEntriesInstalled(HeldEntry + 1, PayloadEntryCount);
}

// Q: is a 4 MiB drive; the product is about 32 MB. Whatever the run wrote, nothing stands under
// a product name (or as a scheduled .new) that is not the product's file, and the run does not
// report success.
TEST_F(InstallRun, FullDiskReportsTheFailedFileAndLeavesNoDamagedFile) {
  SetFolder("Q:\\Tarnwick");
  InstallRunScript script;
  script.answers = {IDNO, IDCANCEL};  // skip the first file that does not fit, abandon at the second
  InstallRunRecord record = RunInstallWorker(script);

  ExpectStoppedRun(record);
  ASSERT_EQ(record.boxes.size(), 2u);
  EXPECT_TRUE(record.sheetCancelEnabled);
  for (const CopyErrorBox& box : record.boxes) {
    int failed = int(box.progressBefore) - 1;  // no retries: report i is entry i
    EXPECT_EQ(box.text, CopyErrorText(EntryName(failed), SetupState.installFolder));
    EXPECT_FALSE(Exists(InFolder(EntryName(failed)))) << EntryName(failed);
    EXPECT_FALSE(Exists(InFolder(EntryName(failed) + ".new"))) << EntryName(failed);
  }
  int firstFailed = int(record.boxes[0].progressBefore) - 1;
  EXPECT_GT(firstFailed, 0);
  ExpectEntriesInstalled(0, firstFailed);

  for (const std::string& name : FolderFileNames(SetupState.installFolder)) {
    SCOPED_TRACE(name);
    bool isNew = name.size() > 4 && lstrcmpiA(name.c_str() + name.size() - 4, ".new") == 0;
    std::string product = isNew ? name.substr(0, name.size() - 4) : name;
    int entry = -1;
    for (int i = 0; i < PayloadEntryCount; ++i)
      if (lstrcmpiA(product.c_str(), GetPayloadEntry(i).fileName) == 0) entry = i;
    ASSERT_GE(entry, 0) << "a file the run did not install";
    EXPECT_TRUE(HoldsProductFile(InFolder(name), entry));
    if (isNew) {
      EXPECT_TRUE(IsReplacementPending(InFolder(product), InFolder(name)));
    }
  }
}

// A folder so long that the first file's path would not fit in a path buffer: the file counts
// as failed (never written under a cut path), and the message shows folder and name in full.
TEST_F(InstallRun, PathTooLongIsAFailedFileWithTheWholeMessage) {
  std::string name = EntryName(0);
  const size_t folderLength = MaxPathText - 1 - name.size();  // folder\name is 260 characters, one too many
  std::string folder = root_ + "\\";
  while (folder.size() < folderLength) folder += folder.size() % 50 == 49 && folder.size() + 2 < folderLength ? '\\' : 'd';
  SetFolder(folder);
  InstallRunScript script;
  script.answers = {IDCANCEL};
  InstallRunRecord record = RunInstallWorker(script);

  ExpectStoppedRun(record);
  ASSERT_EQ(record.boxes.size(), 1u);
  EXPECT_EQ(record.boxes[0].progressBefore, 1u);
  EXPECT_EQ(record.boxes[0].text, CopyErrorText(name, folder));
  EXPECT_TRUE(FolderFileNames(folder).empty());
}
