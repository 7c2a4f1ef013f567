// The product's own programs after a real installation: the main program that the copy page asks
// to close, and the uninstaller as the system's list of programs runs it (Wine's "uninstaller
// --remove"), with what it removes and what it keeps read back from the files, the registry,
// the Start menu and the restart processing.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "registry/uninstall_entry.h"
#include "support/finish_support.h"
#include "support/installation.h"
#include "support/program_groups.h"
#include "support/registry_export.h"
#include "support/setup_session.h"
#include "support/test_files.h"
#include "support/uninstaller_runs.h"

namespace {

constexpr const char* Folder = DefaultInstallFolder;
constexpr char GroupName[] = "Tarnwick Pro 5.0";
constexpr char Version3Toolbar[] = "Software\\Brask\\Tarnwick\\Version3.0\\Toolbar";
constexpr char TwickExecutionOptions[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\twick.exe";
constexpr int InstalledFileCount = 320;  // the catalogue's 318 files and the two ".url" files

std::string InFolder(const char* name) { return std::string(Folder) + "\\" + name; }

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = "";
  return SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) ? path : "";
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The registry below the roots that setup writes to, as sorted lines; Wine's own keys left out.
std::string RegistrySnapshot() {
  std::vector<RegistryRow> rows;
  for (const char* root : {"HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE\\Software", "HKEY_CURRENT_USER\\Software"}) {
    std::vector<RegistryRow> exported = ExportRegistry(root);
    rows.insert(rows.end(), exported.begin(), exported.end());
  }
  std::erase_if(rows, [](const RegistryRow& row) {
    return !RowsUnder({row}, "HKEY_LOCAL_MACHINE\\Software\\Wine").empty() ||
           !RowsUnder({row}, "HKEY_CURRENT_USER\\Software\\Wine").empty();
  });
  return RowsText(rows);
}

// The lines of text (as RowsText writes them, names in lower case) that are neither in one of the
// subtrees nor one of the keys.
std::string LinesOutside(const std::string& text, const std::vector<std::string>& subtrees,
                         const std::vector<std::string>& keys) {
  const auto within = [](const std::string& line, const std::string& key) {
    return line == key || line.rfind(key + "\\", 0) == 0 || line.rfind(key + " |", 0) == 0;
  };
  std::string out;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    bool allowed = std::find(keys.begin(), keys.end(), line) != keys.end() ||
                   std::any_of(subtrees.begin(), subtrees.end(), [&](const std::string& key) { return within(line, key); });
    if (!allowed && !line.empty()) out += line + "\n";
    begin = end + 1;
  }
  return out;
}

std::vector<std::string> ProductLinkTargets() {
  std::vector<std::string> targets;
  for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU}) {
    std::optional<ShortcutInfo> link = ReadShortcut(ShellFolder(csidl) + "\\My Tarnwick.lnk");
    if (link) targets.push_back(link->target);
  }
  return targets;
}

// ---- The running product ----

TEST(RunningProduct, ClosesForSetupAndItsFilesAreReplacedWithoutARestart) {
  InstallLikeAUser(nullptr);
  if (HasFatalFailure()) return;
  LaunchedProgram product;
  const std::string command = "\"" + InFolder("TWExplo.exe") + "\" C:\\Archives\\old.zip";
  ASSERT_TRUE(LaunchCommandLine(command.c_str(), nullptr, product));
  HWND window = nullptr;
  for (int i = 0; i < 200 && window == nullptr; ++i, Sleep(50)) window = FindWindowA("TWMainClass", nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowText(window), "Tarnwick Pro 5.0");
  const std::string info = ControlText(window, 100);
  EXPECT_NE(info.find(std::string("Folder: ") + Folder), std::string::npos) << info;
  EXPECT_NE(info.find("Opened: C:\\Archives\\old.zip"), std::string::npos) << info;

  // A second installation over the running product: without a restart question it ends.
  InstallLikeAUser(nullptr);
  if (HasFatalFailure()) return;
  EXPECT_FALSE(IsRunning(product));
  std::vector<std::string> files = FolderFileNames(Folder);
  EXPECT_EQ(std::count_if(files.begin(), files.end(),
                          [](const std::string& name) { return name.ends_with(".new") || name.ends_with(".NEW"); }),
            0);
  EXPECT_EQ(PendingFileRenames(), std::vector<std::string>{});
  EXPECT_EQ(ReadFileBytes(InFolder("TWExplo.exe")), ReadFileBytes(ProductFilePath("TWExplo.exe")));
}

// ---- The uninstaller ----

struct RemovalCase {
  const char* what;
  const char* version;  // Wine's version for every program; null: the default (NT family)
  // The user added a file to the install folder and made a product file read-only (as one that
  // setup did not write over), and another product of the vendor shares the update tool.
  bool usersAndOthers;
  bool shellKeys;       // "Directory" and "Drive" exist before with their names, as on Windows
};

// Places the common-controls library of bin/comctl/planted in the temporary folder, where a
// program of the same user could put one. Every process that loads it records so in
// PlantedLoadsLog. Windows takes a library that is not one of its known ones from the program's
// folder first; Wine is told to do the same for this one.
constexpr char PlantedLoadsLog[] = "C:\\module_loads.log";
bool PlantCommonControlsInTemp() {
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  return PutRegistryText(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "comctl32", "native,builtin") &&
         CopyFileA("S:\\comctl\\planted\\comctl32.dll", (std::string(temp) + "comctl32.dll").c_str(), FALSE);
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

void PrintTo(const RemovalCase& c, std::ostream* out) { *out << c.what; }

class Uninstaller : public testing::TestWithParam<RemovalCase> {};

TEST_P(Uninstaller, RemovesWhatSetupMadeAndKeepsWhatIsTheUsers) {
  const RemovalCase& c = GetParam();
  ASSERT_TRUE(SetPrefixVersion(c.version));
  if (c.shellKeys) {
    ASSERT_TRUE(PutRegistryText(HKEY_CLASSES_ROOT, "Directory", nullptr, "File Folder"));
    ASSERT_TRUE(PutRegistryText(HKEY_CLASSES_ROOT, "Drive", nullptr, "Drive"));
  }
  ASSERT_TRUE(PutRegistryText(HKEY_CURRENT_USER, Version3Toolbar, "Rows", "2"));
  // Keys the product shares with others: they keep what is not the product's.
  ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, TwickExecutionOptions, "GlobalFlag", "0x02000000"));
  if (c.usersAndOthers) {
    ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, "Software\\KELM\\Patchwell\\Products", "Other", "C:\\Other"));
  }
  const std::string before = RegistrySnapshot();
  InstallLikeAUser(c.version);
  if (HasFatalFailure()) return;
  ASSERT_EQ(ProductLinkTargets().size(), 2u);
  ASSERT_TRUE(GroupExists(GroupName));

  // What is not the product's: another archiver took ".zip" over and added itself to the
  // programs that open ".gz" files, another program made ".rar" files for the "New" menu, another
  // tool added a folder verb (on a Windows-like system), and maybe the user keeps a file of their
  // own in the folder. A common-controls library waits in the temporary folder.
  ASSERT_EQ(ReadRegistryText(HKEY_CLASSES_ROOT, ".zip", nullptr), "Tarnwick.Archive");
  ASSERT_TRUE(PutRegistryText(HKEY_CLASSES_ROOT, ".zip", nullptr, "OtherArchiver.Archive"));
  ASSERT_EQ(ReadRegistryText(HKEY_CLASSES_ROOT, ".gz", nullptr), "Tarnwick.Archive");
  ASSERT_TRUE(PutRegistryText(HKEY_CLASSES_ROOT, ".gz\\OpenWithProgids", "OtherArchiver.Archive", ""));
  ASSERT_TRUE(PutRegistryText(HKEY_CLASSES_ROOT, ".rar\\ShellNew", "NullFile", ""));
  ASSERT_TRUE(PlantCommonControlsInTemp());
  if (c.shellKeys) {
    ASSERT_TRUE(PutRegistryText(HKEY_CLASSES_ROOT, "Directory\\shell\\Other Tool\\command", nullptr, "other.exe %1"));
  }
  if (c.usersAndOthers) {
    ASSERT_TRUE(PutFile(InFolder("notes.txt").c_str(), "mine"));
    ASSERT_TRUE(SetFileAttributesA(InFolder("readme.rtf").c_str(), FILE_ATTRIBUTE_READONLY));
  }
  LaunchedProgram product;
  ASSERT_TRUE(LaunchProgram(InFolder("TWick.exe").c_str(), nullptr, product));
  for (int i = 0; i < 200 && FindWindowA("TWMainClass", nullptr) == nullptr; ++i) Sleep(50);

  const std::string result = UninstallFromTheListOfPrograms();
  EXPECT_EQ(result.find("in use"), std::string::npos) << result;
  EXPECT_EQ(result.find("was kept: it holds files") != std::string::npos, c.usersAndOthers) << result;
  EXPECT_EQ(result.find("read-only file(s) in \"" + std::string(Folder) + "\" were left as they are: readme.rtf.") !=
                std::string::npos,
            c.usersAndOthers)
      << result;
  EXPECT_EQ(result.find("Patchwell was kept") != std::string::npos, c.usersAndOthers) << result;
  EXPECT_FALSE(Exists(PlantedLoadsLog)) << ReadFileBytes(PlantedLoadsLog).value_or("");
  DWORD exitCode = 1;
  EXPECT_TRUE(WaitForExit(product, 10000, &exitCode)) << "the running product was not closed";

  if (c.usersAndOthers)
    EXPECT_EQ(Sorted(FolderFileNames(Folder)), (std::vector<std::string>{"Patchwell.exe", "notes.txt", "readme.rtf"}));
  else
    EXPECT_FALSE(Exists(Folder));
  EXPECT_FALSE(GroupExists(GroupName));
  EXPECT_EQ(ProductLinkTargets(), std::vector<std::string>{});

  // Nothing that was there before the installation is gone; what is new is the user's alone.
  const std::string after = RegistrySnapshot();
  EXPECT_EQ(LinesMissingFrom(before, after), "");
  // HKEY_CLASSES_ROOT shows again under HKEY_LOCAL_MACHINE\Software\Classes; the shell records
  // its windows' settings under Explorer.
  EXPECT_EQ(LinesOutside(LinesMissingFrom(after, before),
                         {"hkey_current_user\\software\\kelm", "hkey_classes_root\\.zip",
                          "hkey_local_machine\\software\\classes\\.zip", "hkey_classes_root\\.gz",
                          "hkey_local_machine\\software\\classes\\.gz", "hkey_classes_root\\.rar",
                          "hkey_local_machine\\software\\classes\\.rar", "hkey_classes_root\\directory\\shell\\other tool",
                          "hkey_local_machine\\software\\classes\\directory\\shell\\other tool",
                          "hkey_current_user\\software\\microsoft\\windows\\currentversion\\explorer"},
                         {"hkey_classes_root\\directory\\shell", "hkey_local_machine\\software\\classes\\directory\\shell"}),
            "");
  EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, "Software\\KELM\\Tarnwick\\CurrentVersion\\Toolbar", "Rows"), "2");
  EXPECT_EQ(ReadRegistryText(HKEY_CLASSES_ROOT, ".zip", nullptr), "OtherArchiver.Archive");
  EXPECT_EQ(ReadRegistryText(HKEY_CLASSES_ROOT, ".zip", "Content Type"), "application/zip");
  // Of ".gz" and ".rar" only what the product wrote goes.
  EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".gz\\OpenWithProgids"));
  EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".rar\\ShellNew"));
  for (const char* extension : {".gz", ".rar"}) {
    EXPECT_EQ(ReadRegistryText(HKEY_CLASSES_ROOT, extension, nullptr), "") << extension;
    EXPECT_EQ(ReadRegistryText(HKEY_CLASSES_ROOT, extension, "Content Type"), "") << extension;
  }
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".tar"));
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, "Software\\KELM\\Tarnwick\\CurrentVersion\\FTP Sites"));
}

const RemovalCase RemovalCases[] = {
    {"win98_with_files_of_the_users_and_another_product", "win98", true, true},
    {"nt40_all_of_it", "nt40", false, true},
    {"winxp_all_of_it_in_a_bare_prefix", "winxp", false, false},
};
INSTANTIATE_TEST_SUITE_P(Versions, Uninstaller, testing::ValuesIn(RemovalCases),
                         [](const testing::TestParamInfo<RemovalCase>& info) { return info.param.what; });

struct InUseCase {
  const char* what;
  const char* version;
  bool ntFamily;
};

void PrintTo(const InUseCase& c, std::ostream* out) { *out << c.what; }

class UninstallerFileInUse : public testing::TestWithParam<InUseCase> {};

TEST_P(UninstallerFileInUse, GoesAtTheNextRestart) {
  const InUseCase& c = GetParam();
  ASSERT_TRUE(SetPrefixVersion(c.version));
  InstallLikeAUser(c.version);
  if (HasFatalFailure()) return;
  const std::string held = InFolder("TWCfg.dll");
  char shortPath[MAX_PATH] = "";
  ASSERT_NE(GetShortPathNameA(held.c_str(), shortPath, sizeof shortPath), 0u);
  HeldFile holder(held);
  ASSERT_TRUE(holder.held());

  const std::string result = UninstallFromTheListOfPrograms();
  EXPECT_NE(result.find("Restart Windows to complete the removal"), std::string::npos) << result;
  EXPECT_EQ(FolderFileNames(Folder), std::vector<std::string>{"TWCfg.dll"});
  if (c.ntFamily) {
    const std::vector<std::string> pending = PendingFileRenames();
    const std::vector<std::string> fileThenFolder = {"\\??\\" + held, "", std::string("\\??\\") + Folder, ""};
    EXPECT_NE(std::search(pending.begin(), pending.end(), fileThenFolder.begin(), fileThenFolder.end()),
              pending.end());
  } else {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string wininit = ReadFileBytes(std::string(windows) + "\\WININIT.INI").value_or("");
    // Under the header, which the uninstaller's own copy in the temporary folder joins later.
    EXPECT_NE(wininit.find("[Rename]\r\n"), std::string::npos) << wininit;
    EXPECT_NE(wininit.find(std::string("\nNUL=") + shortPath + "\r\n"), std::string::npos) << wininit;
  }

  holder.Release();
  ASSERT_TRUE(RunRestartProcessing());
  EXPECT_FALSE(Exists(held));
  // The 9x start-up deletes files only: the empty folder stays there.
  EXPECT_EQ(Exists(Folder), !c.ntFamily);
}

const InUseCase InUseCases[] = {{"win98", "win98", false}, {"nt_family", nullptr, true}};
INSTANTIATE_TEST_SUITE_P(Versions, UninstallerFileInUse, testing::ValuesIn(InUseCases),
                         [](const testing::TestParamInfo<InUseCase>& info) { return info.param.what; });

// Every way in that must not remove anything: the installation stays whole.
struct RefusalCase {
  const char* what;
  const char* arguments;  // after the uninstaller's quoted path
  const char* message;    // part of the one message box it shows
  int answer;
  DWORD exitCode;         // 2 refused, 1 declined
};

TEST(UninstallerRefuses, AnythingButThisInstallationAndRemovesNothing) {
  InstallLikeAUser(nullptr);
  if (HasFatalFailure()) return;
  // Decoys: product files in a folder without the explorer, and a copy of the installation that
  // the uninstall entry does not name.
  ASSERT_TRUE(PutFile("C:\\Decoy\\TWCfg.dll", "decoy"));
  ASSERT_TRUE(PutFile("C:\\Decoy\\readme.rtf", "decoy"));
  ASSERT_TRUE(PutFile("C:\\Copy\\TWExplo.exe", "copy"));
  ASSERT_TRUE(PutFile("C:\\Copy\\readme.rtf", "copy"));
  const RefusalCase cases[] = {
      {"no argument", "", "needs the folder", IDOK, 2},
      {"blanks and empty quotes", "   \"\"  ", "needs the folder", IDOK, 2},
      {"a folder without the explorer", "C:\\Decoy", "holds no installation", IDOK, 2},
      {"the Windows folder", "C:\\windows", "holds no installation", IDOK, 2},
      {"a path that climbs out of the installation", "\"C:\\Program Files\\KELM\\Tarnwick\\..\\..\\..\\windows\"",
       "not the full path", IDOK, 2},
      {"a copy that the uninstall entry does not name", "C:\\Copy", "not registered as installed", IDOK, 2},
      // The hand-over to the uninstaller's own copy, which asks nothing, given by anyone else.
      {"a hand-over on the command line alone", "/WAIT:4 \"C:\\Program Files\\KELM\\Tarnwick\"", "needs the folder",
       IDOK, 2},
      {"a hand-over with a token of one's own",
       "/WAIT:4:0123456789abcdef0123456789abcdef \"C:\\Program Files\\KELM\\Tarnwick\"", "needs the folder", IDOK, 2},
      {"the question answered No", Folder, "Do you want to remove", IDNO, 1},
  };
  const std::string before = RegistrySnapshot();
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.what);
    LaunchedProgram uninstaller;
    const std::string command = "\"" + InFolder("UnInstal.exe") + "\" " + c.arguments;
    ASSERT_TRUE(LaunchCommandLine(command.c_str(), nullptr, uninstaller));
    HWND box = WaitForUninstallerBox(c.message);
    ASSERT_NE(box, nullptr);
    AnswerBox(box, c.answer);
    DWORD exitCode = 0;
    ASSERT_TRUE(WaitForExit(uninstaller, 10000, &exitCode));
    EXPECT_EQ(exitCode, c.exitCode);
    EXPECT_EQ(FolderFileNames(Folder).size(), static_cast<size_t>(InstalledFileCount));
    EXPECT_EQ(FolderFileNames("C:\\Decoy").size(), 2u);
    EXPECT_EQ(FolderFileNames("C:\\Copy").size(), 2u);
  }
  EXPECT_TRUE(GroupExists(GroupName));
  EXPECT_EQ(ProductLinkTargets().size(), 2u);
  EXPECT_EQ(LinesMissingFrom(before, RegistrySnapshot()), "");
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallEntryPath));
}

}  // namespace
