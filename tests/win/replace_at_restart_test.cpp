// Replacement at restart: the "[Rename]" section of WININIT.INI in the prefix's Windows folder,
// the delayed move on the NT family, and the restart itself (wineboot -r, which works through
// both, as the system start does).
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "install/replace_at_restart.h"
#include "setup/setup_state.h"

namespace {

constexpr char TestFolder[] = "C:\\Program Files\\Tarnwick Restart Test";
constexpr char Target[] = "C:\\Program Files\\Tarnwick Restart Test\\Tarnwick Shell Extension.dll";
constexpr char Replacement[] = "C:\\Program Files\\Tarnwick Restart Test\\Tarnwick Shell Extension.dll.new";

std::string WindowsFile(const char* name) {
  char folder[MAX_PATH];
  UINT length = GetWindowsDirectoryA(folder, sizeof folder);
  EXPECT_GT(length, 0u);
  return std::string(folder) + (folder[length - 1] == '\\' ? "" : "\\") + name;
}

std::optional<std::string> ReadBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

std::string ShortPath(const char* path) {
  char shortPath[MAX_PATH];
  DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
  EXPECT_TRUE(length > 0 && length < sizeof shortPath) << path;
  return shortPath;
}

// The line that a request for Target becomes, with its CR LF.
std::string EntryLine() { return ShortPath(Target) + "=" + ShortPath(Replacement) + "\r\n"; }

// Replaces each "@" in pattern by the entry line.
std::string WithEntry(const std::string& pattern) {
  std::string out;
  for (char c : pattern) out += c == '@' ? EntryLine() : std::string(1, c);
  return out;
}

void MakeRequestFiles() {
  CreateDirectoryA(TestFolder, nullptr);
  WriteBytes(Target, "old contents");
  WriteBytes(Replacement, "new contents");
}

// Names, sizes and write times of the files directly in the Windows folder.
std::map<std::string, std::string> WindowsFolderSnapshot() {
  std::map<std::string, std::string> out;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(WindowsFile("*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return out;
  do {
    out[found.cFileName] = std::to_string(found.nFileSizeLow) + " " + std::to_string(found.ftLastWriteTime.dwLowDateTime) +
                           " " + std::to_string(found.ftLastWriteTime.dwHighDateTime);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return out;
}

// The strings of HKLM\...\Session Manager\PendingFileRenameOperations.
std::vector<std::string> PendingRenames() {
  std::vector<std::string> out;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return out;
  DWORD type = 0, size = 0;
  std::string data;
  if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    data.resize(size);
    RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  }
  RegCloseKey(key);
  for (size_t start = 0; start < data.size();) {
    size_t end = data.find('\0', start);
    if (end == std::string::npos) end = data.size();
    if (end > start) out.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// Runs "wineboot.exe -r", the restart processing: delayed moves, then WININIT.INI.
void RestartWindows() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  char command[] = "wineboot.exe -r";
  ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

class ReplaceAtRestartTest : public testing::Test {
 protected:
  void SetUp() override {
    wininit = WindowsFile("WININIT.INI");
    tempinit = WindowsFile("TEMPINIT.INI");
    DeleteFileA(wininit.c_str());
    DeleteFileA(tempinit.c_str());
    MakeRequestFiles();
    SetupState.isNT = 0;
  }
  std::string wininit, tempinit;
};

// ---- The Windows 95 family: WININIT.INI ----

TEST_F(ReplaceAtRestartTest, WininitGetsTheEntryBelowTheFirstHeader) {
  const std::string line299(299, 'x');
  const std::string line298(298, 'y');
  const std::string line700(700, 'z');
  struct Case {
    const char* what;
    std::optional<std::string> before;  // nullopt: no WININIT.INI
    std::string after;                  // "@" stands for the entry line
  };
  const Case cases[] = {
      {"no file: created with two lines", std::nullopt, "[Rename]\r\n@"},
      {"other sections, no header", "[boot]\r\nshell=x.exe\r\n", "[boot]\r\nshell=x.exe\r\n\r\n[Rename]\r\n@"},
      {"last line without a line end", "[boot]\r\nshell=x.exe", "[boot]\r\nshell=x.exe\r\n[Rename]\r\n@"},
      {"empty file", "", "\r\n[Rename]\r\n@"},
      {"existing entries stay below the new one", "[Rename]\r\nA=B\r\nNUL=C\r\n", "[Rename]\r\n@A=B\r\nNUL=C\r\n"},
      {"section between others", "[a]\r\nk=v\r\n[Rename]\r\nA=B\r\n[z]\r\nk=w\r\n",
       "[a]\r\nk=v\r\n[Rename]\r\n@A=B\r\n[z]\r\nk=w\r\n"},
      {"lower-case header", "[rename]\r\nA=B\r\n", "[rename]\r\n@A=B\r\n"},
      {"mixed case, text after the 8 characters", "[ReNaMe] ; note\r\n", "[ReNaMe] ; note\r\n@"},
      {"header with a blank before it is not one", " [Rename]\r\nA=B\r\n", " [Rename]\r\nA=B\r\n\r\n[Rename]\r\n@"},
      {"shorter than the header", "[Renam\r\n", "[Renam\r\n\r\n[Rename]\r\n@"},
      {"two sections: only the first", "[Rename]\r\nA=B\r\n[x]\r\n[Rename]\r\nC=D\r\n",
       "[Rename]\r\n@A=B\r\n[x]\r\n[Rename]\r\nC=D\r\n"},
      {"header last, without a line end", "[boot]\r\n[Rename]", "[boot]\r\n[Rename]\r\n@"},
      {"lines ending in LF only come out with CR LF", "[boot]\nk=v\n[Rename]\nA=B\n", "[boot]\r\nk=v\r\n[Rename]\r\n@A=B\r\n"},
      {"long lines are copied whole",
       "[a]\r\n" + line298 + "\r\n" + line299 + "\r\n" + line700 + "\r\n[Rename]\r\nA=B\r\n" + line700 + "\r\n",
       "[a]\r\n" + line298 + "\r\n" + line299 + "\r\n" + line700 + "\r\n[Rename]\r\n@A=B\r\n" + line700 + "\r\n"},
      {"a header inside a long line is no header", line299 + "[Rename]\r\n[Rename]\r\nA=B\r\n",
       line299 + "[Rename]\r\n[Rename]\r\n@A=B\r\n"},
      {"a long header line gets the entry after its end", "[Rename]" + line700 + "\r\nA=B\r\n",
       "[Rename]" + line700 + "\r\n@A=B\r\n"},
      {"a header line of 299 characters", "[Rename]" + std::string(291, ' ') + "\r\nA=B\r\n",
       "[Rename]" + std::string(291, ' ') + "\r\n@A=B\r\n"},
      {"a Ctrl-Z ends the text, as in a text stream", std::string("[Rename]\r\nA=B\r\n\x1A[x]\r\n"),
       "[Rename]\r\n@A=B\r\n"},
      {"a CR without a LF stays", "[a]\r\nk=v\rw\r\n[Rename]\r\n", "[a]\r\nk=v\rw\r\n[Rename]\r\n@"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(wininit.c_str());
    if (c.before) WriteBytes(wininit, *c.before);
    ReplaceAtRestart(Target, Replacement);
    EXPECT_EQ(ReadBytes(wininit), WithEntry(c.after));
    EXPECT_FALSE(ReadBytes(tempinit)) << "the scratch copy stayed";
  }
}

TEST_F(ReplaceAtRestartTest, LaterRequestsStandAboveEarlierOnes) {
  const std::string second = std::string(TestFolder) + "\\Second Module With Long Name.dll";
  WriteBytes(second, "old");
  WriteBytes(second + ".new", "new");
  ReplaceAtRestart(Target, Replacement);
  ReplaceAtRestart(second.c_str(), (second + ".new").c_str());
  const std::string secondLine = ShortPath(second.c_str()) + "=" + ShortPath((second + ".new").c_str()) + "\r\n";
  EXPECT_EQ(ReadBytes(wininit), "[Rename]\r\n" + secondLine + EntryLine());
}

TEST_F(ReplaceAtRestartTest, ALeftoverTempinitIsDeletedFirst) {
  WriteBytes(tempinit, "[Rename]\r\nLEFT=OVER\r\n");
  ReplaceAtRestart(Target, Replacement);  // no WININIT.INI: TEMPINIT.INI is not needed
  EXPECT_FALSE(ReadBytes(tempinit));
  EXPECT_EQ(ReadBytes(wininit), WithEntry("[Rename]\r\n@"));

  WriteBytes(tempinit, std::string(5000, '#'));
  WriteBytes(wininit, "[Rename]\r\nA=B\r\n");
  ReplaceAtRestart(Target, Replacement);
  EXPECT_FALSE(ReadBytes(tempinit));
  EXPECT_EQ(ReadBytes(wininit), WithEntry("[Rename]\r\n@A=B\r\n"));
}

TEST_F(ReplaceAtRestartTest, WithoutShortPathsTheRequestIsDropped) {
  const std::string missing = std::string(TestFolder) + "\\Not There.dll";
  ReplaceAtRestart(missing.c_str(), Replacement);
  EXPECT_FALSE(ReadBytes(wininit)) << "nothing to write, nothing created";
  WriteBytes(wininit, "[Rename]\r\nA=B\r\n");
  ReplaceAtRestart(Target, (missing + ".new").c_str());
  EXPECT_EQ(ReadBytes(wininit), "[Rename]\r\nA=B\r\n");
}

TEST_F(ReplaceAtRestartTest, AScratchFileThatCannotBeCreatedLeavesWininitAlone) {
  WriteBytes(wininit, "[boot]\r\n[Rename]\r\nA=B\r\n");
  ASSERT_TRUE(CreateDirectoryA(tempinit.c_str(), nullptr));  // TEMPINIT.INI as a folder
  ReplaceAtRestart(Target, Replacement);
  EXPECT_EQ(ReadBytes(wininit), "[boot]\r\n[Rename]\r\nA=B\r\n");
  RemoveDirectoryA(tempinit.c_str());
}

TEST_F(ReplaceAtRestartTest, AWininitThatCannotBeCreatedIsPassedOver) {
  ASSERT_TRUE(CreateDirectoryA(wininit.c_str(), nullptr));  // WININIT.INI as a folder
  ReplaceAtRestart(Target, Replacement);
  DWORD attributes = GetFileAttributesA(wininit.c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_FALSE(ReadBytes(tempinit));
  RemoveDirectoryA(wininit.c_str());
}

// ---- The NT family: the delayed move ----

TEST_F(ReplaceAtRestartTest, NtRecordsADelayedMoveAndTouchesNoFileInTheWindowsFolder) {
  SetupState.isNT = 1;
  const std::map<std::string, std::string> before = WindowsFolderSnapshot();
  ReplaceAtRestart(Target, Replacement);
  EXPECT_EQ(WindowsFolderSnapshot(), before);

  // The replacement moves onto the target; "!" marks MOVEFILE_REPLACE_EXISTING.
  const std::vector<std::string> renames = PendingRenames();
  const std::vector<std::string> expected = {std::string("\\??\\") + Replacement, std::string("!\\??\\") + Target};
  EXPECT_EQ(renames, expected);
  EXPECT_EQ(ReadBytes(Target), "old contents");
  EXPECT_EQ(ReadBytes(Replacement), "new contents");
}

TEST_F(ReplaceAtRestartTest, MoveAtRestartNtPassesLongPaths) {
  const std::string deep = std::string(TestFolder) + "\\" + std::string(150, 'L') + ".dll";
  WriteBytes(deep, "old");
  WriteBytes(deep + ".new", "new");
  MoveAtRestartNt(deep.c_str(), (deep + ".new").c_str());
  const std::vector<std::string> expected = {"\\??\\" + deep + ".new", "!\\??\\" + deep};
  EXPECT_EQ(PendingRenames(), expected);
}

// ---- End to end: schedule in a process of the chosen Windows version, then restart ----
//
// The scheduling runs in a second process of this program (the same test, with
// TW_RESTART_ROLE set), started under the Windows version of the mode through Wine's per-program
// setting. It takes isNT from the version as start-up does, holds the target open as a running
// program would, and makes the request. This process then restarts Windows and looks.

constexpr char RoleVariable[] = "TW_RESTART_ROLE";

struct Mode {
  const char* name;
  const char* wineVersion;  // nullptr: the prefix's default (an NT version)
  bool isNT;
};
const Mode Modes[] = {{"Windows98", "win98", false}, {"WindowsNT", nullptr, true}};

void PrintTo(const Mode& mode, std::ostream* out) { *out << mode.name; }

class ReplaceAtRestartEndToEnd : public testing::TestWithParam<Mode> {};

void ScheduleAsChild(const Mode& mode) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExA(&version));
  SetupState.isNT = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  ASSERT_EQ(SetupState.isNT != 0, mode.isNT) << "running as Windows " << version.dwMajorVersion << "."
                                            << version.dwMinorVersion;
  HANDLE inUse = CreateFileA(Target, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
  ReplaceAtRestart(Target, Replacement);
  CloseHandle(inUse);
  EXPECT_EQ(ReadBytes(WindowsFile("WININIT.INI")).has_value(), !mode.isNT);
}

void RunScheduler(const Mode& mode) {
  char program[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
  ASSERT_TRUE(length > 0 && length < sizeof program);
  const char* name = strrchr(program, '\\') + 1;
  const std::string settings = std::string("Software\\Wine\\AppDefaults\\") + name;
  if (mode.wineVersion != nullptr) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, settings.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(mode.wineVersion),
                   static_cast<DWORD>(strlen(mode.wineVersion) + 1));
    RegCloseKey(key);
  }
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::string command = std::string("\"") + program + "\" --gtest_filter=" + test->test_suite_name() + "." + test->name();
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  SetEnvironmentVariableA(RoleVariable, "schedule");
  BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(RoleVariable, nullptr);
  ASSERT_TRUE(started);
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Only now: the new process reads the setting while it starts, after CreateProcessA returned.
  if (mode.wineVersion != nullptr) RegDeleteKeyA(HKEY_CURRENT_USER, settings.c_str());
  ASSERT_EQ(exitCode, 0u) << "the scheduling process failed";
}

TEST_P(ReplaceAtRestartEndToEnd, TargetHoldsTheNewContentsAfterTheRestart) {
  const Mode& mode = GetParam();
  if (getenv(RoleVariable) != nullptr) {
    ScheduleAsChild(mode);
    return;
  }
  const std::string wininit = WindowsFile("WININIT.INI");
  DeleteFileA(wininit.c_str());
  MakeRequestFiles();
  RunScheduler(mode);
  ASSERT_EQ(ReadBytes(Target), "old contents") << "replaced before the restart";

  RestartWindows();
  EXPECT_EQ(ReadBytes(Target), "new contents");
  EXPECT_FALSE(ReadBytes(Replacement)) << "the .new file stayed";
  EXPECT_FALSE(ReadBytes(wininit)) << "WININIT.INI was not worked through";
  EXPECT_TRUE(PendingRenames().empty());
}

INSTANTIATE_TEST_SUITE_P(Mode, ReplaceAtRestartEndToEnd, testing::ValuesIn(Modes),
                         [](const testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });

}  // namespace
