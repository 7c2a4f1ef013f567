// The copy page of the real setup program with the real installation run: a run that completes
// and moves on to the options page, a run stopped with the page's Cancel button (caught in the
// middle by holding its thread still), a run abandoned from its copy error, a new run after Back,
// the running product asked to close three seconds before the run, and the page during a run.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "install/payload_catalogue.h"
#include "shortcuts/progman.h"
#include "support/copy_run.h"
#include "support/picture.h"
#include "support/process_threads.h"
#include "support/program_groups.h"
#include "support/setup_session.h"
#include "support/test_files.h"
#include "tools/uidriver/ui_driver.h"

namespace {

constexpr int FolderEdit = IDC_FOLDER_EDIT;
constexpr int PageCancel = CopyPageCancel;
constexpr int StatusText = CopyPageStatus;
constexpr char Folder[] = "C:\\Copy Target\\Tarnwick";

constexpr ButtonState Enabled = {true, true, true};
constexpr ButtonState Disabled = {true, true, false};
constexpr ButtonState Hidden = {true, false, false};

std::string EntryName(int i) { return GetPayloadEntry(i).fileName; }
std::string InstalledPath(int i) { return std::string(Folder) + "\\" + EntryName(i); }
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The index of the entry named name, or -1.
int EntryIndex(const std::string& name) {
  for (int i = 0; i < PayloadEntryCount; ++i)
    if (name == GetPayloadEntry(i).fileName) return i;
  return -1;
}

// The bar position the run reports while it writes entry i: the installed sizes before it, in
// per cent of the whole, rounded down.
int ExpectedPercent(int i) {
  uint64_t before = 0, total = 0;
  for (int j = 0; j < PayloadEntryCount; ++j) {
    if (j < i) before += GetPayloadEntry(j).installedSize;
    total += GetPayloadEntry(j).installedSize;
  }
  return int(before * 100 / total);
}

std::string Describe(ButtonState s) {
  if (!s.exists) return "missing";
  return std::string(s.visible ? "visible" : "hidden") + (s.enabled ? "+enabled" : "+disabled");
}

// The sheet's Back, Next, Finish and Cancel buttons and the page's Cancel button.
void ExpectButtons(HWND sheet, HWND copyPage, ButtonState back, ButtonState next, ButtonState sheetCancel,
                   ButtonState pageCancel) {
  WaitForButtonState(sheet, SheetBack, back, 3000);
  WaitForButtonState(sheet, SheetNext, next, 3000);
  EXPECT_EQ(Describe(GetButtonState(sheet, SheetBack)), Describe(back)) << "Back";
  EXPECT_EQ(Describe(GetButtonState(sheet, SheetNext)), Describe(next)) << "Next";
  EXPECT_EQ(Describe(GetButtonState(sheet, SheetFinish)), Describe(Hidden)) << "Finish";
  EXPECT_EQ(Describe(GetButtonState(sheet, SheetCancel)), Describe(sheetCancel)) << "the sheet's Cancel";
  EXPECT_EQ(Describe(GetButtonState(copyPage, PageCancel)), Describe(pageCancel)) << "the page's Cancel";
}

// Entries [0, count) are installed with the product's bytes, the others are missing.
void ExpectFirstEntriesInstalled(int count) {
  for (int i = 0; i < PayloadEntryCount; ++i) {
    std::optional<std::string> installed = ReadFileBytes(InstalledPath(i));
    if (i >= count) {
      EXPECT_FALSE(installed) << EntryName(i) << " written after the run stopped";
      continue;
    }
    ASSERT_TRUE(installed) << EntryName(i) << " missing";
    EXPECT_TRUE(*installed == ReadFileBytes(ProductFilePath(EntryName(i)))) << EntryName(i) << " differs";
  }
}

// The number of entries, counted from the first, whose files exist in the folder.
int InstalledEntryCount() {
  int count = 0;
  while (count < PayloadEntryCount && Exists(InstalledPath(count))) ++count;
  return count;
}

// Walks to the destination page, types Folder and presses Next.
void StartRunInto(HWND sheet) {
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
  ASSERT_TRUE(SetControlText(CurrentPage(sheet), FolderEdit, Folder));
  ASSERT_TRUE(ClickControl(sheet, SheetNext));
}

// The entry a caught run writes, and where the page stands.
struct HeldRun {
  CaughtRun caught;
  int entry = -1;
};

// Presses Next on the destination page and holds the run still once it shows a file.
void CatchRunAfterNext(HWND sheet, const LaunchedProgram& program, SuspendedThreads& held, HeldRun* run) {
  std::vector<DWORD> knownThreads = ProcessThreadIds(program.processId);
  ASSERT_FALSE(knownThreads.empty());
  StartRunInto(sheet);
  std::string failure;
  // Caught with about a third of the bar filled, so that entries remain on either side.
  ASSERT_TRUE(CatchRun(sheet, program.processId, knownThreads, 30, held, &run->caught, &failure)) << failure;
  run->entry = EntryIndex(run->caught.status.substr(9));
  ASSERT_GE(run->entry, 0) << run->caught.status;
}

// Presses the page's Cancel button on a caught run and lets the run go on; waits until it has
// stopped. Expects the stop-requested state while the run is held.
void CancelCaughtRun(HWND sheet, SuspendedThreads& held, const CaughtRun& caught) {
  ASSERT_TRUE(ClickControl(caught.copyPage, PageCancel));
  ASSERT_TRUE(WaitForButtonState(caught.copyPage, PageCancel, Disabled)) << "the page's Cancel stays enabled";
  {
    SCOPED_TRACE("stop requested");
    ExpectButtons(sheet, caught.copyPage, Disabled, Disabled, Enabled, Disabled);
  }
  held.Resume();
  ASSERT_TRUE(WaitForButtonState(sheet, SheetBack, Enabled, StartWaitMs)) << "the run did not stop";
}

// After a stopped run: 0 with "Copy Canceled", only Back, the sheet's Cancel enabled, and the
// files of the entries up to the one being written when Cancel was pressed (or the next one,
// when the run had already passed its test before that entry).
void ExpectStopped(HWND sheet, const HeldRun& run) {
  const CaughtRun& caught = run.caught;
  Sleep(300);  // a late message of the run would show by now
  EXPECT_EQ(CurrentPageIndex(sheet), CopyPage);
  EXPECT_EQ(ControlText(caught.copyPage, StatusText), "Copy Canceled");
  EXPECT_EQ(ProgressPosition(caught.copyPage), 0);
  ExpectButtons(sheet, caught.copyPage, Enabled, Disabled, Enabled, Disabled);
  int installed = InstalledEntryCount();
  EXPECT_GE(installed, run.entry + 1) << "the current file was finished";
  EXPECT_LE(installed, run.entry + 2) << "the run went on after Cancel";
  EXPECT_LT(installed, PayloadEntryCount);
  ExpectFirstEntriesInstalled(installed);
}

// ---- A complete run ----

TEST(CopyPage, CompletedRunInstallsEveryFileAndMovesOnToTheOptionsPage) {
  START_WIZARD(program, sheet);
  StartRunInto(sheet);

  // The page as the run goes: the bar never falls, the status names catalogue files.
  HWND copyPage = nullptr;
  std::vector<int> positions;
  std::vector<std::string> texts;
  for (DWORD start = GetTickCount(); GetTickCount() - start < StartWaitMs && CurrentPageIndex(sheet) != OptionsPage;) {
    if (!copyPage) copyPage = PageWindow(sheet, CopyPage);
    if (!copyPage) continue;
    int position = ProgressPosition(copyPage);
    std::string text = ControlText(copyPage, StatusText);
    if (positions.empty() || position != positions.back() || text != texts.back()) {
      positions.push_back(position);
      texts.push_back(text);
    }
  }
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs)) << "the wizard did not move on by itself";
  ASSERT_NE(copyPage, nullptr);
  for (size_t i = 1; i < positions.size(); ++i) EXPECT_GE(positions[i], positions[i - 1]) << "the bar fell";
  for (const std::string& text : texts) {
    if (text.empty() || text == "Updating Registry") continue;
    ASSERT_EQ(text.rfind("Copying: ", 0), 0u) << text;
    EXPECT_GE(EntryIndex(text.substr(9)), 0) << text;
  }
  // The page keeps what the run sent last.
  EXPECT_EQ(ControlText(copyPage, StatusText), "Updating Registry");
  EXPECT_EQ(ProgressPosition(copyPage), 100);
  EXPECT_EQ(Describe(GetButtonState(sheet, SheetCancel)), Describe(Enabled)) << "enabled on leaving the copy page";

  EXPECT_EQ(FolderFileNames(Folder).size(), size_t(PayloadEntryCount) + 2) << "the catalogue's files and the two .url files";
  ExpectFirstEntriesInstalled(PayloadEntryCount);
  ExpectCancelExitCode1(sheet, program);
}

TEST(CopyPage, BackFromTheOptionsPageRunsAgainFromTheFirstFile) {
  START_WIZARD(program, sheet);
  StartRunInto(sheet);
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs));
  // Traces that only a new run from the first file to the last removes.
  ASSERT_TRUE(DeleteFileA(InstalledPath(0).c_str()));
  ASSERT_TRUE(WriteFileBytes(InstalledPath(150), "not the product file"));
  ASSERT_TRUE(DeleteFileA(InstalledPath(PayloadEntryCount - 1).c_str()));

  ASSERT_TRUE(ClickControl(sheet, SheetBack));
  ASSERT_TRUE(WaitForPage(sheet, CopyPage, StartWaitMs));
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs)) << "the second run did not complete";
  ExpectFirstEntriesInstalled(PayloadEntryCount);
  ExpectCancelExitCode1(sheet, program);
}

// The home-page item comes only from the run's own "website.url": a second run (Back from the
// options page) that cannot write it builds the group without it, although the first run wrote
// one. A folder of that name stops the write: a read-only file does not, as Wine runs the tests
// with the rights of a user whom the host's file permissions do not stop.
TEST(CopyPage, ASecondRunThatCannotWriteTheHomePageFileMakesNoHomePageItem) {
  const std::string group = "Tarnwick Pro 5.0", homePageItem = "KELM Home Page.lnk";
  START_WIZARD(program, sheet);
  StartRunInto(sheet);
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs));
  std::vector<std::string> first = GroupItems(group);
  ASSERT_NE(std::find(first.begin(), first.end(), homePageItem), first.end()) << "the first run made the item";
  ASSERT_EQ(ProgmanDeleteGroup(group.c_str()), 1);
  ASSERT_FALSE(GroupExists(group));
  const std::string website = std::string(Folder) + "\\website.url";
  ASSERT_TRUE(DeleteFileA(website.c_str()));
  ASSERT_TRUE(CreateDirectoryA(website.c_str(), nullptr));

  ASSERT_TRUE(ClickControl(sheet, SheetBack));
  ASSERT_TRUE(WaitForPage(sheet, CopyPage, StartWaitMs));
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs)) << "the second run did not complete";
  std::vector<std::string> second = GroupItems(group);
  EXPECT_NE(std::find(second.begin(), second.end(), "Tarnwick.lnk"), second.end()) << "the group was built again";
  EXPECT_EQ(std::find(second.begin(), second.end(), homePageItem), second.end()) << "a home-page item without its file";
  ExpectCancelExitCode1(sheet, program);
}

// ---- Cancel ----

TEST(CopyPage, CancelStopsAfterTheCurrentFileAndBackLeadsToANewRun) {
  START_WIZARD(program, sheet);
  SuspendedThreads held;
  HeldRun run;
  CatchRunAfterNext(sheet, program, held, &run);
  if (HasFatalFailure()) return;
  const CaughtRun& caught = run.caught;

  // Running: no navigation, the sheet's Cancel disabled, the page's own enabled; the bar shows
  // the share of the entries before the current one.
  {
    SCOPED_TRACE("running");
    EXPECT_EQ(CurrentPageIndex(sheet), CopyPage);
    ExpectButtons(sheet, caught.copyPage, Disabled, Disabled, Disabled, Enabled);
    EXPECT_EQ(caught.position, ExpectedPercent(run.entry)) << EntryName(run.entry);
  }
  // The page during a run, for a look: banner, title, status text and bar.
  Sleep(300);
  ASSERT_TRUE(SaveScreenshot(sheet, "T:\\copy-page-running.bmp"));
  Picture picture;
  ASSERT_TRUE(picture.Load("T:\\copy-page-running.bmp"));
  int yellow = 0;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width / 3; ++x) yellow += picture.Is(x, y, 255, 255, 0);
  EXPECT_GT(yellow, 500) << "no banner";

  CancelCaughtRun(sheet, held, caught);
  if (HasFatalFailure()) return;
  ExpectStopped(sheet, run);

  // Back: the destination page with the folder; Next: a new run from the first file.
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, DestinationPage));
  EXPECT_EQ(ControlText(CurrentPage(sheet), FolderEdit), Folder);
  ASSERT_TRUE(DeleteFileA(InstalledPath(0).c_str()));
  ASSERT_TRUE(ClickControl(sheet, SheetNext));
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs)) << "the new run did not complete";
  ExpectFirstEntriesInstalled(PayloadEntryCount);
  ExpectCancelExitCode1(sheet, program);
}

TEST(CopyPage, StoppedRunLeavesWithCancelAndExit) {
  START_WIZARD(program, sheet);
  SuspendedThreads held;
  HeldRun run;
  CatchRunAfterNext(sheet, program, held, &run);
  if (HasFatalFailure()) return;
  const CaughtRun& caught = run.caught;
  CancelCaughtRun(sheet, held, caught);
  if (HasFatalFailure()) return;
  ExpectStopped(sheet, run);
  int installed = InstalledEntryCount();
  ExpectCancelExitCode1(sheet, program);
  EXPECT_EQ(InstalledEntryCount(), installed) << "nothing more was written on the way out";
}

// Slows the run down (its thread runs for 200 microseconds at a time) until it is held inside
// a large file that it is decoding, with part of its bytes on disk. Returns the entry, or -1
// when no file was caught so.
int CatchRunInsideLargeFile(HWND sheet, DWORD processId, const std::vector<DWORD>& knownThreads,
                            SuspendedThreads& held) {
  constexpr uint32_t Large = 150000;
  DWORD start = GetTickCount();
  // The run's thread, once the page shows its first file.
  while (ControlText(PageWindow(sheet, CopyPage), StatusText).rfind("Copying: ", 0) != 0 ||
         !held.SuspendNewThreads(processId, knownThreads))
    if (GetTickCount() - start >= StartWaitMs) return -1;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    PayloadEntry entry = GetPayloadEntry(i);
    if (entry.installedSize < Large || LocatePayloadData(entry.archive).method == 0) continue;
    const std::string path = InstalledPath(i);
    for (;;) {  // until this file is complete
      if (GetTickCount() - start >= 6 * StartWaitMs) return -1;
      held.Step(200);
      WIN32_FILE_ATTRIBUTE_DATA data;
      if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) continue;
      if (data.nFileSizeLow >= entry.installedSize) break;
      if (data.nFileSizeLow == 0) continue;
      // A run held inside a lock that the sheet needs would stop the sheet too.
      if (!held.StandInProgram(processId)) continue;
      DWORD_PTR ignored;
      if (SendMessageTimeoutA(sheet, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &ignored)) return i;
    }
  }
  return -1;
}

// The sheet closed while the run is held inside a large file: the program gives the run a few
// seconds to finish that file, then removes it and ends. No file stays under its real name
// unfinished, and every file written before it stays.
TEST(CopyPage, ClosingTheSheetDuringARunLeavesNoUnfinishedFile) {
  START_WIZARD(program, sheet);
  std::vector<DWORD> knownThreads = ProcessThreadIds(program.processId);
  StartRunInto(sheet);
  SuspendedThreads held;
  int caught = CatchRunInsideLargeFile(sheet, program.processId, knownThreads, held);
  ASSERT_GE(caught, 0) << "the run was not caught inside a large file";
  ASSERT_TRUE(ClickControl(PageWindow(sheet, CopyPage), PageCancel));  // the sheet's Cancel comes alive
  DWORD start = GetTickCount();
  DWORD exitCode = 0;
  ASSERT_TRUE(CancelAndExit(sheet, program, &exitCode));
  EXPECT_EQ(exitCode, 1u);
  EXPECT_GE(GetTickCount() - start, 4800u) << "the program did not wait for the run";
  EXPECT_FALSE(Exists(InstalledPath(caught))) << EntryName(caught) << " stayed unfinished";
  ExpectFirstEntriesInstalled(caught);
}

// A file that can be written neither under its own name (held open by another process) nor as
// ".new" (a leftover of that name): Cancel in the run's copy error abandons the run, and the page
// is left in the same stopped state as after its own Cancel.
TEST(CopyPage, RunAbandonedFromTheCopyErrorLeavesOnlyBack) {
  constexpr int HeldEntry = 10;
  ASSERT_TRUE(MakeFolders(Folder));
  ASSERT_TRUE(WriteFileBytes(InstalledPath(HeldEntry), "the running version"));
  ASSERT_TRUE(WriteFileBytes(InstalledPath(HeldEntry) + ".new", "left over"));
  HeldFile held(InstalledPath(HeldEntry));
  ASSERT_TRUE(held.held());
  START_WIZARD(program, sheet);
  StartRunInto(sheet);
  HWND box = WaitForTopWindow("Copy Error", StartWaitMs, program.processId);
  ASSERT_NE(box, nullptr);
  HWND copyPage = PageWindow(sheet, CopyPage);
  EXPECT_EQ(ControlText(copyPage, StatusText), "Copying: " + EntryName(HeldEntry));
  ASSERT_TRUE(ClickControl(box, IDCANCEL));
  ASSERT_TRUE(WaitForButtonState(sheet, SheetBack, Enabled, StartWaitMs)) << "the run did not stop";
  Sleep(300);
  EXPECT_EQ(CurrentPageIndex(sheet), CopyPage);
  EXPECT_EQ(ControlText(copyPage, StatusText), "Copy Canceled");
  EXPECT_EQ(ProgressPosition(copyPage), 0);
  ExpectButtons(sheet, copyPage, Enabled, Disabled, Enabled, Disabled);
  held.Release();
  for (int i = 0; i < PayloadEntryCount; ++i) {
    if (i == HeldEntry) continue;
    EXPECT_EQ(Exists(InstalledPath(i)), i < HeldEntry) << EntryName(i);
  }
  EXPECT_EQ(ReadFileBytes(InstalledPath(HeldEntry)), std::optional<std::string>("the running version"));
  ExpectCancelExitCode1(sheet, program);
}

// ---- The running product ----

// Waits until path exists and returns the tick count when it was first seen (0: never).
DWORD WaitForFile(const std::string& path, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(10))
    if (Exists(path)) return GetTickCount();
  return 0;
}

TEST(CopyPage, RunningProductIsAskedToCloseAndTheRunStartsThreeSecondsLater) {
  StandInWindow product("TWMainClass", "Tarnwick");
  ASSERT_NE(product.window(), nullptr);
  START_WIZARD(program, sheet);
  StartRunInto(sheet);
  DWORD firstFile = WaitForFile(InstalledPath(0), StartWaitMs);
  ASSERT_NE(firstFile, 0u) << "the run did not start";
  ASSERT_EQ(product.closeRequests(), 1);
  EXPECT_GE(firstFile - product.firstCloseTick(), 2900u) << "the run waits 3 seconds after the request";
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs));

  // Every activation of the copy page asks again and waits again.
  ASSERT_TRUE(DeleteFileA(InstalledPath(0).c_str()));
  ASSERT_TRUE(ClickControl(sheet, SheetBack));
  DWORD asked = 0;
  for (DWORD start = GetTickCount(); GetTickCount() - start < StartWaitMs && !asked; Sleep(10))
    if (product.closeRequests() == 2) asked = GetTickCount();
  ASSERT_NE(asked, 0u) << "the second run did not ask the product to close";
  firstFile = WaitForFile(InstalledPath(0), StartWaitMs);
  ASSERT_NE(firstFile, 0u);
  EXPECT_GE(firstFile - asked, 2850u);
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs));
  ExpectCancelExitCode1(sheet, program);
}

}  // namespace
