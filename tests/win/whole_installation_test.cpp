// The whole installation from setup.exe's start to Finish, driven like a user, in Wine's
// "win98", "nt40" and "winxp" versions and the default one: the program group (its items by the
// shell's shortcuts, and every item by the command the desktop received, since Wine refuses the
// uninstaller's item with its argument), the "My Tarnwick" links, the ".url" files, the
// uninstall entry as Wine's uninstaller lists it, the heap option, the version 3.0 settings.
// Also a second installation over the first, version 4.0's clean-up, and long install folders.
// The desktop's trace (L:\desktop.log) is on for this program (cmake/windows.cmake).
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "install/payload_catalogue.h"
#include "setup/setup_state.h"
#include "setup/wizard_pages.h"
#include "shortcuts/progman.h"
#include "shortcuts/shell_links.h"
#include "support/copy_page_stand_in.h"
#include "support/copy_run.h"
#include "support/finish_support.h"
#include "support/installation.h"
#include "support/process_threads.h"
#include "support/program_groups.h"
#include "support/setup_session.h"
#include "support/test_files.h"

namespace {

constexpr const char* Folder = DefaultInstallFolder;
constexpr char GroupName[] = "Tarnwick Pro 5.0";
constexpr char HeapOptionKey[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\twexplo.exe";
constexpr char Version3Toolbar[] = "Software\\Brask\\Tarnwick\\Version3.0\\Toolbar";
constexpr char CurrentToolbar[] = "Software\\KELM\\Tarnwick\\CurrentVersion\\Toolbar";

std::string InFolder(const char* name) { return std::string(Folder) + "\\" + name; }

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = "";
  return SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) ? path : "";
}

std::vector<std::string> LinkFiles(const std::string& folder) {
  std::vector<std::string> links;
  for (const std::string& name : FolderFileNames(folder))
    if (name.size() > 4 && lstrcmpiA(name.c_str() + name.size() - 4, ".lnk") == 0) links.push_back(name);
  return links;
}

// The Program Manager commands the desktop has received so far, in order, from its trace lines
// 'trace:shell:Dde_OnExecute conv=... topic=L"Progman" data=L"[...]"'.
std::vector<std::string> DesktopCommands() {
  std::vector<std::string> commands;
  std::string log = ReadFileBytes("L:\\desktop.log").value_or("");
  for (size_t at = 0; (at = log.find("Dde_OnExecute", at)) != std::string::npos;) {
    size_t begin = log.find("data=L\"", at);
    size_t end = log.find('\n', at);
    at = end == std::string::npos ? log.size() : end;
    if (begin == std::string::npos || begin > at) continue;
    std::string command;
    for (size_t i = begin + 7; i < at && log[i] != '\r'; ++i) {
      if (log[i] == '\\' && i + 1 < at) ++i;  // \" and \\ stand for the character itself
      command += log[i];
    }
    if (!command.empty() && command.back() == '"') command.pop_back();
    commands.push_back(command);
  }
  return commands;
}

bool IsUninstaller(const GroupItem& item) { return std::strcmp(item.file, "UnInstal.exe") == 0; }

std::vector<std::string> ExpectedGroupCommands() {
  std::vector<std::string> commands = {std::string("[CreateGroup(") + GroupName + ")]",
                                       std::string("[ShowGroup(") + GroupName + ",1)]"};
  for (const GroupItem& item : ProductGroupItems) {
    std::string line = "\"" + InFolder(item.file) + "\"";
    if (IsUninstaller(item)) line += std::string(" ") + Folder;
    commands.push_back("[AddItem(" + line + "," + item.caption + ")]");
  }
  return commands;
}

// The commands from the last creation of the product's group on.
std::vector<std::string> LastGroupCommands() {
  std::vector<std::string> all = DesktopCommands();
  auto created = std::find(all.rbegin(), all.rend(), std::string("[CreateGroup(") + GroupName + ")]");
  if (created == all.rend()) return {};
  return std::vector<std::string>(created.base() - 1, all.end());
}

void ExpectGroup() {
  EXPECT_EQ(LastGroupCommands(), ExpectedGroupCommands());
  std::vector<std::string> expected;
  for (const GroupItem& item : ProductGroupItems)
    if (!IsUninstaller(item)) expected.push_back(std::string(item.caption) + ".lnk");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(GroupItems(GroupName), expected);
  for (const GroupItem& item : ProductGroupItems) {
    if (IsUninstaller(item)) continue;
    std::optional<ShortcutInfo> link = ReadShortcut(GroupFolder(GroupName) + "\\" + item.caption + ".lnk");
    ASSERT_TRUE(link) << item.caption;
    EXPECT_EQ(link->target, InFolder(item.file)) << item.caption;
    EXPECT_TRUE(ReadFileBytes(link->target)) << item.caption << ": no such file";
  }
}

void ExpectMyTarnwickLinks() {
  for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU}) {
    const std::string folder = ShellFolder(csidl);
    EXPECT_EQ(LinkFiles(folder), std::vector<std::string>{"My Tarnwick.lnk"}) << folder;
    std::optional<ShortcutInfo> link = ReadShortcut(folder + "\\My Tarnwick.lnk");
    ASSERT_TRUE(link) << folder;
    EXPECT_EQ(link->target, InFolder("TWExplo.exe"));
    EXPECT_EQ(link->description, "My Tarnwick");
    EXPECT_EQ(link->arguments, "");
  }
}

// ---- A complete installation, on each family ----

struct Version {
  const char* name;  // Wine's version setting; null: the default
  bool ntFamily;
};
const Version Versions[] = {{"win98", false}, {"nt40", true}, {"winxp", true}, {nullptr, true}};

class WholeInstallation : public ::testing::TestWithParam<Version> {};

TEST_P(WholeInstallation, EveryEffectAUserWouldCheck) {
  const Version& version = GetParam();
  ASSERT_TRUE(MakeWindowsShellKeys());
  ASSERT_TRUE(PutRegistryText(HKEY_CURRENT_USER, Version3Toolbar, "Rows", "2"));
  InstallLikeAUser(version.name);
  if (HasFatalFailure()) return;

  ExpectGroup();
  ExpectMyTarnwickLinks();
  EXPECT_EQ(ReadFileBytes(InFolder("website.url")),
            std::optional<std::string>("[InternetShortcut]\r\nURL=http://www.tarnwick.example/"));
  EXPECT_EQ(ReadFileBytes(InFolder("register.url")),
            std::optional<std::string>("[InternetShortcut]\r\nURL=http://www.tarnwick.example/register/"));
  std::string listed;
  DWORD exitCode = 1;
  ASSERT_TRUE(RunCaptured("uninstaller.exe --list", nullptr, 60000, &listed, &exitCode));
  EXPECT_NE(listed.find("Tarnwick 5.0"), std::string::npos) << listed;
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, HeapOptionKey, "DisableHeapLookAside"), version.ntFamily ? "1" : "");
  EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, CurrentToolbar, "Rows"), "2");
}

INSTANTIATE_TEST_SUITE_P(Versions, WholeInstallation, testing::ValuesIn(Versions),
                         [](const testing::TestParamInfo<Version>& info) {
                           return std::string(info.param.name ? info.param.name : "default");
                         });

TEST(WholeInstallationTwice, LeavesOneGroupWithOneSetOfItemsAndOnePairOfLinks) {
  ASSERT_TRUE(MakeWindowsShellKeys());
  InstallLikeAUser(nullptr);
  if (HasFatalFailure()) return;
  InstallLikeAUser(nullptr);
  if (HasFatalFailure()) return;
  const std::vector<std::string> groups = GroupNames();
  EXPECT_EQ(std::count(groups.begin(), groups.end(), GroupName), 1);
  ExpectGroup();
  ExpectMyTarnwickLinks();
}

// ---- Version 4.0's groups and uninstall keys ----

constexpr const char* Version4Groups[] = {"Tarnwick 4.0", "Tarnwick 4.0 BETA", "Tarnwick 4.0 Pro"};
constexpr const char* Version4Keys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick4.0",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Uninstall\\Tarnwick4.0",
};

bool KeyExists(const char* path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

struct CleanUpCase {
  const char* what;
  bool explorerPresent;  // "twexplo.exe" in the folder before the run
};

// An earlier version's link on the desktop to its explorer in the install folder is pruned by the
// run, and the new pair of "My Tarnwick" links is made; a link of the user's to another program
// stays.
TEST(OutdatedLinks, AnEarlierVersionsDesktopLinkGoesAndTheNewPairIsMade) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  ASSERT_TRUE(PutFile(InFolder("TWExplo.exe").c_str(), "an earlier version's explorer"));
  const std::string desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
  ASSERT_EQ(CreateShellLink(desktop.c_str(), "Tarnwick Explorer", InFolder("TWExplo.exe").c_str(), nullptr, nullptr,
                            SW_SHOWNORMAL, nullptr, 0, nullptr),
            1);
  ASSERT_EQ(CreateShellLink(desktop.c_str(), "Notepad", "C:\\windows\\notepad.exe", nullptr, nullptr, SW_SHOWNORMAL,
                            nullptr, 0, nullptr),
            1);
  InstallLikeAUser(nullptr);
  EXPECT_EQ(LinkFiles(desktop), (std::vector<std::string>{"My Tarnwick.lnk", "Notepad.lnk"}));
  for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU}) {
    std::optional<ShortcutInfo> link = ReadShortcut(ShellFolder(csidl) + "\\My Tarnwick.lnk");
    ASSERT_TRUE(link.has_value()) << csidl;
    EXPECT_EQ(link->target, InFolder("TWExplo.exe"));
  }
}

TEST(Version4CleanUp, OnlyWhenItsExplorerIsInTheFolderAndBeforeTheFirstFile) {
  const CleanUpCase cases[] = {{"twexplo.exe already there", true}, {"a fresh folder", false}};
  for (const CleanUpCase& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(InFolder("twexplo.exe").c_str());
    if (c.explorerPresent) {
      ASSERT_TRUE(PutFile(InFolder("twexplo.exe").c_str(), "version 4.0"));
    }
    for (const char* group : Version4Groups) ASSERT_EQ(ProgmanCreateGroup(group, nullptr), 1) << group;
    for (const char* key : Version4Keys)
      ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, key, "DisplayName", "Tarnwick 4.0"));

    START_WIZARD(program, sheet);
    std::vector<DWORD> knownThreads = ProcessThreadIds(program.processId);
    ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
    ASSERT_TRUE(ClickControl(sheet, SheetNext));
    // Held at one of the first files: what the clean-up does is done by now.
    SuspendedThreads held;
    CaughtRun caught;
    std::string failure;
    ASSERT_TRUE(CatchRun(sheet, program.processId, knownThreads, 0, held, &caught, &failure)) << failure;
    for (const char* group : Version4Groups) EXPECT_EQ(GroupExists(group), !c.explorerPresent) << group;
    for (const char* key : Version4Keys) EXPECT_EQ(KeyExists(key), !c.explorerPresent) << key;
    held.Resume();
    ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs));
    ExpectCancelExitCode1(sheet, program);
    for (const char* group : Version4Groups) EXPECT_EQ(GroupExists(group), !c.explorerPresent) << group;
    for (const char* key : Version4Keys) EXPECT_EQ(KeyExists(key), !c.explorerPresent) << key;
    for (const char* group : Version4Groups) ProgmanDeleteGroup(group);
  }
}

// ---- Long install folders ----

struct LongFolderCase {
  const char* what;
  size_t length;
  bool linksAndUrlFiles;  // "My Tarnwick" links and the ".url" files can be formed
};

// The run itself, with a stand-in copy page that answers No (skip) to each file that cannot be
// written: the finishing steps skip what cannot be formed and make the rest.
TEST(LongInstallFolder, WhatCannotBeFormedIsSkippedAndTheRestMade) {
  const LongFolderCase cases[] = {
      {"246 characters: a 12-character name still fits", 246, true},
      {"259 characters: no file name fits", 259, false},
  };
  for (const LongFolderCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string folder = "C:\\" + std::string(120, 'g') + "\\";
    folder += std::string(c.length - folder.size(), 'h');
    std::strcpy(SetupState.installFolder, folder.c_str());
    SetupState.isNT = 1;
    InstallRunScript script;
    script.answers.assign(PayloadEntryCount, IDNO);
    InstallRunRecord record = RunInstallWorker(script);
    ASSERT_TRUE(record.finished);
    EXPECT_EQ(record.done, std::vector<int>{1});
    const std::string target = folder + "\\TWExplo.exe";
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU}) {
      std::optional<ShortcutInfo> link = ReadShortcut(ShellFolder(csidl) + "\\My Tarnwick.lnk");
      EXPECT_EQ(bool(link), c.linksAndUrlFiles);
      if (link) {
        EXPECT_EQ(link->target, target);
      }
    }
    EXPECT_EQ(bool(ReadFileBytes(folder + "\\website.url")), c.linksAndUrlFiles);
    EXPECT_EQ(bool(ReadFileBytes(folder + "\\register.url")), c.linksAndUrlFiles);
    EXPECT_TRUE(GroupExists(GroupName));
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU})
      DeleteFileA((ShellFolder(csidl) + "\\My Tarnwick.lnk").c_str());
  }
}

}  // namespace
