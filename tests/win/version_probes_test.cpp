// The version probes against libraries of our own with chosen version resources, the
// common-controls decision and update against stand-ins of the library found beside a program
// (tools/finish_probe.exe, which imports nothing from it), restarting Windows, and opening a web
// page through the program registered for internet shortcuts.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "install/replace_at_restart.h"
#include "install/restart_and_web_page.h"
#include "install/version_probes.h"
#include "setup/setup_state.h"
#include "support/finish_support.h"
#include "support/setup_session.h"
#include "support/test_files.h"

namespace {

struct VersionCase {
  const char* path;
  uint64_t fileVersion;
  int productVersion5;
};
const VersionCase VersionCases[] = {
    {"S:\\versions\\e4_five_dot_zero.dll", 0x0005005000010002ull, 1},  // translation 040904E4, "5.0"
    {"S:\\versions\\e4_fifty_dot_one.dll", 0x0032000100000000ull, 1},  // "50.1": only the first digit counts
    {"S:\\versions\\e4_four_dot_72.dll", 0x00040048'0C260001ull, 0},   // "4.72"
    {"S:\\versions\\e4_empty.dll", 0x0005000000000000ull, 0},          // ""
    {"S:\\versions\\b0_untranslated.dll", 0x0005000000000007ull, 1},   // no translation, 040904B0 "5"
    {"S:\\versions\\absent_table.dll", 0x0005000000000000ull, 0},      // names 040904B0, has 040904E4 "5.0"
    {"S:\\versions\\no_version.dll", 0, 0},
    {"S:\\versions", 0, 0},  // a folder
    {"S:\\versions\\missing.dll", 0, 0},
};

TEST(VersionProbes, FileVersionAndProductVersion5) {
  for (const VersionCase& c : VersionCases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(GetFixedFileVersion(c.path), c.fileVersion);
    EXPECT_EQ(HasProductVersion5(c.path), c.productVersion5);
  }
}

// The probe program copied beside a stand-in library, with Wine told to load the library it
// finds there rather than its own.
std::string ProbeBeside(const char* standIn) {
  const std::string folder = std::string("C:\\probe\\") + standIn;
  EXPECT_TRUE(MakeFolders(folder.c_str()));
  EXPECT_TRUE(CopyFileA("S:\\finish_probe.exe", (folder + "\\finish_probe.exe").c_str(), FALSE));
  EXPECT_TRUE(CopyFileA((std::string("S:\\comctl\\") + standIn + "\\comctl32.dll").c_str(),
                        (folder + "\\comctl32.dll").c_str(), FALSE));
  EXPECT_TRUE(PutRegistryText(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\finish_probe.exe\\DllOverrides",
                              "comctl32", "native,builtin"));
  return folder;
}

struct DecisionCase {
  const char* standIn;  // null: the system's own library
  DWORD needUpdate;
};
const DecisionCase DecisionCases[] = {
    {"v580", 0},                // 5.80.2919.6400: build and revision do not count
    {"v579", 1},                // 5.79.65535.65535
    {"v472", 1}, {"v470", 1},
    {"v581_no_getversion", 1},  // new enough, but an export is missing
    {"v581_no_initex", 1},
    {nullptr, 0},               // Wine's own library, 5.81
};

TEST(CommonControls, UpdateDecisionFollowsTheLibraryFoundBesideTheProgram) {
  EXPECT_EQ(CommonControlsNeedUpdate(), 0) << "this program's own library";
  for (const DecisionCase& c : DecisionCases) {
    SCOPED_TRACE(c.standIn ? c.standIn : "Wine's library");
    const std::string folder = c.standIn ? ProbeBeside(c.standIn) : "S:";
    std::string output;
    DWORD exitCode = 99;
    ASSERT_TRUE(RunCaptured(folder + "\\finish_probe.exe need", folder.c_str(), 30000, &output, &exitCode));
    EXPECT_EQ(exitCode, c.needUpdate) << output;
  }
}

struct UpdateCase {
  const char* what;
  const char* standIn;
  bool packageInstalled;
  const char* record;  // the package's log afterwards
  bool paused;
};
const UpdateCase UpdateCases[] = {
    {"needed", "v472", true, "/Q\r\n", true},
    {"not needed", "v580", true, "", false},
    {"needed, package missing", "v470", false, "", false},
};

TEST(CommonControls, UpdateRunsTheInstalledPackageQuietlyOnlyWhenNeeded) {
  for (const UpdateCase& c : UpdateCases) {
    SCOPED_TRACE(c.what);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    DeleteFileA((std::string(temp) + "50comupd.log").c_str());
    const std::string installed = std::string("C:\\Installed\\") + c.standIn;
    ASSERT_TRUE(MakeFolders(installed.c_str()));
    if (c.packageInstalled) {
      ASSERT_TRUE(CopyProductFiles(installed, {"50comupd.exe"}));
    }
    const std::string folder = ProbeBeside(c.standIn);
    std::string output;
    DWORD exitCode = 99;
    ASSERT_TRUE(RunCaptured(folder + "\\finish_probe.exe update \"" + installed + "\"", folder.c_str(), 30000, &output,
                            &exitCode));
    ASSERT_EQ(exitCode, 0u);
    const double seconds = atof(output.c_str());
    if (c.paused) {
      EXPECT_GE(seconds, 4.9) << "the 5-second pause";
      EXPECT_LT(seconds, 8.0);
    } else {
      EXPECT_LT(seconds, 1.0);
    }
    EXPECT_EQ(UpdatePackageLog(), c.record);
  }
}

// ---- The web page ----

TEST(WebPage, ShortcutHoldsTwoLinesAndTheRegisteredProgramReceivesIt) {
  ASSERT_TRUE(RegisterUrlRecorder());
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string shortcut = std::string(temp) + "KELM.URL";
  const char* const addresses[] = {"http://www.tarnwick.example/register/?product=5.0&lang=en",
                                   "http://www.tarnwick.example/"};
  std::string expectedLog;
  for (const char* address : addresses) {
    SCOPED_TRACE(address);
    OpenWebPage(address);
    const std::string content = std::string("[InternetShortcut]\r\nURL=") + address + "\r\n";
    EXPECT_EQ(ReadFileBytes(shortcut).value_or("<missing>"), content) << "replaced whole, CR LF lines";
    expectedLog += shortcut + "\r\n" + content;
    EXPECT_EQ(WaitForFileContent(UrlRecorderLog, std::count(expectedLog.begin(), expectedLog.end(), '\n'), 10000),
              expectedLog);
  }
}

// ---- Restart ----

struct RestartCase {
  int onNT;
  const char* privilege;  // the shutdown privilege's attributes afterwards: 2 enabled, 0 as Wine starts it
};
const RestartCase RestartCases[] = {{1, "2"}, {0, "0"}};

TEST(Restart, PrivilegeOnlyOnNTAndTheRestartPutsTheReplacementInPlace) {
  SetupState.isNT = 1;
  for (const RestartCase& c : RestartCases) {
    SCOPED_TRACE("onNT " + std::to_string(c.onNT));
    const std::string target = "C:\\Held\\data" + std::to_string(c.onNT) + ".dat";
    ASSERT_TRUE(MakeFolders("C:\\Held"));
    ASSERT_TRUE(WriteFileBytes(target, "old"));
    {
      HeldFile held(target);
      ASSERT_TRUE(held.held());
      ASSERT_TRUE(WriteFileBytes(target + ".new", "new"));
      ReplaceAtRestart(target.c_str(), (target + ".new").c_str());
      // A held file cannot be renamed when the restart comes: let it go first.
    }
    ASSERT_TRUE(IsReplacementPending(target, target + ".new"));
    std::string output;
    DWORD exitCode = 99;
    ASSERT_TRUE(RunCaptured("S:\\finish_probe.exe restart " + std::to_string(c.onNT), nullptr, 30000, &output, &exitCode));
    EXPECT_EQ(output.substr(0, output.find_first_of("\r\n")), c.privilege);
    std::string content;
    for (int i = 0; i < 50 && content != "new"; ++i) {
      Sleep(100);
      content = ReadFileBytes(target).value_or("");
    }
    EXPECT_EQ(content, "new") << "the restart request reached Wine, which did the pending move";
    EXPECT_EQ(GetFileAttributesA((target + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

}  // namespace
