// The options and finish pages of the real setup program: after Finish the registry holds the
// product's layout for each choice of the two boxes (read back with "reg export" and compared
// with the table below), the restart question, the Register button, and Cancel and Exit, which
// runs none of the Finish steps.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "setup/wizard_pages.h"
#include "support/finish_support.h"
#include "support/registry_export.h"
#include "support/setup_session.h"
#include "support/test_files.h"

namespace {

constexpr char InstallFolder[] = "C:\\Program Files\\KELM\\Tarnwick";  // the default, with a blank

// ---- The layout after Finish ----

enum When { Always, Zip, Others };

// One expected key (value null) or value; "F" in data stands for the install folder. Every row
// lies in one of OwnedKeys, whose whole content is compared.
struct LayoutRow {
  const char* key;
  const char* value;  // null: the key itself; "@": the default value
  const char* type;
  const char* data;
  When when;
};
#define CR "HKEY_CLASSES_ROOT\\"
#define LM "HKEY_LOCAL_MACHINE\\"
#define CU "HKEY_CURRENT_USER\\"
#define CONFIG CR "CLSID\\{d41c7a90-5b2e-11ce-8f3a-00a0c9d4e261}"
#define EXTENSION CR "CLSID\\{5C3A9E41-2B7D-11d3-8F14-0040A7C2E51B}"
#define ARCHIVE CR "CLSID\\{5C3A9E42-2B7D-11d3-8F14-0040A7C2E51B}"
#define LOCATOR CR "CLSID\\{5C3A9E43-2B7D-11d3-8F14-0040A7C2E51B}"
#define STATIC LM "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindExtensions\\Static\\Tarnwick Locator"
const LayoutRow LayoutRows[] = {
    // The product and the update tool.
    {LM "Software\\KELM\\Tarnwick\\CurrentVersion", nullptr, "", "", Always},
    {LM "Software\\KELM\\Tarnwick\\CurrentVersion", "InstallDir", "REG_SZ", "F", Always},
    {LM "Software\\KELM\\Patchwell\\Products", nullptr, "", "", Always},
    {LM "Software\\KELM\\Patchwell\\Products", "Tarnwick", "REG_SZ", "F", Always},
    {CU "Software\\KELM\\Tarnwick\\CurrentVersion\\Tools", nullptr, "", "", Always},
    // The configuration document class; the open command's program path is quoted.
    {CR ".TWC", nullptr, "", "", Always},
    {CR ".TWC", "@", "REG_SZ", "Tarnwick", Always},
    {CONFIG, nullptr, "", "", Always},
    {CONFIG, "@", "REG_SZ", "Tarnwick Configuration", Always},
    {CONFIG "\\AuxUserType", nullptr, "", "", Always},
    {CONFIG "\\AuxUserType\\2", nullptr, "", "", Always},
    {CONFIG "\\AuxUserType\\2", "@", "REG_SZ", "Tarnwick Configuration", Always},
    {CR "Tarnwick", nullptr, "", "", Always},
    {CR "Tarnwick", "@", "REG_SZ", "Tarnwick Configuration", Always},
    {CR "Tarnwick\\DefaultIcon", nullptr, "", "", Always},
    {CR "Tarnwick\\DefaultIcon", "@", "REG_SZ", "F\\TWick.exe", Always},
    {CR "Tarnwick\\shell", nullptr, "", "", Always},
    {CR "Tarnwick\\shell\\open", nullptr, "", "", Always},
    {CR "Tarnwick\\shell\\open\\command", nullptr, "", "", Always},
    {CR "Tarnwick\\shell\\open\\command", "@", "REG_SZ", "\"F\\TWick.exe\" %1", Always},
    // The shell's update mode.
    {LM "System\\CurrentControlSet\\Control\\Update", nullptr, "", "", Always},
    {LM "System\\CurrentControlSet\\Control\\Update", "UpdateMode", "REG_BINARY", "01", Always},
    // The archive document class; its drop handler is the identifier ending in 42.
    {CR "Tarnwick.Archive", nullptr, "", "", Always},
    {CR "Tarnwick.Archive", "@", "REG_SZ", "Tarnwick.Archive", Always},
    {CR "Tarnwick.Archive\\DefaultIcon", nullptr, "", "", Always},
    {CR "Tarnwick.Archive\\DefaultIcon", "@", "REG_SZ", "F\\TWExplo.exe,4", Always},
    {CR "Tarnwick.Archive\\shell", nullptr, "", "", Always},
    {CR "Tarnwick.Archive\\shell\\open", nullptr, "", "", Always},
    {CR "Tarnwick.Archive\\shell\\open\\command", nullptr, "", "", Always},
    {CR "Tarnwick.Archive\\shell\\open\\command", "@", "REG_SZ", "\"F\\TWExplo.exe\" %1", Always},
    {CR "Tarnwick.Archive\\shellex", nullptr, "", "", Always},
    {CR "Tarnwick.Archive\\shellex\\DropHandler", nullptr, "", "", Always},
    {CR "Tarnwick.Archive\\shellex\\DropHandler", "@", "REG_SZ", "{5C3A9E42-2B7D-11d3-8F14-0040A7C2E51B}", Always},
    {ARCHIVE, nullptr, "", "", Always},
    {ARCHIVE, "@", "REG_SZ", "Tarnwick.Archive", Always},
    {ARCHIVE "\\AuxUserType", nullptr, "", "", Always},
    {ARCHIVE "\\AuxUserType\\2", nullptr, "", "", Always},
    {ARCHIVE "\\AuxUserType\\2", "@", "REG_SZ", "Tarnwick.Archive", Always},
    {ARCHIVE "\\InProcServer32", nullptr, "", "", Always},
    {ARCHIVE "\\InProcServer32", "@", "REG_SZ", "F\\TWShExt.dll", Always},
    {ARCHIVE "\\InProcServer32", "ThreadingModel", "REG_SZ", "Apartment", Always},
    // The archive shell extension; the menu and drag-drop handlers name it (ending in 41).
    {EXTENSION, nullptr, "", "", Always},
    {EXTENSION, "@", "REG_SZ", "Tarnwick ZIP Extension", Always},
    {EXTENSION "\\InProcServer32", nullptr, "", "", Always},
    {EXTENSION "\\InProcServer32", "@", "REG_SZ", "F\\twshext.dll", Always},
    {EXTENSION "\\InProcServer32", "ThreadingModel", "REG_SZ", "Apartment", Always},
    {CR "*\\shellex\\ContextMenuHandlers\\Tarnwick Menu", nullptr, "", "", Always},
    {CR "*\\shellex\\ContextMenuHandlers\\Tarnwick Menu", "@", "REG_SZ", "{5C3A9E41-2B7D-11d3-8F14-0040A7C2E51B}", Always},
    {CR "Directory\\shellex\\ContextMenuHandlers\\Tarnwick Menu", nullptr, "", "", Always},
    {CR "Directory\\shellex\\ContextMenuHandlers\\Tarnwick Menu", "@", "REG_SZ",
     "{5C3A9E41-2B7D-11d3-8F14-0040A7C2E51B}", Always},
    {CR "Directory\\shellex\\DragDropHandlers\\Tarnwick Menu", nullptr, "", "", Always},
    {CR "Directory\\shellex\\DragDropHandlers\\Tarnwick Menu", "@", "REG_SZ", "{5C3A9E41-2B7D-11d3-8F14-0040A7C2E51B}",
     Always},
    // The search tool on folders and drives, its program path quoted.
    {CR "Directory\\shell\\Locator...", nullptr, "", "", Always},
    {CR "Directory\\shell\\Locator...\\command", nullptr, "", "", Always},
    {CR "Directory\\shell\\Locator...\\command", "@", "REG_SZ", "\"F\\twfind.exe\" /PATH:%1", Always},
    {CR "Drive\\shell\\Locator...", nullptr, "", "", Always},
    {CR "Drive\\shell\\Locator...\\command", nullptr, "", "", Always},
    {CR "Drive\\shell\\Locator...\\command", "@", "REG_SZ", "\"F\\twfind.exe\" /PATH:%1", Always},
    // The find extension.
    {STATIC, nullptr, "", "", Always},
    {STATIC, "@", "REG_SZ", "{5C3A9E43-2B7D-11d3-8F14-0040A7C2E51B}", Always},
    {STATIC "\\0", nullptr, "", "", Always},
    {STATIC "\\0", "@", "REG_SZ", "Locator", Always},
    {STATIC "\\0\\DefaultIcon", nullptr, "", "", Always},
    {STATIC "\\0\\DefaultIcon", "@", "REG_SZ", "F\\TWFind.exe,0", Always},
    {LOCATOR, nullptr, "", "", Always},
    {LOCATOR, "@", "REG_SZ", "Tarnwick Locator", Always},
    {LOCATOR "\\InprocServer32", nullptr, "", "", Always},
    {LOCATOR "\\InprocServer32", "@", "REG_SZ", "F\\TWShExt.dll", Always},
    {LOCATOR "\\InprocServer32", "ThreadingModel", "REG_SZ", "Apartment", Always},
};

// The archive extensions: ".zip" with the first box, the others with the second.
struct Extension {
  const char* name;
  When when;
};
const Extension Extensions[] = {
    {".zip", Zip},    {".z", Others},   {".gz", Others},  {".tar", Others}, {".taz", Others}, {".tgz", Others},
    {".lzh", Others}, {".lha", Others}, {".arj", Others}, {".cab", Others}, {".zoo", Others}, {".arc", Others},
    {".ark", Others}, {".pak", Others}, {".dwc", Others}, {".rar", Others},
};

// The keys whose whole content the layout fixes (the extension keys come on top).
const char* const OwnedKeys[] = {
    LM "Software\\KELM\\Tarnwick\\CurrentVersion", LM "Software\\KELM\\Patchwell\\Products",
    CU "Software\\KELM\\Tarnwick\\CurrentVersion\\Tools", CR ".TWC", CONFIG, CR "Tarnwick",
    LM "System\\CurrentControlSet\\Control\\Update", CR "Tarnwick.Archive", ARCHIVE, EXTENSION,
    CR "*\\shellex\\ContextMenuHandlers\\Tarnwick Menu", CR "Directory\\shellex\\ContextMenuHandlers\\Tarnwick Menu",
    CR "Directory\\shellex\\DragDropHandlers\\Tarnwick Menu", CR "Directory\\shell\\Locator...",
    CR "Drive\\shell\\Locator...", STATIC, LOCATOR,
};

std::string WithFolder(const char* data) {
  std::string text;
  for (const char* p = data; *p; ++p) {
    if (*p == 'F' && (p[1] == '\\' || p[1] == '\0') && (p == data || p[-1] == '"'))
      text += InstallFolder;
    else
      text += *p;
  }
  return text;
}

std::vector<RegistryRow> ExpectedLayout(bool zip, bool others, bool nt4) {
  std::vector<RegistryRow> rows;
  for (const LayoutRow& r : LayoutRows)
    rows.push_back({r.key, r.value == nullptr, r.value ? r.value : "", r.type, WithFolder(r.data)});
  for (const Extension& e : Extensions) {
    if (!(e.when == Zip ? zip : others)) continue;
    const std::string key = std::string(CR) + e.name;
    rows.push_back({key, true, "", "", ""});
    rows.push_back({key, false, "@", "REG_SZ", "Tarnwick.Archive"});
    rows.push_back({key, false, "Content Type", "REG_SZ", std::string("application/") + (e.name + 1)});
  }
  for (const ModuleRegistration& m : ModuleRegistrations) {
    if (nt4 && std::strcmp(m.fileName, "modeng4.dll") == 0) continue;
    for (const RegistryRow& row : ModuleRows(m, InstallFolder)) rows.push_back(row);
  }
  return rows;
}

std::vector<RegistryRow> ExportAfterFinish() {
  std::vector<RegistryRow> rows = ExportRegistry("HKEY_CLASSES_ROOT");
  for (const char* key : {LM "Software\\KELM", LM "System\\CurrentControlSet\\Control\\Update",
                          LM "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindExtensions",
                          CU "Software\\KELM"}) {
    std::vector<RegistryRow> more = ExportRegistry(key);
    rows.insert(rows.end(), more.begin(), more.end());
  }
  return rows;
}

// Sets a check box of the options page to ticked or clear with a click when it differs.
void SetBox(HWND page, int id, bool ticked) {
  if ((CheckState(page, id) == BST_CHECKED) == ticked) return;
  ASSERT_TRUE(ClickControl(page, id));
  for (int i = 0; i < 40 && (CheckState(page, id) == BST_CHECKED) != ticked; ++i) Sleep(50);
  ASSERT_EQ(CheckState(page, id) == BST_CHECKED, ticked);
}

struct LayoutCase {
  bool zip, others;
  const char* wineVersion;  // null: Wine's default
};
class FinishLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(FinishLayout, RegistryHoldsTheLayoutForTheChosenBoxes) {
  const LayoutCase c = GetParam();
  const bool nt4 = c.wineVersion && std::strcmp(c.wineVersion, "nt40") == 0;
  ASSERT_TRUE(MakeWindowsShellKeys());
  // Another program's entries below two extension keys.
  ASSERT_TRUE(PutRegistryText(HKEY_CLASSES_ROOT, ".zip\\ShellNew", "NullFile", ""));
  ASSERT_TRUE(PutRegistryText(HKEY_CLASSES_ROOT, ".rar\\OpenWithProgids", "Other.Archive", ""));
  if (c.wineVersion) {
    ASSERT_TRUE(SetWineVersion("setup.exe", c.wineVersion));
  }
  const std::vector<RegistryRow> before = ExportRegistry("HKEY_CLASSES_ROOT");

  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, OptionsPage));
  HWND options = CurrentPage(sheet);
  EXPECT_EQ(CheckState(options, IDC_ASSOCIATE_ZIP), BST_CHECKED) << "both boxes start ticked";
  EXPECT_EQ(CheckState(options, IDC_ASSOCIATE_OTHERS), BST_CHECKED);
  SetBox(options, IDC_ASSOCIATE_ZIP, c.zip);
  SetBox(options, IDC_ASSOCIATE_OTHERS, c.others);
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, FinishPage));
  ASSERT_TRUE(ClickControl(sheet, SheetFinish, StartWaitMs));
  DWORD exitCode = 0;
  ASSERT_TRUE(WaitForExit(program, 60000, &exitCode));
  EXPECT_EQ(exitCode, 1u);

  const std::vector<RegistryRow> after = ExportAfterFinish();
  const std::vector<RegistryRow> expected = ExpectedLayout(c.zip, c.others, nt4);
  std::vector<std::string> owned(std::begin(OwnedKeys), std::end(OwnedKeys));
  for (const ModuleRegistration& m : ModuleRegistrations) owned.push_back(m.classKey);
  for (const std::string& key : owned) {
    SCOPED_TRACE(key);
    EXPECT_EQ(RowsText(RowsUnder(after, key)), RowsText(RowsUnder(expected, key)));
  }
  for (const Extension& e : Extensions) {
    SCOPED_TRACE(e.name);
    const std::string key = std::string(CR) + e.name;
    const bool chosen = e.when == Zip ? c.zip : c.others;
    // A chosen key is replaced whole (another program's subkeys are gone); the others stay as they were.
    EXPECT_EQ(RowsText(RowsUnder(after, key)), RowsText(RowsUnder(chosen ? expected : before, key)));
  }
  // The default FTP site: one record of 1036 bytes.
  const std::vector<RegistryRow> sites = RowsUnder(after, CU "Software\\KELM\\Tarnwick\\CurrentVersion\\FTP Sites");
  ASSERT_EQ(sites.size(), 2u);
  EXPECT_EQ(sites[1].value, "KELM");
  EXPECT_EQ(sites[1].type, "REG_BINARY");
  EXPECT_EQ(sites[1].data.size(), 2u * 1036);
}

INSTANTIATE_TEST_SUITE_P(Boxes, FinishLayout,
                         testing::Values(LayoutCase{true, true, nullptr}, LayoutCase{true, false, "nt40"},
                                         LayoutCase{false, true, "win98"}, LayoutCase{false, false, nullptr}),
                         [](const testing::TestParamInfo<LayoutCase>& info) {
                           return std::string(info.param.zip ? "Zip" : "NoZip") + (info.param.others ? "Others" : "NoOthers") +
                                  (info.param.wineVersion ? std::string("_") + info.param.wineVersion : "");
                         });

// ---- The restart question ----

constexpr char HeldName[] = "TWFind.exe";  // held open during the copy: it waits for the restart

class RestartQuestion : public testing::TestWithParam<int> {};  // the answer: IDYES or IDNO

// When a key was last written, as the registry keeps it (0 when it does not open).
ULONGLONG KeyWriteTime(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  FILETIME written = {};
  LONG status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, &written);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? (ULONGLONG(written.dwHighDateTime) << 32) | written.dwLowDateTime : 0;
}

TEST_P(RestartQuestion, AskedWhenAFileWaitsAndYesRestarts) {
  const std::string target = std::string(InstallFolder) + "\\" + HeldName;
  ASSERT_TRUE(MakeFolders(InstallFolder));
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  StandInWindow utilities("StandInUtilitiesSetup", "Tarnwick Utilities 98 Setup");
  ASSERT_NE(utilities.window(), nullptr);
  START_WIZARD(program, sheet);
  {
    HeldFile held(target);
    ASSERT_TRUE(held.held());
    ASSERT_TRUE(WalkToPage(sheet, OptionsPage));
    // The copy page offers no error for a held file: it went the ".new" way.
  }
  ASSERT_TRUE(IsReplacementPending(target, target + ".new"));
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, FinishPage));
  ASSERT_TRUE(ClickControl(sheet, SheetFinish, StartWaitMs));

  HWND question = WaitForTopWindow("Restart Windows", 60000, program.processId);
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(MessageText(question), "To complete the installation, you must restart Windows.\n\nRestart Windows Now?");
  EXPECT_EQ(GetWindow(question, GW_OWNER), FindWindowA(MainWindowClass, nullptr));
  EXPECT_NE(GetDlgItem(question, IDYES), nullptr);
  EXPECT_NE(GetDlgItem(question, IDNO), nullptr);
  // The question icon, on the screen once the box has painted.
  WaitForInputIdle(program.process, 3000);
  Sleep(300);
  EXPECT_TRUE(ShowsSystemIcon(GetDlgItem(question, 1088), IDI_QUESTION)) << "the question icon";
  EXPECT_FALSE(ShowsSystemIcon(GetDlgItem(question, 1088), IDI_EXCLAMATION)) << "the comparison tells icons apart";
  // The steps before the question, in their order, by when each left its trace: the utilities'
  // setup hidden, the product's keys written, the modules registered, the FTP site written.
  // (The common-controls update has no trace here: Wine's library is new enough.)
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, "Software\\KELM\\Tarnwick\\CurrentVersion", "InstallDir"),
            InstallFolder);
  const std::string lastModule = std::string(ModuleRegistrations[3].classKey).substr(sizeof "HKEY_CLASSES_ROOT");
  const ULONGLONG trace[] = {
      utilities.hiddenTime(),
      KeyWriteTime(HKEY_LOCAL_MACHINE, "Software\\KELM\\Tarnwick\\CurrentVersion"),
      KeyWriteTime(HKEY_CLASSES_ROOT, lastModule),
      KeyWriteTime(HKEY_CURRENT_USER, "Software\\KELM\\Tarnwick\\CurrentVersion\\FTP Sites"),
  };
  const char* const steps[] = {"hidden", "product keys", "modules", "FTP site"};
  for (size_t i = 0; i < std::size(trace); ++i) {
    SCOPED_TRACE(steps[i]);
    EXPECT_NE(trace[i], 0u) << "no trace";
    if (i > 0) EXPECT_LE(trace[i - 1], trace[i]) << "after " << steps[i - 1];
  }
  ASSERT_TRUE(ClickControl(question, GetParam()));

  DWORD exitCode = 99;
  ASSERT_TRUE(WaitForExit(program, ExitWaitMs, &exitCode));
  const std::string product = ReadFileBytes(ProductFilePath(HeldName)).value_or("<missing>");
  if (GetParam() == IDNO) {
    EXPECT_EQ(exitCode, 1u);
    EXPECT_EQ(ReadFileBytes(target).value_or(""), "old");
    EXPECT_TRUE(IsReplacementPending(target, target + ".new")) << "still waits for the next restart";
  } else {
    std::string content;
    for (int i = 0; i < 50 && content != product; ++i) {
      Sleep(100);
      content = ReadFileBytes(target).value_or("");
    }
    EXPECT_TRUE(content == product) << "the restart put the new file in place";
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, RestartQuestion, testing::Values(IDYES, IDNO),
                         [](const testing::TestParamInfo<int>& info) { return info.param == IDYES ? "Yes" : "No"; });

// Finish pressed again while the restart question is shown does nothing: one question, and the
// registration step ran once (an installed module replaced by a library that records each load).
TEST(FinishPage, ASecondFinishDuringTheQuestionDoesNothing) {
  const std::string target = std::string(InstallFolder) + "\\" + HeldName;
  const char loadLog[] = "C:\\module_loads.log";  // written by S:\versions\load_recorder.dll
  ASSERT_TRUE(MakeFolders(InstallFolder));
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  START_WIZARD(program, sheet);
  {
    HeldFile held(target);
    ASSERT_TRUE(held.held());
    ASSERT_TRUE(WalkToPage(sheet, OptionsPage));
  }
  ASSERT_TRUE(CopyFileA("S:\\versions\\load_recorder.dll", (std::string(InstallFolder) + "\\modeng1.dll").c_str(), FALSE));
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, FinishPage));
  ASSERT_TRUE(ClickControl(sheet, SheetFinish, StartWaitMs));
  HWND question = WaitForTopWindow("Restart Windows", 60000, program.processId);
  ASSERT_NE(question, nullptr);

  ASSERT_TRUE(PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0));
  Sleep(3000);  // time for the steps and a second question
  int questions = 0;
  for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, "Restart Windows"); window != nullptr;
       window = FindWindowExA(nullptr, window, nullptr, "Restart Windows")) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == program.processId && IsWindowVisible(window)) ++questions;
  }
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(ReadFileBytes(loadLog).value_or(""), std::string(InstallFolder) + "\\modeng1.dll\r\n") << "registered once";
  ASSERT_TRUE(ClickControl(question, IDNO));
  DWORD exitCode = 99;
  ASSERT_TRUE(WaitForExit(program, ExitWaitMs, &exitCode)) << "another question holds the program";
  EXPECT_EQ(exitCode, 1u);
  EXPECT_EQ(ReadFileBytes(loadLog).value_or(""), std::string(InstallFolder) + "\\modeng1.dll\r\n") << "registered once";
}

// ---- The Register button ----

TEST(FinishPage, RegisterOpensTheRegistrationPageEachTimeItIsPressed) {
  ASSERT_TRUE(RegisterUrlRecorder());
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, FinishPage));
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string shortcut = std::string(temp) + "KELM.URL";
  const std::string record = shortcut + "\r\n[InternetShortcut]\r\nURL=http://www.tarnwick.example/register/\r\n";
  for (int press = 1; press <= 2; ++press) {
    SCOPED_TRACE("press " + std::to_string(press));
    ASSERT_TRUE(ClickControl(CurrentPage(sheet), IDC_REGISTER));
    std::string expected;
    for (int i = 0; i < press; ++i) expected += record;
    EXPECT_EQ(WaitForFileContent(UrlRecorderLog, 3 * press, 10000), expected);
  }
  EXPECT_EQ(CurrentPageIndex(sheet), FinishPage) << "the page stays";
  EXPECT_EQ(GetWindowLongA(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "out of the topmost band";
  ExpectCancelExitCode1(sheet, program);
}

// ---- Cancel and Exit ----

class CancelOnLastPages : public testing::TestWithParam<int> {};

TEST_P(CancelOnLastPages, RunsNoneOfTheFinishSteps) {
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, GetParam()));
  ExpectCancelExitCode1(sheet, program);
  EXPECT_EQ(ExportRegistry(LM "Software\\KELM").size(), 0u) << "product registration";
  EXPECT_EQ(ExportRegistry(CR "Tarnwick.Archive").size(), 0u) << "associations";
  EXPECT_EQ(ExportRegistry(CR "Tarnwick").size(), 0u);
  EXPECT_EQ(ExportRegistry(ModuleRegistrations[0].classKey).size(), 0u) << "module registration";
  EXPECT_EQ(ExportRegistry(CU "Software\\KELM\\Tarnwick\\CurrentVersion\\FTP Sites").size(), 0u) << "FTP site";
  EXPECT_EQ(UpdatePackageLog(), "");
}

INSTANTIATE_TEST_SUITE_P(Pages, CancelOnLastPages, testing::Values(OptionsPage, FinishPage));

}  // namespace
