// Program Manager's commands against the shell of the test prefix (Wine's desktop answers
// "PROGMAN"): the exact command texts, the groups and shortcuts they make, a folder that holds
// Program Manager's own syntax, and the cost of a shell that is missing or does not answer.
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

std::vector<std::string> Sent;
void RecordCommand(const char* command) { Sent.push_back(command); }

// Records the commands that reach Program Manager while it lives.
struct Recording {
  Recording() {
    Sent.clear();
    ProgmanCommandObserver = RecordCommand;
  }
  ~Recording() { ProgmanCommandObserver = nullptr; }
};

constexpr char TestGroup[] = "Tarnwick Test";
const std::string LongFolder = "C:\\" + std::string(256, 'f');  // 259 characters
// Every character of Program Manager's syntax that a folder name may hold, arranged so that a
// folder standing bare in a command would end it and start a command of its own.
const std::string SyntaxFolder = "C:\\Tarn, wick (1) [x])][DeleteGroup(Victim)][(";

std::string ItemCommandLine(const std::string& folder, const char* file, const char* argument) {
  char line[ItemCommandLineSize];
  if (!FormItemCommandLine(line, sizeof line, folder.c_str(), file, argument)) return "<refused>";
  return line;
}

// ---- The texts ----

struct TextCase {
  const char* what;
  std::function<int()> send;
  std::string expected;  // empty: nothing may be sent
};

const std::string Notepad = "\"C:\\windows\\notepad.exe\"";
const std::string LongCaption(199, 'c');
const std::string LongItem = ItemCommandLine(LongFolder, "UnInstal.exe", LongFolder.c_str());
const std::string LongIcon = LongFolder.substr(0, 250) + "\\icon.ico";  // 259 characters
const std::string SyntaxItem = ItemCommandLine(SyntaxFolder, "UnInstal.exe", SyntaxFolder.c_str());

const TextCase TextCases[] = {
    {"group without a group file", [] { return ProgmanCreateGroup(TestGroup, nullptr); },
     "[CreateGroup(Tarnwick Test)]"},
    {"group with an empty group file", [] { return ProgmanCreateGroup(TestGroup, ""); },
     "[CreateGroup(Tarnwick Test)]"},
    {"group with a group file", [] { return ProgmanCreateGroup(TestGroup, "TARNWICK.GRP"); },
     "[CreateGroup(Tarnwick Test,TARNWICK.GRP)]"},
    {"show command 1", [] { return ProgmanShowGroup(TestGroup, 1); }, "[ShowGroup(Tarnwick Test,1)]"},
    {"show command above 65535", [] { return ProgmanShowGroup(TestGroup, 0x10003); }, "[ShowGroup(Tarnwick Test,3)]"},
    {"item without icon file drops the index", [] { return ProgmanAddItem(Notepad.c_str(), "Note", nullptr, 7); },
     "[AddItem(\"C:\\windows\\notepad.exe\",Note)]"},
    {"item with an empty icon file", [] { return ProgmanAddItem(Notepad.c_str(), "Note", "", 7); },
     "[AddItem(\"C:\\windows\\notepad.exe\",Note)]"},
    {"item with icon, index above 65535",
     [] { return ProgmanAddItem(Notepad.c_str(), "Note", "C:\\windows\\notepad.exe", 0x10002); },
     "[AddItem(\"C:\\windows\\notepad.exe\",Note,C:\\windows\\notepad.exe,2)]"},
    // (Wine's shell crashes on ", (" in a command, so the caption holds no opening parenthesis.)
    {"caption with a comma and a closing parenthesis goes unchanged",
     [] { return ProgmanAddItem(Notepad.c_str(), "Note, x)", nullptr, 0); },
     "[AddItem(\"C:\\windows\\notepad.exe\",Note, x))]"},
    {"uninstaller item: the folder argument stays bare",
     [] { return ProgmanAddItem(ItemCommandLine("C:\\Program Files\\KELM\\Tarnwick", "UnInstal.exe",
                                                "C:\\Program Files\\KELM\\Tarnwick").c_str(),
                                "Uninstall Tarnwick", nullptr, 0); },
     "[AddItem(\"C:\\Program Files\\KELM\\Tarnwick\\UnInstal.exe\" C:\\Program Files\\KELM\\Tarnwick,"
     "Uninstall Tarnwick)]"},
    {"uninstaller item: a folder with , ( ) [ ] is quoted as the argument",
     [] { return ProgmanAddItem(SyntaxItem.c_str(), "Uninstall Tarnwick", nullptr, 0); },
     "[AddItem(\"" + SyntaxFolder + "\\UnInstal.exe\" \"" + SyntaxFolder + "\",Uninstall Tarnwick)]"},
    {"the longest item is sent whole",
     [] { return ProgmanAddItem(LongItem.c_str(), LongCaption.c_str(), LongIcon.c_str(), 65535); },
     "[AddItem(\"" + LongFolder + "\\UnInstal.exe\" " + LongFolder + "," + LongCaption + "," + LongIcon + ",65535)]"},
    {"a command longer than the buffer is not sent",
     [] { return ProgmanAddItem(std::string(ProgmanCommandSize, 'x').c_str(), "Too Long", nullptr, 0); }, ""},
    {"no group name: nothing", [] { return ProgmanDeleteGroup("") + ProgmanShowGroup(nullptr, 1); }, ""},
    {"delete", [] { return ProgmanDeleteGroup(TestGroup); }, "[DeleteGroup(Tarnwick Test)]"},
};

TEST(ProgmanCommands, EachFormSendsItsExactText) {
  for (const TextCase& c : TextCases) {
    SCOPED_TRACE(c.what);
    Recording recording;
    int result = c.send();
    if (c.expected.empty()) {
      EXPECT_TRUE(Sent.empty()) << Sent.front();
      EXPECT_EQ(result, 0);
    } else {
      ASSERT_EQ(Sent.size(), 1u);
      EXPECT_EQ(Sent[0], c.expected);
    }
  }
}

TEST(ProgmanCommands, ItemCommandLinesAreQuotedAndNeverCut) {
  struct LineCase {
    std::string folder;
    const char* argument;
    std::string expected;
  };
  const LineCase cases[] = {
      {"C:\\Program Files\\KELM\\Tarnwick", nullptr, "\"C:\\Program Files\\KELM\\Tarnwick\\TWick.exe\""},
      {"C:\\Tarnwick", "C:\\Tarnwick", "\"C:\\Tarnwick\\TWick.exe\" C:\\Tarnwick"},
      {"C:\\a,b", "C:\\a,b", "\"C:\\a,b\\TWick.exe\" \"C:\\a,b\""},
      {"C:\\a(b", "C:\\a(b", "\"C:\\a(b\\TWick.exe\" \"C:\\a(b\""},
      {"C:\\a)b", "C:\\a)b", "\"C:\\a)b\\TWick.exe\" \"C:\\a)b\""},
      {"C:\\a[b", "C:\\a[b", "\"C:\\a[b\\TWick.exe\" \"C:\\a[b\""},
      {"C:\\a]b", "C:\\a]b", "\"C:\\a]b\\TWick.exe\" \"C:\\a]b\""},
      {LongFolder, LongFolder.c_str(), "\"" + LongFolder + "\\TWick.exe\" " + LongFolder},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(ItemCommandLine(c.folder, "TWick.exe", c.argument), c.expected);
  }
  char small[16] = "untouched";
  EXPECT_EQ(FormItemCommandLine(small, sizeof small, "C:\\Tarnwick", "TWick.exe", nullptr), 0);
  EXPECT_STREQ(small, "") << "a line that does not fit is refused, not cut";
}

// ---- The shell's groups and items ----

TEST(ProgmanEffects, GroupsAreStartMenuFoldersAndItemsShortcutsToTheWholePath) {
  ASSERT_EQ(ProgmanCreateGroup("Victim", nullptr), 1);
  ASSERT_TRUE(GroupExists("Victim"));
  const std::string program = SyntaxFolder + "\\TWick.exe";
  ASSERT_TRUE(PutFile(program.c_str(), "program"));

  ASSERT_EQ(ProgmanCreateGroup(TestGroup, nullptr), 1);
  EXPECT_TRUE(GroupExists(TestGroup)) << ProgramsFolder();
  const std::string line = ItemCommandLine(SyntaxFolder, "TWick.exe", nullptr);
  EXPECT_EQ(ProgmanAddItem(line.c_str(), "Toolbar", nullptr, 0), 1);
  // Texts go as they are: the caller quotes a path that holds the syntax.
  EXPECT_EQ(ProgmanAddItem(line.c_str(), "With Icon", ("\"" + program + "\"").c_str(), 3), 1);
  // Wine's shell takes the whole command line as one file, so it refuses an item with an
  // argument; Windows makes it. Either way nothing of the folder may act as a command.
  ProgmanAddItem(SyntaxItem.c_str(), "Uninstall Tarnwick", nullptr, 0);

  EXPECT_TRUE(GroupExists("Victim")) << "a command was injected";
  const std::vector<std::string> groups = GroupNames();
  EXPECT_EQ(std::count(groups.begin(), groups.end(), "Victim") + std::count(groups.begin(), groups.end(), TestGroup),
            2);
  const std::vector<std::string> items = GroupItems(TestGroup);
  ASSERT_GE(items.size(), 2u);
  EXPECT_EQ(items[0], "Toolbar.lnk");
  EXPECT_EQ(items[1], "With Icon.lnk");
  EXPECT_LE(items.size(), 3u);
  EXPECT_TRUE(GroupItems("Victim").empty());

  std::optional<ShortcutInfo> toolbar = ReadShortcut(GroupFolder(TestGroup) + "\\Toolbar.lnk");
  ASSERT_TRUE(toolbar);
  EXPECT_EQ(toolbar->target, program);
  EXPECT_EQ(toolbar->arguments, "");
  EXPECT_EQ(toolbar->description, "Toolbar");
  std::optional<ShortcutInfo> withIcon = ReadShortcut(GroupFolder(TestGroup) + "\\With Icon.lnk");
  ASSERT_TRUE(withIcon);
  EXPECT_EQ(withIcon->target, program);
  EXPECT_EQ(withIcon->iconFile, program);
  EXPECT_EQ(withIcon->iconIndex, 3);

  EXPECT_EQ(ProgmanShowGroup(TestGroup, 1), 1);
  EXPECT_EQ(ProgmanCreateGroup(TestGroup, nullptr), 1);
  EXPECT_EQ(GroupItems(TestGroup), items) << "creating an existing group keeps its items";

  EXPECT_EQ(ProgmanDeleteGroup(TestGroup), 1);
  EXPECT_FALSE(GroupExists(TestGroup)) << "the group and its shortcuts are gone";
  // A missing group: the shell refuses the command, and that is all.
  DWORD start = GetTickCount();
  ProgmanDeleteGroup(TestGroup);
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_TRUE(GroupExists("Victim"));
}

// ---- Without a shell, and with a shell that does not answer ----

struct Outcome {
  int results = 0;
  DWORD slowestMs = 0;
};

DWORD WINAPI SendFromAnotherWindowStation(void* parameter) {
  auto* outcome = static_cast<Outcome*>(parameter);
  // A desktop of a window station of its own, where no shell runs.
  HWINSTA station = CreateWindowStationA("TarnwickNoShell", 0, WINSTA_ALL_ACCESS, nullptr);
  HWINSTA original = GetProcessWindowStation();
  if (station == nullptr || !SetProcessWindowStation(station)) return 1;
  HDESK desktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  bool ready = desktop != nullptr && SetThreadDesktop(desktop);
  const std::function<int()> operations[] = {
      [] { return ProgmanCreateGroup(TestGroup, nullptr); },
      [] { return ProgmanShowGroup(TestGroup, 1); },
      [] { return ProgmanAddItem("\"C:\\windows\\notepad.exe\"", "Note", nullptr, 0); },
      [] { return ProgmanDeleteGroup("Victim"); },
  };
  if (ready) {
    for (const auto& operation : operations) {
      DWORD start = GetTickCount();
      outcome->results += operation();
      outcome->slowestMs = std::max(outcome->slowestMs, GetTickCount() - start);
    }
  }
  SetProcessWindowStation(original);
  return ready ? 0 : 1;
}

TEST(ProgmanWithoutShell, EveryOperationReturnsPromptlyAndChangesNothing) {
  ASSERT_EQ(ProgmanCreateGroup("Victim", nullptr), 1);
  const std::vector<std::string> before = GroupNames();
  Outcome outcome;
  Recording recording;
  HANDLE thread = CreateThread(nullptr, 0, SendFromAnotherWindowStation, &outcome, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  ASSERT_EQ(code, 0u) << "no desktop of its own";
  EXPECT_EQ(outcome.results, 0);
  EXPECT_LT(outcome.slowestMs, 500u);
  EXPECT_TRUE(Sent.empty()) << "a command was executed: " << Sent.front();
  EXPECT_EQ(GroupNames(), before);
}

// The shell's desktop thread, which answers Program Manager's commands, is held still from the
// moment a command is about to be executed, and let go HoldMs later.
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

TEST(ProgmanSlowShell, TheExecuteWaitsUpTo1000Ms) {
  DWORD shellProcess = 0;
  ShellThread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(GetDesktopWindow(), &shellProcess));
  ASSERT_NE(ShellThread, nullptr);
  struct HoldCase {
    DWORD holdMs;
    int result;  // the shell's acknowledgement arrives in time, or the command is given up
  };
  const HoldCase cases[] = {{700, 1}, {1400, 0}};
  for (const HoldCase& c : cases) {
    SCOPED_TRACE(c.holdMs);
    ASSERT_EQ(ProgmanCreateGroup("Victim", nullptr), 1);
    HoldMs = c.holdMs;
    HeldAt = 0;
    HANDLE release = CreateThread(nullptr, 0, LetTheShellGo, nullptr, 0, nullptr);
    ProgmanCommandObserver = HoldTheShell;
    int result = ProgmanDeleteGroup("Victim");
    DWORD endedAt = GetTickCount();
    ProgmanCommandObserver = nullptr;
    ASSERT_EQ(WaitForSingleObject(release, 10000), WAIT_OBJECT_0);
    CloseHandle(release);
    EXPECT_EQ(result, c.result);
    // Wine closes the conversation only once the held shell answers again, so the call ends
    // soon after the shell is let go.
    EXPECT_LT(endedAt - HeldAt, c.holdMs + 1000);
  }
  CloseHandle(ShellThread);
}

}  // namespace
