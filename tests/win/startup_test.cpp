// Start-up of the real setup program, each scenario in its own Wine prefix: the platform check,
// the version 2.0 upgrade question, the install folder from earlier installations or Program
// Files, the hidden main window and the current directory.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "common/procedures.h"
#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "setup/wizard_pages.h"
#include "support/copy_run.h"
#include "support/setup_session.h"
#include "tools/uidriver/ui_driver.h"

namespace {

constexpr char Version2Key[] = "Software\\Fenmoor\\Tarnwick\\Version2.0";
constexpr char UpgradeCaption[] = "Previous Version of Tarnwick Detected";
constexpr char UpgradeText[] =
    "Tarnwick is currently installed on this machine.  Would you like to upgrade to Tarnwick 5.0?";
constexpr char WindowsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// Walks to the destination page and returns the folder shown in its edit control.
std::string FolderOnDestinationPage(HWND sheet) {
  if (!WalkToPage(sheet, DestinationPage)) return "<destination page not reached>";
  return ControlText(CurrentPage(sheet), IDC_FOLDER_EDIT);
}

// ---- Texts ----

// Every text of the string table, as the program shows or writes it, under its name and its
// number. Test programs carry the same resources as setup.exe.
struct TextCase {
  UINT id;
  UINT number;
  const char* text;
};
const TextCase Texts[] = {
    {IDS_GROUP_NAME, 1, "Tarnwick Pro 5.0"},
    {IDS_ITEM_BAR_BUILDER, 4, "Bar Builder"},
    {IDS_ITEM_UNINSTALL, 5, "Uninstall Tarnwick"},
    {IDS_ITEM_READ_ME, 6, "Read Me"},
    {IDS_COPY_CANCELED, 7, "Copy Canceled"},
    {IDS_COPYING_FILE, 8, "Copying: %s"},
    {IDS_COPY_ERROR, 9,
     "An error occurred copying %s to the folder %s (this file might be currently in use or the floppy might "
     "not be accessible).  Would you like to try copying the file again?"},
    {IDS_COPY_ERROR_CAPTION, 10, "Copy Error"},
    {IDS_ITEM_DISK_GAUGE, 11, "Disk Gauge"},
    {IDS_UPDATING_REGISTRY, 12, "Updating Registry"},
    {IDS_INVALID_FOLDER, 13, "'%s' is not a valid folder name"},
    {IDS_INVALID_FOLDER_CAPTION, 14, "Folder Name Error"},
    {IDS_SETUP_TITLE, 19, "Tarnwick 5.0 Setup"},
    {IDS_UNSUPPORTED_SYSTEM, 20, "Tarnwick 5.0 can only run on Windows 95, 98, ME or Windows NT 4.0, 2000 or XP"},
    {IDS_UNSUPPORTED_SYSTEM_CAPTION, 21, "OS Version Error"},
    {IDS_ITEM_HELP, 22, "Tarnwick Help"},
    {IDS_ITEM_LOCATOR, 26, "Locator"},
    {IDS_BROWSE_TITLE, 29, "Select the destination folder for the Tarnwick files:"},
    {IDS_SHORTCUT_NAME, 30, "My Tarnwick"},
    {IDS_ITEM_TOOLBAR, 31, "Toolbar"},
    {IDS_ITEM_DIALOG_AIDE, 33, "Dialog Aide"},
    {IDS_ITEM_FOLDER_MIRROR, 34, "Folder Mirror"},
    {IDS_ITEM_PATCHWELL, 35, "Patchwell"},
    {IDS_UPGRADE_QUESTION, 36,
     "Tarnwick is currently installed on this machine.  Would you like to upgrade to Tarnwick 5.0?"},
    {IDS_UPGRADE_QUESTION_CAPTION, 37, "Previous Version of Tarnwick Detected"},
    {IDS_HOME_PAGE_ADDRESS, 43, "http://www.tarnwick.example/"},
    {IDS_RESTART_QUESTION, 44, "To complete the installation, you must restart Windows.\n\nRestart Windows Now?"},
    {IDS_RESTART_QUESTION_CAPTION, 45, "Restart Windows"},
    {IDS_REGISTRATION_ADDRESS, 47, "http://www.tarnwick.example/register/"},
    {IDS_WELCOME_TEXT, 48, "Welcome to Tarnwick Pro 5.0!\nYou have purchased the world's best Windows file manager."},
    {IDS_UNINSTALL_DISPLAY_NAME, 49, "Tarnwick 5.0"},
    {IDS_ITEM_TRACK_LISTER, 50, "Track Lister"},
    {IDS_VERSION4_GROUP_NAME, 51, "Tarnwick 4.0"},
    {IDS_VERSION5_GROUP_NAME, 55, "Tarnwick 5.0"},
    {IDS_SETUP_DAMAGED, 56,
     "The Tarnwick 5.0 setup program is damaged and cannot install the product.  Please obtain a new copy of the "
     "setup program."},
};

TEST(StartupTexts, StringTableHoldsEveryText) {
  SetupState.instance = GetModuleHandleA(nullptr);
  for (const TextCase& t : Texts) {
    EXPECT_EQ(t.id, t.number) << "the name of text " << t.number;
    EXPECT_STREQ(LoadText(t.id), t.text) << "text " << t.number;
  }
  EXPECT_STREQ(LoadText(2), "") << "an id without a text gives an empty text";
}

TEST(StartupTexts, LoadTextAlternatesBetweenTwoBuffers) {
  SetupState.instance = GetModuleHandleA(nullptr);
  const char* first = LoadText(IDS_UNSUPPORTED_SYSTEM);
  const char* second = LoadText(IDS_UNSUPPORTED_SYSTEM_CAPTION);
  EXPECT_NE(first, second);
  EXPECT_STREQ(first, "Tarnwick 5.0 can only run on Windows 95, 98, ME or Windows NT 4.0, 2000 or XP")
      << "two results are held at once";
  const char* third = LoadText(IDS_SETUP_TITLE);
  EXPECT_EQ(third, first) << "the third call reuses the first buffer";
  EXPECT_STREQ(first, "Tarnwick 5.0 Setup");
  EXPECT_STREQ(second, "OS Version Error");
}

// ---- Platform ----

struct PlatformCase {
  const char* wineVersion;
  bool supported;
};

void PrintTo(const PlatformCase& c, std::ostream* out) { *out << c.wineVersion; }

class StartupPlatform : public testing::TestWithParam<PlatformCase> {};

TEST_P(StartupPlatform, OnlyWindows95AndNtFamiliesFromVersion4Run) {
  const PlatformCase& c = GetParam();
  ASSERT_TRUE(SetWineVersion("setup.exe", c.wineVersion));
  LaunchedProgram program;
  ASSERT_TRUE(LaunchProgram(SetupProgramPath, "S:\\", program));
  if (!c.supported) {
    HWND box = WaitForTopWindow("OS Version Error", StartWaitMs, program.processId);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "Tarnwick 5.0 can only run on Windows 95, 98, ME or Windows NT 4.0, 2000 or XP");
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the message has no owner";
    EXPECT_EQ(FindWindowA(MainWindowClass, nullptr), nullptr) << "nothing else is done before the message";
    EXPECT_EQ(FindWizardSheet(program.processId), nullptr);
    Sleep(300);  // painted
    EXPECT_TRUE(SaveScreenshot(nullptr, "T:\\startup-os-version-error.bmp"));
    ASSERT_TRUE(ClickControl(box, IDOK));
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitForExit(program, ExitWaitMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    return;
  }
  HWND sheet = WaitForWizardSheet(StartWaitMs, program.processId);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(FindTopWindow("OS Version Error", program.processId), nullptr);
  ExpectCancelExitCode1(sheet, program);
}

INSTANTIATE_TEST_SUITE_P(Versions, StartupPlatform,
                         testing::Values(PlatformCase{"win31", false}, PlatformCase{"win95", true},
                                         PlatformCase{"win98", true}, PlatformCase{"nt40", true},
                                         PlatformCase{"winxp", true}, PlatformCase{"win7", true}),
                         [](const testing::TestParamInfo<PlatformCase>& info) {
                           return std::string(info.param.wineVersion);
                         });

// ---- Version 2.0 ----

// An installed version 2.0 in C:\Old\Tarnwick (value with trailing backslash), TWExplo.exe present.
void InstallVersion2() {
  ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, Version2Key, "InstallDir", "C:\\Old\\Tarnwick\\"));
  ASSERT_TRUE(PutFile("C:\\Old\\Tarnwick\\TWExplo.exe", "version 2.0 explorer"));
}

TEST(StartupUpgrade, YesTakesTheVersion2FolderAndSkipsTheDestinationPage) {
  InstallVersion2();
  // A later key of the folder search must not be used after an accepted upgrade.
  ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELM\\Tarnwick\\CurrentVersion", "InstallDir", "C:\\Other"));
  LaunchedProgram program;
  ASSERT_TRUE(LaunchProgram(SetupProgramPath, "S:\\", program));
  HWND box = WaitForTopWindow(UpgradeCaption, StartWaitMs, program.processId);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageText(box), UpgradeText);
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
  EXPECT_TRUE(GetButtonState(box, IDYES).visible);
  EXPECT_TRUE(GetButtonState(box, IDNO).visible);
  Sleep(300);  // painted
  EXPECT_TRUE(SaveScreenshot(nullptr, "T:\\startup-upgrade-question.bmp"));
  ASSERT_TRUE(ClickControl(box, IDYES));

  HWND sheet = WaitForWizardSheet(StartWaitMs, program.processId);
  ASSERT_NE(sheet, nullptr);
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, LicencePage));
  // Accepting the licence goes straight to the copy page, whose run installs into the version
  // 2.0 folder; the run is caught and cancelled.
  std::vector<DWORD> knownThreads = ProcessThreadIds(program.processId);
  ASSERT_TRUE(ClickControl(sheet, SheetNext));
  SuspendedThreads held;
  CaughtRun caught;
  std::string failure;
  ASSERT_TRUE(CatchRun(sheet, program.processId, knownThreads, 0, held, &caught, &failure)) << failure;
  EXPECT_EQ(CurrentPageIndex(sheet), CopyPage);
  EXPECT_EQ(PageWindow(sheet, 2), nullptr) << "the destination page was never shown";
  EXPECT_EQ(ControlText(sheet, SheetNext), "&Next >") << "the copy page restored the Next caption";
  ASSERT_TRUE(ClickControl(caught.copyPage, CopyPageCancel));
  ASSERT_TRUE(WaitForButtonState(caught.copyPage, CopyPageCancel, {true, true, false}));
  held.Resume();
  ASSERT_TRUE(WaitForButtonState(sheet, SheetBack, {true, true, true}, StartWaitMs)) << "the run did not stop";
  EXPECT_EQ(ControlText(caught.copyPage, CopyPageStatus), "Copy Canceled");
  std::string name = caught.status.substr(strlen("Copying: "));
  EXPECT_NE(GetFileAttributesA(("C:\\Old\\Tarnwick\\" + name).c_str()), INVALID_FILE_ATTRIBUTES)
      << "the run installed into the version 2.0 folder";

  // Back from the stopped run: the destination page, holding the version 2.0 folder.
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, DestinationPage));
  EXPECT_EQ(ControlText(CurrentPage(sheet), IDC_FOLDER_EDIT), "C:\\Old\\Tarnwick");
  ExpectCancelExitCode1(sheet, program);
}

TEST(StartupUpgrade, NoEndsWithExitCode0AndNoWizard) {
  InstallVersion2();
  LaunchedProgram program;
  ASSERT_TRUE(LaunchProgram(SetupProgramPath, "S:\\", program));
  HWND box = WaitForTopWindow(UpgradeCaption, StartWaitMs, program.processId);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(ClickControl(box, IDNO));
  bool sawWizard = false;
  DWORD exitCode = 99;
  DWORD start = GetTickCount();
  while (!WaitForExit(program, 50, &exitCode) && GetTickCount() - start < ExitWaitMs)
    if (FindWizardSheet(program.processId)) sawWizard = true;
  ASSERT_FALSE(IsRunning(program));
  EXPECT_FALSE(sawWizard);
  EXPECT_EQ(exitCode, 0u);
}

// ---- The folder search and the default folder ----

struct RegistryText {
  const char* key;  // under HKEY_LOCAL_MACHINE
  const char* name;  // null: the key only
  const char* value;
};

struct FolderCase {
  const char* name;
  std::vector<RegistryText> registry;
  std::string expectedFolder;
};

constexpr char Key1[] = "SOFTWARE\\KELM\\Tarnwick\\CurrentVersion";
constexpr char Key2[] = "SOFTWARE\\Fenmoor\\Tarnwick\\CurrentVersion";
constexpr char Key3[] = "SOFTWARE\\Fenmoor\\Tarnwick\\Version2.0";
constexpr char Key4[] = "SOFTWARE\\Fenmoor\\Tarnwick\\Version1.0";

// A folder whose "TWExplo.exe" path would be longer than 259 characters: 3 + 250 + 1 characters.
const std::string LongFolder = "C:\\" + std::string(250, 'x');
const std::string LongFolderWithBackslash = LongFolder + "\\";

void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.name; }

class StartupFolderSearch : public testing::TestWithParam<FolderCase> {};

TEST_P(StartupFolderSearch, DestinationPageShowsTheFolderFound) {
  const FolderCase& c = GetParam();
  for (const RegistryText& r : c.registry) {
    bool written = r.name ? PutRegistryText(HKEY_LOCAL_MACHINE, r.key, r.name, r.value)
                          : PutRegistryKey(HKEY_LOCAL_MACHINE, r.key);
    ASSERT_TRUE(written) << r.key;
  }
  LaunchedProgram program;
  std::string failure;
  HWND sheet = StartWizard(program, &failure);
  ASSERT_NE(sheet, nullptr) << failure;  // an upgrade question would have held the wizard back
  EXPECT_EQ(FolderOnDestinationPage(sheet), c.expectedFolder);
  ExpectCancelExitCode1(sheet, program);
}

const FolderCase FolderCases[] = {
    {"FourthKeyOnlyLosesItsTrailingBackslash", {{Key4, "InstallDir", "E:\\Apps\\"}}, "E:\\Apps"},
    {"EmptyValueWins", {{Key2, "InstallDir", ""}, {Key4, "InstallDir", "E:\\Apps"}}, ""},
    {"FirstKeyComesFirst", {{Key1, "InstallDir", "C:\\One"}, {Key2, "InstallDir", "C:\\Two"}}, "C:\\One"},
    {"KeyWithoutValueIsPassedOver", {{Key1, nullptr, nullptr}, {Key3, "InstallDir", "D:\\Three\\"}}, "D:\\Three"},
    {"OnlyOneBackslashIsRemoved", {{Key2, "InstallDir", "C:\\Two\\\\"}}, "C:\\Two\\"},
    {"Version2WithoutExplorerIsFoundAsThirdKey", {{Key3, "InstallDir", "C:\\Old\\Tarnwick\\"}}, "C:\\Old\\Tarnwick"},
    {"Version2FolderTooLongToProbeIsNoInstallation", {{Key3, "InstallDir", LongFolderWithBackslash.c_str()}}, LongFolder},
};

INSTANTIATE_TEST_SUITE_P(Keys, StartupFolderSearch, testing::ValuesIn(FolderCases),
                         [](const testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

TEST(StartupDefaultFolder, WinesProgramFilesGivesProgramFilesKelmTarnwick) {
  std::string programFiles = ReadRegistryText(HKEY_LOCAL_MACHINE, WindowsKey, "ProgramFilesDir");
  ASSERT_EQ(programFiles, "C:\\Program Files");
  LaunchedProgram program;
  std::string failure;
  HWND sheet = StartWizard(program, &failure);
  ASSERT_NE(sheet, nullptr) << failure;
  EXPECT_EQ(FolderOnDestinationPage(sheet), "C:\\Program Files\\KELM\\Tarnwick");
  EXPECT_EQ(GetFileAttributesA("C:\\Program Files\\KELM"), INVALID_FILE_ATTRIBUTES) << "not created at start-up";
  ExpectCancelExitCode1(sheet, program);
}

struct DefaultCase {
  const char* name;
  const char* programFiles;  // null: value removed
  const char* expectedFolder;
  const char* createdFolder;  // the Program Files folder created at start-up, or null
};

void PrintTo(const DefaultCase& c, std::ostream* out) { *out << c.name; }

class StartupDefaultFolderValue : public testing::TestWithParam<DefaultCase> {};

TEST_P(StartupDefaultFolderValue, FolderFollowsProgramFilesDir) {
  const DefaultCase& c = GetParam();
  bool written = c.programFiles ? PutRegistryText(HKEY_LOCAL_MACHINE, WindowsKey, "ProgramFilesDir", c.programFiles)
                                : DeleteRegistryValue(HKEY_LOCAL_MACHINE, WindowsKey, "ProgramFilesDir");
  ASSERT_TRUE(written);
  LaunchedProgram program;
  std::string failure;
  HWND sheet = StartWizard(program, &failure);
  ASSERT_NE(sheet, nullptr) << failure;
  EXPECT_EQ(FolderOnDestinationPage(sheet), c.expectedFolder);
  if (c.createdFolder) {
    EXPECT_NE(GetFileAttributesA(c.createdFolder), INVALID_FILE_ATTRIBUTES);
  }
  ExpectCancelExitCode1(sheet, program);
}

const std::string LongProgramFiles = "C:\\" + std::string(246, 'p');  // 249 + 14 characters would not fit

const DefaultCase DefaultCases[] = {
    {"OtherProgramFilesFolderIsCreated", "C:\\Apps Here", "C:\\Apps Here\\KELM\\Tarnwick", "C:\\Apps Here"},
    {"MissingValueGivesKelmOnC", nullptr, "C:\\KELM\\Tarnwick", nullptr},
    {"JoinTooLongGivesKelmOnC", LongProgramFiles.c_str(), "C:\\KELM\\Tarnwick", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Values, StartupDefaultFolderValue, testing::ValuesIn(DefaultCases),
                         [](const testing::TestParamInfo<DefaultCase>& info) { return std::string(info.param.name); });

// ---- The hidden main window ----

TEST(StartupMainWindow, HiddenWindowOfTheSetupClassExistsWhileTheWizardRuns) {
  LaunchedProgram program;
  std::string failure;
  HWND sheet = StartWizard(program, &failure);
  ASSERT_NE(sheet, nullptr) << failure;
  HWND main = FindWindowA(MainWindowClass, nullptr);
  ASSERT_NE(main, nullptr);
  DWORD owner = 0;
  GetWindowThreadProcessId(main, &owner);
  EXPECT_EQ(owner, program.processId);
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_EQ(GetParent(main), nullptr);
  EXPECT_EQ(WindowText(main), "");
  EXPECT_EQ(DWORD(GetWindowLongA(main, GWL_STYLE)) & (WS_OVERLAPPEDWINDOW | WS_VISIBLE), DWORD(WS_OVERLAPPEDWINDOW));
  EXPECT_EQ(GetClassLongA(main, GCL_STYLE), 0u);
  EXPECT_EQ(GetClassLongA(main, GCL_CBWNDEXTRA), 4u);
  EXPECT_EQ(GetClassLongA(main, GCL_CBCLSEXTRA), 0u);
  ExpectCancelExitCode1(sheet, program);
}

// ---- The current directory ----

// The current directory of another process of this program's width, read from its process
// parameters: the PEB holds their address at 0x10 (32-bit) or 0x20 (64-bit); in them
// CurrentDirectory.DosPath is at 0x24 or 0x38.
std::string ProcessCurrentDirectory(HANDLE process) {
  constexpr bool Wide = sizeof(void*) == 8;
  constexpr size_t ParametersInPeb = Wide ? 0x20 : 0x10, DirectoryInParameters = Wide ? 0x38 : 0x24;
  using QueryFunction = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  auto query = FindProcedure<QueryFunction>(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
  PROCESS_BASIC_INFORMATION basic = {};
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return "<no query>";
  uintptr_t parameters = 0;
  if (!ReadProcessMemory(process, static_cast<char*>(static_cast<void*>(basic.PebBaseAddress)) + ParametersInPeb,
                         &parameters, sizeof parameters, nullptr))
    return "<no parameters>";
  struct {
    USHORT length, maximumLength;
    uintptr_t buffer;
  } dosPath = {};
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(parameters + DirectoryInParameters), &dosPath,
                         sizeof dosPath, nullptr))
    return "<no directory>";
  std::wstring wide(dosPath.length / 2, L'\0');
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(dosPath.buffer), wide.data(), dosPath.length,
                         nullptr))
    return "<no text>";
  char text[MAX_PATH * 2] = {};
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()), text, sizeof text - 1, nullptr, nullptr);
  return text;
}

struct DirectoryCase {
  const char* name;
  const char* programPath;  // where setup.exe is copied and started from
  const char* startDirectory;
  const char* expectedDirectory;
};

void PrintTo(const DirectoryCase& c, std::ostream* out) { *out << c.name; }

class StartupCurrentDirectory : public testing::TestWithParam<DirectoryCase> {};

TEST_P(StartupCurrentDirectory, ProgramFolderBecomesTheCurrentDirectory) {
  const DirectoryCase& c = GetParam();
  if (strcmp(c.programPath, SetupProgramPath) != 0) {
    std::string path = c.programPath;
    MakeFolders(path.substr(0, path.rfind('\\')).c_str());
    ASSERT_TRUE(CopyFileA(SetupProgramPath, c.programPath, FALSE));
  }
  LaunchedProgram program;
  ASSERT_TRUE(LaunchProgram(c.programPath, c.startDirectory, program));
  HWND sheet = WaitForWizardSheet(StartWaitMs, program.processId);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(ProcessCurrentDirectory(program.process), c.expectedDirectory);
  ExpectCancelExitCode1(sheet, program);
}

const DirectoryCase DirectoryCases[] = {
    {"FolderWithBlank", "C:\\Setup Copy\\setup.exe", "C:\\windows", "C:\\Setup Copy\\"},
    {"TestDrive", "S:\\setup.exe", "C:\\windows", "S:\\"},
    // In a drive's root the text is "C:", which names the drive's current directory.
    {"DriveRootKeepsTheDrivesDirectory", "C:\\setup.exe", "C:\\windows", "C:\\windows\\"},
};

INSTANTIATE_TEST_SUITE_P(Places, StartupCurrentDirectory, testing::ValuesIn(DirectoryCases),
                         [](const testing::TestParamInfo<DirectoryCase>& info) { return std::string(info.param.name); });

}  // namespace
