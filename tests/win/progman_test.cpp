// Program Manager's commands against the shell of the test prefix (Wine's desktop answers
// "PROGMAN"): the exact texts, the groups and shortcuts they make, a folder holding Program
// Manager's syntax, and what a missing or stalled shell costs.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "shortcuts/progman.h"
#include "support/program_groups.h"
#include "support/setup_session.h"

namespace {

std::vector<std::string> Sent;  // what reached Program Manager while the recorder was set
void RecordCommand(const char* command) { Sent.push_back(command); }

constexpr char TestGroup[] = "Tarnwick Test";
const std::string LongFolder = "C:\\" + std::string(256, 'f');  // 259 characters
// Every character of the syntax a folder may hold, so that a bare folder would end the command
// and start one of its own.
const std::string SyntaxFolder = "C:\\Tarn, wick (1) [x])][DeleteGroup(Victim)][(";

std::string ItemLine(const std::string& folder, const char* file, const std::string* argument) {
  char line[ItemCommandLineSize];
  if (!FormItemCommandLine(line, sizeof line, folder.c_str(), file, argument ? argument->c_str() : nullptr))
    return "<refused>";
  return line;
}

const std::string Notepad = "\"C:\\windows\\notepad.exe\"";
const std::string Blanks = "C:\\Program Files\\KELM\\Tarnwick";
const std::string LongCaption(199, 'c'), LongIcon = LongFolder.substr(0, 250) + "\\icon.ico";

struct TextCase {
  const char* what;
  std::function<int()> send;
  std::string expected;  // empty: nothing may be sent
};
const TextCase TextCases[] = {
    {"no group file", [] { return ProgmanCreateGroup(TestGroup, nullptr); }, "[CreateGroup(Tarnwick Test)]"},
    {"empty group file", [] { return ProgmanCreateGroup(TestGroup, ""); }, "[CreateGroup(Tarnwick Test)]"},
    {"group file", [] { return ProgmanCreateGroup(TestGroup, "T.GRP"); }, "[CreateGroup(Tarnwick Test,T.GRP)]"},
    {"show 1", [] { return ProgmanShowGroup(TestGroup, 1); }, "[ShowGroup(Tarnwick Test,1)]"},
    {"show above 65535", [] { return ProgmanShowGroup(TestGroup, 0x10003); }, "[ShowGroup(Tarnwick Test,3)]"},
    {"no icon file drops the index", [] { return ProgmanAddItem(Notepad.c_str(), "N", "", 7); },
     "[AddItem(\"C:\\windows\\notepad.exe\",N)]"},
    {"icon, index above 65535", [] { return ProgmanAddItem(Notepad.c_str(), "N", "C:\\i.ico", 0x10002); },
     "[AddItem(\"C:\\windows\\notepad.exe\",N,C:\\i.ico,2)]"},
    // (Wine's shell crashes on ", (" in a command, so no opening parenthesis here.)
    {"caption with , and ) unchanged", [] { return ProgmanAddItem(Notepad.c_str(), "N, x)", nullptr, 0); },
     "[AddItem(\"C:\\windows\\notepad.exe\",N, x))]"},
    {"uninstaller: the folder argument bare",
     [] { return ProgmanAddItem(ItemLine(Blanks, "UnInstal.exe", &Blanks).c_str(), "U", nullptr, 0); },
     "[AddItem(\"" + Blanks + "\\UnInstal.exe\" " + Blanks + ",U)]"},
    {"uninstaller: a folder with , ( ) [ ] quoted",
     [] { return ProgmanAddItem(ItemLine(SyntaxFolder, "UnInstal.exe", &SyntaxFolder).c_str(), "U", nullptr, 0); },
     "[AddItem(\"" + SyntaxFolder + "\\UnInstal.exe\" \"" + SyntaxFolder + "\",U)]"},
    {"the longest item whole",
     [] {
       return ProgmanAddItem(ItemLine(LongFolder, "UnInstal.exe", &LongFolder).c_str(), LongCaption.c_str(),
                             LongIcon.c_str(), 65535);
     },
     "[AddItem(\"" + LongFolder + "\\UnInstal.exe\" " + LongFolder + "," + LongCaption + "," + LongIcon + ",65535)]"},
    {"too long: nothing", [] { return ProgmanAddItem(std::string(ProgmanCommandSize, 'x').c_str(), "U", nullptr, 0); },
     ""},
    {"no group name: nothing", [] { return ProgmanDeleteGroup("") + ProgmanShowGroup(nullptr, 1); }, ""},
    {"delete", [] { return ProgmanDeleteGroup(TestGroup); }, "[DeleteGroup(Tarnwick Test)]"},
};

TEST(ProgmanCommands, EachFormSendsItsExactTextAndNothingIsCut) {
  for (const TextCase& c : TextCases) {
    SCOPED_TRACE(c.what);
    Sent.clear();
    ProgmanCommandObserver = RecordCommand;
    int result = c.send();
    ProgmanCommandObserver = nullptr;
    EXPECT_EQ(Sent, c.expected.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.expected});
    if (c.expected.empty()) {
      EXPECT_EQ(result, 0);
    }
  }
  char small[16] = "untouched";
  EXPECT_EQ(FormItemCommandLine(small, sizeof small, "C:\\Tarnwick", "TWick.exe", nullptr), 0);
  EXPECT_STREQ(small, "") << "a command line that does not fit is refused, not cut";
}

TEST(ProgmanEffects, GroupsAreStartMenuFoldersAndItemsShortcutsToTheWholePath) {
  ASSERT_EQ(ProgmanCreateGroup("Victim", nullptr), 1);
  const std::vector<std::string> groups = GroupNames();
  std::vector<std::string> withTestGroup = groups;
  withTestGroup.push_back(TestGroup);
  std::sort(withTestGroup.begin(), withTestGroup.end());
  const std::string program = SyntaxFolder + "\\TWick.exe", quoted = "\"" + program + "\"";
  ASSERT_TRUE(PutFile(program.c_str(), "program"));
  ASSERT_EQ(ProgmanCreateGroup(TestGroup, nullptr), 1);
  const std::string line = ItemLine(SyntaxFolder, "TWick.exe", nullptr);
  EXPECT_EQ(ProgmanAddItem(line.c_str(), "Toolbar", nullptr, 0), 1);
  EXPECT_EQ(ProgmanAddItem(line.c_str(), "With Icon", quoted.c_str(), 3), 1);
  // Wine's shell takes the whole command line for one file and refuses an item with an argument
  // (Windows makes it); either way nothing of the folder may act as a command.
  ProgmanAddItem(ItemLine(SyntaxFolder, "UnInstal.exe", &SyntaxFolder).c_str(), "Uninstall", nullptr, 0);

  EXPECT_EQ(GroupNames(), withTestGroup) << "a command was injected";
  std::vector<std::string> items = GroupItems(TestGroup);
  items.erase(std::remove(items.begin(), items.end(), "Uninstall.lnk"), items.end());
  EXPECT_EQ(items, (std::vector<std::string>{"Toolbar.lnk", "With Icon.lnk"}));
  EXPECT_TRUE(GroupItems("Victim").empty());
  std::optional<ShortcutInfo> toolbar = ReadShortcut(GroupFolder(TestGroup) + "\\Toolbar.lnk");
  std::optional<ShortcutInfo> withIcon = ReadShortcut(GroupFolder(TestGroup) + "\\With Icon.lnk");
  ASSERT_TRUE(toolbar && withIcon);
  EXPECT_EQ(toolbar->target + "|" + toolbar->arguments + "|" + toolbar->description, program + "||Toolbar");
  EXPECT_EQ(withIcon->iconFile + "|" + std::to_string(withIcon->iconIndex), program + "|3");

  EXPECT_EQ(ProgmanShowGroup(TestGroup, 1), 1);
  const std::vector<std::string> kept = GroupItems(TestGroup);
  EXPECT_EQ(ProgmanCreateGroup(TestGroup, nullptr), 1);
  EXPECT_EQ(GroupItems(TestGroup), kept) << "creating an existing group keeps its items";
  EXPECT_EQ(ProgmanDeleteGroup(TestGroup), 1);
  EXPECT_FALSE(GroupExists(TestGroup)) << "the group and its shortcuts are gone";
  ProgmanDeleteGroup(TestGroup);  // a missing group: refused by the shell, and that is all
  EXPECT_EQ(GroupNames(), groups);
}

// ---- Without a shell, and with a stalled one ----

DWORD WINAPI SendWhereNoShellRuns(void* slowestMs) {
  // A desktop of a window station of its own: no shell answers "PROGMAN" there.
  HWINSTA original = GetProcessWindowStation();
  HWINSTA station = CreateWindowStationA("TarnwickNoShell", 0, WINSTA_ALL_ACCESS, nullptr);
  if (station == nullptr || !SetProcessWindowStation(station)) return 99;
  HDESK desktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  int results = 99;
  if (desktop != nullptr && SetThreadDesktop(desktop)) {
    const std::function<int()> operations[] = {
        [] { return ProgmanCreateGroup(TestGroup, nullptr); }, [] { return ProgmanShowGroup(TestGroup, 1); },
        [] { return ProgmanAddItem(Notepad.c_str(), "N", nullptr, 0); }, [] { return ProgmanDeleteGroup("Victim"); }};
    results = 0;
    for (const auto& operation : operations) {
      DWORD start = GetTickCount();
      results += operation();
      *static_cast<DWORD*>(slowestMs) = std::max(*static_cast<DWORD*>(slowestMs), GetTickCount() - start);
    }
  }
  SetProcessWindowStation(original);
  return results;
}

TEST(ProgmanWithoutShell, EveryOperationReturnsPromptlyAndChangesNothing) {
  ASSERT_EQ(ProgmanCreateGroup("Victim", nullptr), 1);
  const std::vector<std::string> groups = GroupNames();
  DWORD slowestMs = 0, results = 99;
  Sent.clear();
  ProgmanCommandObserver = RecordCommand;
  HANDLE thread = CreateThread(nullptr, 0, SendWhereNoShellRuns, &slowestMs, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
  ProgmanCommandObserver = nullptr;
  GetExitCodeThread(thread, &results);
  CloseHandle(thread);
  EXPECT_EQ(results, 0u);
  EXPECT_LT(slowestMs, 500u);
  EXPECT_TRUE(Sent.empty()) << "executed: " << Sent.front();
  EXPECT_EQ(GroupNames(), groups);
}

// The shell's desktop thread, which answers the commands, is held still from the moment a
// command is about to be executed until HoldMs later.
HANDLE ShellThread = nullptr;
DWORD HoldMs = 0;
volatile DWORD HeldAt = 0;
void HoldTheShell(const char*) {
  SuspendThread(ShellThread);
  HeldAt = GetTickCount();
}
DWORD WINAPI LetTheShellGo(void*) {
  while (HeldAt == 0) Sleep(1);
  Sleep(HoldMs);
  ResumeThread(ShellThread);
  return 0;
}

TEST(ProgmanStalledShell, TheExecuteWaitsForTheShellUpTo1000Ms) {
  DWORD shellProcess = 0;
  ShellThread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(GetDesktopWindow(), &shellProcess));
  ASSERT_NE(ShellThread, nullptr);
  const struct {
    DWORD holdMs;
    int result;  // the acknowledgement came in time, or the command was given up
  } cases[] = {{700, 1}, {1400, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.holdMs);
    ASSERT_EQ(ProgmanCreateGroup("Victim", nullptr), 1);
    HoldMs = c.holdMs;
    HeldAt = 0;
    HANDLE release = CreateThread(nullptr, 0, LetTheShellGo, nullptr, 0, nullptr);
    ProgmanCommandObserver = HoldTheShell;
    EXPECT_EQ(ProgmanDeleteGroup("Victim"), c.result);
    // Wine ends the conversation only once the shell answers again: soon after it is let go.
    EXPECT_LT(GetTickCount() - HeldAt, c.holdMs + 1000);
    ProgmanCommandObserver = nullptr;
    ASSERT_EQ(WaitForSingleObject(release, 10000), WAIT_OBJECT_0);
    CloseHandle(release);
  }
  CloseHandle(ShellThread);
}

}  // namespace
