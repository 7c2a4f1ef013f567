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

#include "setup/setup_state.h"
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
  if (!WalkToPage(sheet, 2)) return "<destination page not reached>";
  return ControlText(CurrentPage(sheet), 113);
}

// ---- Texts ----

// Every text of the string table, as the program shows or writes it. Test programs carry the
// same resources as setup.exe.
struct TextCase {
  UINT id;
  const char* text;
};
const TextCase Texts[] = {
    {1, "Tarnwick Pro 5.0"},
    {4, "Bar Builder"},
    {5, "Uninstall Tarnwick"},
    {6, "Read Me"},
    {7, "Copy Canceled"},
    {8, "Copying: %s"},
    {9, "An error occurred copying %s to the folder %s (this file might be currently in use or the floppy might "
        "not be accessible).  Would you like to try copying the file again?"},
    {10, "Copy Error"},
    {11, "Disk Gauge"},
    {12, "Updating Registry"},
    {13, "'%s' is not a valid folder name"},
    {14, "Folder Name Error"},
    {19, "Tarnwick 5.0 Setup"},
    {20, "Tarnwick 5.0 can only run on Windows 95, 98, ME or Windows NT 4.0, 2000 or XP"},
    {21, "OS Version Error"},
    {22, "Tarnwick Help"},
    {26, "Locator"},
    {29, "Select the destination folder for the Tarnwick files:"},
    {30, "My Tarnwick"},
    {31, "Toolbar"},
    {33, "Dialog Aide"},
    {34, "Folder Mirror"},
    {35, "Patchwell"},
    {36, "Tarnwick is currently installed on this machine.  Would you like to upgrade to Tarnwick 5.0?"},
    {37, "Previous Version of Tarnwick Detected"},
    {43, "http://www.tarnwick.example/"},
    {44, "To complete the installation, you must restart Windows.\n\nRestart Windows Now?"},
    {45, "Restart Windows"},
    {47, "http://www.tarnwick.example/register/"},
    {48, "Welcome to Tarnwick Pro 5.0!\nYou have purchased the world's best Windows file manager."},
    {49, "Tarnwick 5.0"},
    {50, "Track Lister"},
    {51, "Tarnwick 4.0"},
    {55, "Tarnwick 5.0"},
};

TEST(StartupTexts, StringTableHoldsEveryText) {
  SetupState.instance = GetModuleHandleA(nullptr);
  for (const TextCase& t : Texts) EXPECT_STREQ(LoadText(t.id), t.text) << "text " << t.id;
  EXPECT_STREQ(LoadText(2), "") << "an id without a text gives an empty text";
}

TEST(StartupTexts, LoadTextAlternatesBetweenTwoBuffers) {
  SetupState.instance = GetModuleHandleA(nullptr);
  const char* first = LoadText(20);
  const char* second = LoadText(21);
  EXPECT_NE(first, second);
  EXPECT_STREQ(first, "Tarnwick 5.0 can only run on Windows 95, 98, ME or Windows NT 4.0, 2000 or XP")
      << "two results are held at once";
  const char* third = LoadText(19);
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
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, 1));
  // Accepting the licence goes straight to the copy page, whose run installs into the version
  // 2.0 folder; the run is caught and cancelled.
  std::vector<DWORD> knownThreads = ProcessThreadIds(program.processId);
  ASSERT_TRUE(ClickControl(sheet, SheetNext));
  SuspendedThreads held;
  CaughtRun caught;
  std::string failure;
  ASSERT_TRUE(CatchRun(sheet, program.processId, knownThreads, 0, held, &caught, &failure)) << failure;
  EXPECT_EQ(CurrentPageIndex(sheet), CopyPageIndex);
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
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, 2));
  EXPECT_EQ(ControlText(CurrentPage(sheet), 113), "C:\\Old\\Tarnwick");
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

// The current directory of another process, read from its process parameters (32-bit layout:
// PEB + 0x10 holds the parameters, whose CurrentDirectory.DosPath is at + 0x24).
std::string ProcessCurrentDirectory(HANDLE process) {
  using QueryFunction = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<QueryFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return "<no query>";
  DWORD parameters = 0;
  if (!ReadProcessMemory(process, static_cast<char*>(static_cast<void*>(basic.PebBaseAddress)) + 0x10, &parameters,
                         sizeof parameters, nullptr))
    return "<no parameters>";
  struct {
    USHORT length, maximumLength;
    DWORD buffer;
  } dosPath = {};
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(uintptr_t(parameters) + 0x24), &dosPath, sizeof dosPath,
                         nullptr))
    return "<no directory>";
  std::wstring wide(dosPath.length / 2, L'\0');
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(uintptr_t(dosPath.buffer)), wide.data(), dosPath.length,
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
