// The destination page of the real setup program: which folder names it refuses and with what
// message, on Next and on Back, the 259-character limit, and the folder browser (preselection,
// a chosen folder, a cancelled browse, a long folder name).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "install/payload_catalogue.h"
#include "resources/resource_ids.h"
#include "setup/wizard_pages.h"
#include "support/program_groups.h"
#include "support/setup_session.h"
#include "support/test_files.h"
#include "tools/uidriver/ui_driver.h"

namespace {

constexpr int FolderEdit = IDC_FOLDER_EDIT;
constexpr int BrowseButton = IDC_BROWSE;
constexpr char FolderErrorCaption[] = "Folder Name Error";
constexpr char BrowseCaption[] = "Browse for Folder";
constexpr int BrowseTitleStatic = 14146;  // Wine's folder browser: the title text
constexpr int BrowseTree = 14145;         // and its tree of folders

std::string InvalidFolderMessage(const std::string& folder) { return "'" + folder + "' is not a valid folder name"; }

// The destination page with text typed into its folder field.
HWND TypeFolder(HWND sheet, const std::string& text) {
  HWND page = CurrentPage(sheet);
  if (!SetControlText(page, FolderEdit, text.c_str())) return nullptr;
  return page;
}

// Presses button (Next or Back) on the destination page and expects the folder-name error with the
// text for folder: caption IDS_INVALID_FOLDER_CAPTION, owned by the hidden main window, an OK
// button only and the exclamation icon. Answers OK and expects the page to stay with its text
// unchanged.
void ExpectRefused(HWND sheet, const LaunchedProgram& program, int button, const std::string& folder) {
  HWND page = CurrentPage(sheet);
  std::string typed = ControlText(page, FolderEdit);
  ASSERT_TRUE(ClickControl(sheet, button));
  HWND box = WaitForTopWindow(FolderErrorCaption, StartWaitMs, program.processId);
  ASSERT_NE(box, nullptr) << "no folder-name error";
  EXPECT_EQ(MessageText(box), InvalidFolderMessage(folder));
  EXPECT_EQ(GetWindow(box, GW_OWNER), FindWindowA(MainWindowClass, nullptr)) << "owned by the hidden main window";
  EXPECT_TRUE(GetButtonState(box, IDOK).visible);
  EXPECT_FALSE(GetButtonState(box, IDCANCEL).exists) << "an OK button only";
  // The box is found as soon as it exists; its icon is on the screen once it has painted.
  WaitForInputIdle(program.process, 3000);
  Sleep(300);
  EXPECT_TRUE(ShowsSystemIcon(GetDlgItem(box, 1088), IDI_EXCLAMATION)) << "the exclamation icon";
  EXPECT_FALSE(ShowsSystemIcon(GetDlgItem(box, 1088), IDI_HAND)) << "the comparison tells icons apart";
  ASSERT_TRUE(ClickControl(box, IDOK));
  ASSERT_TRUE(WaitForWindowGone(box));
  Sleep(200);  // a page change would follow the answer at once
  EXPECT_EQ(CurrentPageIndex(sheet), DestinationPage) << "the page stays";
  EXPECT_EQ(ControlText(page, FolderEdit), typed);
}

// ---- Invalid names ----

struct InvalidCase {
  const char* name;
  const char* folder;
};

void PrintTo(const InvalidCase& c, std::ostream* out) { *out << c.name; }

class DestinationInvalidName : public testing::TestWithParam<InvalidCase> {};

TEST_P(DestinationInvalidName, NextShowsTheFolderInTheMessageAndStays) {
  const InvalidCase& c = GetParam();
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
  ASSERT_NE(TypeFolder(sheet, c.folder), nullptr);
  ExpectRefused(sheet, program, SheetNext, c.folder);
  EXPECT_EQ(PageWindow(sheet, 3), nullptr) << "no run started";
  ExpectCancelExitCode1(sheet, program);
}

const InvalidCase InvalidCases[] = {
    {"Empty", ""},
    {"SpacesAndTabsOnly", " \t  \t"},
    {"LessThan", "C:\\New<Folder"},
    {"Slash", "C:\\a/b"},
    {"Asterisk", "C:\\Tarn*"},
    {"QuestionMark", "C:\\What?"},
    {"DoubleQuote", "C:\\\"Tarnwick\""},
    {"GreaterThan", "C:\\a>b"},
    {"VerticalBar", "C:\\a|b"},
};

INSTANTIATE_TEST_SUITE_P(Names, DestinationInvalidName, testing::ValuesIn(InvalidCases),
                         [](const testing::TestParamInfo<InvalidCase>& info) { return std::string(info.param.name); });

TEST(DestinationPage, BackIsRefusedForAnInvalidNameAndAllowedOnceCorrected) {
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
  HWND page = TypeFolder(sheet, "C:\\Tarnwick|5");
  ASSERT_NE(page, nullptr);
  ExpectRefused(sheet, program, SheetBack, "C:\\Tarnwick|5");
  ASSERT_TRUE(SetControlText(page, FolderEdit, "C:\\Tarnwick 5"));
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, LicencePage));
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, DestinationPage));
  EXPECT_EQ(ControlText(CurrentPage(sheet), FolderEdit), "C:\\Tarnwick 5");
  ExpectCancelExitCode1(sheet, program);
}

// A bare name is valid; the run then installs into that folder under the program's own folder,
// the current directory.
TEST(DestinationPage, BareNameIsAcceptedAndInstalledBesideTheProgram) {
  ASSERT_TRUE(MakeFolders("C:\\Setup"));
  ASSERT_TRUE(CopyFileA(SetupProgramPath, "C:\\Setup\\setup.exe", FALSE));
  LaunchedProgram program;
  ASSERT_TRUE(LaunchProgram("C:\\Setup\\setup.exe", "C:\\windows", program));
  HWND sheet = WaitForWizardSheet(StartWaitMs, program.processId);
  ASSERT_NE(sheet, nullptr);
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
  ASSERT_NE(TypeFolder(sheet, "Tarnwick"), nullptr);
  ASSERT_TRUE(ClickControl(sheet, SheetNext));
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs)) << "the page was left and the run completed";
  EXPECT_EQ(FindTopWindow(FolderErrorCaption, program.processId), nullptr);
  EXPECT_EQ(FolderFileNames("C:\\Setup\\Tarnwick").size(), size_t(PayloadEntryCount) + 2)
      << "the catalogue's files and the two .url files";
  std::string first = GetPayloadEntry(0).fileName;
  EXPECT_EQ(ReadFileBytes("C:\\Setup\\Tarnwick\\" + first), ReadFileBytes(ProductFilePath(first)));
  ExpectCancelExitCode1(sheet, program);
}

// ---- The plain full path ----

// A name that passes the check ends as the one plain full path it stands for: in the field, the
// installed files, the uninstall entry, the product's registry key and the program group's item.
// Relative names are taken from the program's own folder, C:\Setup. A name with no plain full
// path is refused with the folder-name error (full is null).
struct FullPathCase {
  const char* name;
  const char* typed;
  const char* full;
};

void PrintTo(const FullPathCase& c, std::ostream* out) { *out << c.name; }

class DestinationFullPath : public testing::TestWithParam<FullPathCase> {};

TEST_P(DestinationFullPath, TheNameEndsAsOnePlainFullPathEverywhere) {
  const FullPathCase& c = GetParam();
  ASSERT_TRUE(MakeFolders("C:\\Setup"));
  ASSERT_TRUE(CopyFileA(SetupProgramPath, "C:\\Setup\\setup.exe", FALSE));
  LaunchedProgram program;
  ASSERT_TRUE(LaunchProgram("C:\\Setup\\setup.exe", "C:\\windows", program));
  HWND sheet = WaitForWizardSheet(StartWaitMs, program.processId);
  ASSERT_NE(sheet, nullptr);
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
  HWND page = TypeFolder(sheet, c.typed);
  ASSERT_NE(page, nullptr);
  if (c.full == nullptr) {
    ExpectRefused(sheet, program, SheetNext, c.typed);
    ExpectCancelExitCode1(sheet, program);
    return;
  }
  ASSERT_TRUE(ClickControl(sheet, SheetNext));
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs)) << "the page was left and the run completed";
  EXPECT_EQ(ControlText(page, FolderEdit), c.full) << "the field shows the full path";
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, FinishPage));
  ASSERT_TRUE(ClickControl(sheet, SheetFinish));
  DWORD exitCode = 0;
  ASSERT_TRUE(WaitForExit(program, 120000, &exitCode));

  const std::string full = c.full;
  EXPECT_EQ(FolderFileNames(full).size(), size_t(PayloadEntryCount) + 2) << "the catalogue's files and the .url files";
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELM\\Tarnwick\\CurrentVersion", "InstallDir"), full);
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick5.0",
                             "UninstallString"),
            "\"" + full + "\\uninstal.exe\" " + full);
  std::optional<ShortcutInfo> item = ReadShortcut(GroupFolder("Tarnwick Pro 5.0") + "\\Tarnwick.lnk");
  ASSERT_TRUE(item.has_value()) << "no group item";
  EXPECT_EQ(item->target, full + "\\TWExplo.exe");
}

const FullPathCase FullPathCases[] = {
    {"TrailingDot", "C:\\Tarnwick.", "C:\\Tarnwick"},
    {"BareName", "Tarnwick", "C:\\Setup\\Tarnwick"},
    {"DriveRelative", "C:Tarnwick", "C:\\Setup\\Tarnwick"},
    {"DotDot", "C:\\A\\..\\B", "C:\\B"},
    {"DoubleBackslash", "C:\\\\A", "C:\\A"},
    {"DriveRoot", "C:\\", nullptr},
    {"BlankEndsAName", "C:\\A \\B", nullptr},
    {"ColonInAName", "C:\\A:B", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Names, DestinationFullPath, testing::ValuesIn(FullPathCases),
                         [](const testing::TestParamInfo<FullPathCase>& info) { return std::string(info.param.name); });

// length characters of words of nine letters and a blank.
std::string WordsOfLength(size_t length) {
  std::string text;
  while (text.size() < length) text += text.size() % 10 == 9 ? ' ' : char('a' + text.size() / 10 % 26);
  return text;
}

// Of 300 typed characters the first 259 are taken: a forbidden character beyond them is cut
// away with the rest, one within them is reported with the whole 259 characters.
TEST(DestinationPage, OnlyTheFirst259TypedCharactersCount) {
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));

  // Blanks among the letters let the message wrap its lines on the screen.
  std::string barWithin = "C:\\" + WordsOfLength(297);
  barWithin[250] = '|';
  ASSERT_NE(TypeFolder(sheet, barWithin), nullptr);
  ExpectRefused(sheet, program, SheetNext, barWithin.substr(0, 259));

  std::string barBeyond = "C:\\" + WordsOfLength(297);
  barBeyond[270] = '|';
  ASSERT_NE(TypeFolder(sheet, barBeyond), nullptr);
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, LicencePage)) << "valid once cut to 259 characters";
  EXPECT_EQ(FindTopWindow(FolderErrorCaption, program.processId), nullptr);
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, DestinationPage));
  EXPECT_EQ(ControlText(CurrentPage(sheet), FolderEdit), barBeyond.substr(0, 259));
  ExpectCancelExitCode1(sheet, program);
}

// ---- The folder browser ----

// The selected item of the browser's folder tree (null: none).
HTREEITEM BrowserSelection(HWND browser) {
  DWORD_PTR item = 0;
  SendMessageTimeoutA(GetDlgItem(browser, BrowseTree), TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, 1000, &item);
  return reinterpret_cast<HTREEITEM>(item);
}

// Presses Browse and waits for the folder browser, which shows itself before it has filled
// its tree and taken the preselection. With selectionExpected, waits for a selected folder.
// Wine's browser finds the preselected folder by comparing item ids byte for byte, bytes it never
// sets included, so now and then it selects nothing; the browser is then closed and opened again.
HWND OpenBrowser(HWND sheet, const LaunchedProgram& program, bool selectionExpected = true) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (!ClickControl(CurrentPage(sheet), BrowseButton)) return nullptr;
    HWND browser = WaitForTopWindow(BrowseCaption, StartWaitMs, program.processId);
    if (!browser) return nullptr;
    DWORD start = GetTickCount();
    while (selectionExpected && !BrowserSelection(browser) && GetTickCount() - start < 3000) Sleep(50);
    Sleep(200);  // painted
    if (!selectionExpected || BrowserSelection(browser)) return browser;
    if (!ClickControl(browser, IDCANCEL) || !WaitForWindowGone(browser)) return nullptr;
  }
  return nullptr;
}

// Presses a button of the browser (IDOK, IDCANCEL) and waits until it has gone.
bool CloseBrowser(HWND browser, int button) {
  return ClickControl(browser, button) && WaitForWindowGone(browser);
}

TEST(DestinationBrowse, OpensOnTheTypedFolderWhichOkPutsBack) {
  ASSERT_TRUE(MakeFolders("C:\\BrowseTarget\\Inner"));
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
  ASSERT_NE(TypeFolder(sheet, "C:\\BrowseTarget\\Inner"), nullptr);
  HWND browser = OpenBrowser(sheet, program);
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(ControlText(browser, BrowseTitleStatic), "Select the destination folder for the Tarnwick files:");
  EXPECT_EQ(GetWindow(browser, GW_OWNER), sheet) << "owned by the wizard";
  EXPECT_TRUE(SaveScreenshot(nullptr, "T:\\destination-browse.bmp"));
  ASSERT_TRUE(CloseBrowser(browser, IDOK));
  EXPECT_EQ(ControlText(CurrentPage(sheet), FolderEdit), "C:\\BrowseTarget\\Inner");
  ExpectCancelExitCode1(sheet, program);
}

TEST(DestinationBrowse, ChosenFolderReachesTheFieldAndTheRun) {
  ASSERT_TRUE(MakeFolders("C:\\BrowseTarget\\Inner"));
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
  ASSERT_NE(TypeFolder(sheet, "C:\\BrowseTarget\\Inner"), nullptr);
  HWND browser = OpenBrowser(sheet, program);
  ASSERT_NE(browser, nullptr);
  // The user picks the parent of the preselected folder.
  HWND tree = GetDlgItem(browser, BrowseTree);
  ASSERT_NE(tree, nullptr);
  HTREEITEM selected = BrowserSelection(browser);
  ASSERT_NE(selected, nullptr);
  auto parent = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, LPARAM(selected)));
  ASSERT_NE(parent, nullptr);
  ASSERT_TRUE(SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(parent)));
  ASSERT_TRUE(CloseBrowser(browser, IDOK));
  EXPECT_EQ(ControlText(CurrentPage(sheet), FolderEdit), "C:\\BrowseTarget");
  // Only leaving the page takes the folder: the run installs there.
  ASSERT_TRUE(ClickControl(sheet, SheetNext));
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs));
  std::string first = GetPayloadEntry(0).fileName;
  EXPECT_EQ(ReadFileBytes("C:\\BrowseTarget\\" + first), ReadFileBytes(ProductFilePath(first)));
  ExpectCancelExitCode1(sheet, program);
}

TEST(DestinationBrowse, CancelLeavesTheFieldAsTyped) {
  ASSERT_TRUE(MakeFolders("C:\\BrowseTarget"));
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
  ASSERT_NE(TypeFolder(sheet, "C:\\BrowseTarget"), nullptr);
  HWND browser = OpenBrowser(sheet, program);
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(CloseBrowser(browser, IDCANCEL));
  EXPECT_EQ(ControlText(CurrentPage(sheet), FolderEdit), "C:\\BrowseTarget");

  // A typed folder that does not exist is not replaced by a cancelled browse either.
  ASSERT_NE(TypeFolder(sheet, "D:\\Nowhere\\Tarnwick"), nullptr);
  browser = OpenBrowser(sheet, program, false);
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(CloseBrowser(browser, IDCANCEL));
  EXPECT_EQ(ControlText(CurrentPage(sheet), FolderEdit), "D:\\Nowhere\\Tarnwick");
  ExpectCancelExitCode1(sheet, program);
}

// The browser writes the chosen folder's display name (here 200 characters) into the buffer
// that also holds the title.
TEST(DestinationBrowse, FolderWithALongNameIsTakenWhole) {
  std::string folder = "C:\\" + std::string(200, 'n');
  ASSERT_TRUE(MakeFolders(folder.c_str()));
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
  ASSERT_NE(TypeFolder(sheet, folder), nullptr);
  HWND browser = OpenBrowser(sheet, program);
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(CloseBrowser(browser, IDOK));
  EXPECT_EQ(ControlText(CurrentPage(sheet), FolderEdit), folder);
  ASSERT_TRUE(IsRunning(program));
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, LicencePage));
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, DestinationPage));
  EXPECT_EQ(ControlText(CurrentPage(sheet), FolderEdit), folder);
  ExpectCancelExitCode1(sheet, program);
}

}  // namespace
