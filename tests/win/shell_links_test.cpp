// Shell links through Wine's own link object: links saved by CreateShellLink as the shell reads
// them back, and the earlier versions' product links pruned from the real Desktop and Start Menu
// folders of the test prefix while the Startup folder, subfolders and other links stay.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "setup/setup_state.h"
#include "shortcuts/shell_links.h"
#include "support/program_groups.h"
#include "support/setup_session.h"
#include "support/test_files.h"

namespace {

std::string ShellFolder(int csidl) {
  char path[MaxPathText];
  return GetShellFolderPath(csidl, path) ? path : "";
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class ShellLinks : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
};

// ---- Saving ----

struct CreateCase {
  const char* what;
  std::string folder, name, target, arguments, workingFolder, iconFile;
  int iconIndex;
  bool withItemList;  // the item list of C:\windows, given beside the target
  int result;
  ShortcutInfo expected;  // of the saved "folder\name.lnk"
};

TEST_F(ShellLinks, SavedLinksReadBackAsGiven) {
  const std::string desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
  ASSERT_FALSE(desktop.empty());
  ASSERT_NE(desktop.back(), '\\');
  const std::string notepad = "C:\\windows\\notepad.exe";
  const std::string longFolder = "C:\\" + std::string(250, 'l');  // with "\My Tarnwick.lnk": 269
  const std::string longTarget = "C:\\" + std::string(253, 't') + ".exe";  // 260 characters
  ASSERT_TRUE(MakeFolders(longFolder.substr(0, 200).c_str()));
  const CreateCase cases[] = {
      {"the product's shortcut", desktop, "My Tarnwick", notepad, "", "", "", 0, false, 1,
       {notepad, "", "My Tarnwick", "", 0}},
      {"an icon index without an icon file is not set", desktop, "Index", notepad, "", "", "", 7, false, 1,
       {notepad, "", "Index", "", 0}},
      {"the item list first, the target path second", desktop, "Both", notepad, "", "", "", 0, true, 1,
       {notepad, "", "Both", "", 0}},
      {"a link path longer than 259 characters", longFolder.substr(0, 250), "My Tarnwick", notepad, "", "", "", 0,
       false, 0, {}},
      {"a target longer than 259 characters", desktop, "Too long", longTarget, "", "", "", 0, false, 0, {}},
  };
  LPITEMIDLIST windowsFolder = nullptr;
  ASSERT_TRUE(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_WINDOWS, &windowsFolder)));
  for (const CreateCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string linkPath = c.folder + "\\" + c.name + ".lnk";
    EXPECT_EQ(CreateShellLink(c.folder.c_str(), c.name.c_str(), c.target.c_str(), c.workingFolder.c_str(),
                              c.arguments.c_str(), SW_SHOWNORMAL, c.iconFile.c_str(), c.iconIndex,
                              c.withItemList ? windowsFolder : nullptr),
              c.result);
    if (!c.result) {
      EXPECT_FALSE(Exists(linkPath)) << "a link was made";
      continue;
    }
    std::optional<ShortcutInfo> link = ReadShortcut(linkPath);
    ASSERT_TRUE(link) << linkPath;
    EXPECT_EQ(link->target, c.expected.target);
    EXPECT_EQ(link->arguments, c.expected.arguments);
    EXPECT_EQ(link->description, c.expected.description);
    EXPECT_EQ(link->iconFile, c.expected.iconFile);
    EXPECT_EQ(link->iconIndex, c.expected.iconIndex);
    char resolved[MaxPathText];
    ASSERT_EQ(ResolveShellLink(linkPath.c_str(), resolved), 1);
    EXPECT_EQ(std::string(resolved), c.expected.target);
  }
  CoTaskMemFree(windowsFolder);
}

// ---- Pruning the earlier versions' links ----

constexpr char InstallFolder[] = "C:\\Prune Test\\Tarnwick";

struct LinkFile {
  const char* what;
  int folder;          // CSIDL of the folder it lies in
  const char* name;    // path below that folder
  std::string target;  // empty: not a link but a file of arbitrary bytes
  bool removed;
};

TEST_F(ShellLinks, ProductLinksOnTheDesktopAndInTheStartMenuArePruned) {
  const std::string f = InstallFolder;
  for (const char* name : {"TWExplo.exe", "TWick.exe", "tarnwick.hlp", "DiskGau.exe", "readme.rtf"})
    ASSERT_TRUE(PutFile((f + "\\" + name).c_str(), "product"));
  ASSERT_TRUE(PutFile("C:\\Other\\twexplo.exe", "another program"));
  const LinkFile files[] = {
      {"a product program", CSIDL_DESKTOPDIRECTORY, "Tarnwick.lnk", f + "\\twexplo.exe", true},
      {"a .LNK name, target in upper case", CSIDL_DESKTOPDIRECTORY, "OLD TOOLBAR.LNK", f + "\\TWICK.EXE", true},
      {"the help file", CSIDL_DESKTOPDIRECTORY, "Help.lnk", f + "\\tarnwick.hlp", true},
      {"in the Start menu", CSIDL_STARTMENU, "Disk Gauge.lnk", f + "\\DiskGau.exe", true},
      {"a product file that is not a program of the list", CSIDL_DESKTOPDIRECTORY, "Read Me.lnk", f + "\\readme.rtf",
       false},
      {"another program", CSIDL_DESKTOPDIRECTORY, "Notepad.lnk", "C:\\windows\\notepad.exe", false},
      {"the same name in another folder", CSIDL_DESKTOPDIRECTORY, "Other.lnk", "C:\\Other\\twexplo.exe", false},
      {"a .lnk before another extension", CSIDL_DESKTOPDIRECTORY, "Explorer.lnk.txt", f + "\\twexplo.exe", false},
      {"not a link at all", CSIDL_DESKTOPDIRECTORY, "Broken.lnk", "", false},
      {"a subfolder of the Start menu", CSIDL_STARTMENU, "Programs\\Tarnwick\\Tarnwick.lnk", f + "\\twexplo.exe",
       false},
      {"the Startup folder", CSIDL_STARTUP, "Tarnwick.lnk", f + "\\twexplo.exe", false},
  };
  for (const LinkFile& file : files) {
    SCOPED_TRACE(file.what);
    std::string path = ShellFolder(file.folder) + "\\" + file.name;
    std::string folder = path.substr(0, path.rfind('\\'));
    ASSERT_TRUE(MakeFolders(folder.c_str()));
    if (file.target.empty()) {
      ASSERT_TRUE(PutFile(path.c_str(), "not a shell link"));
      continue;
    }
    // Saved as a plain ".lnk" first, then given its name.
    ASSERT_EQ(CreateShellLink(folder.c_str(), "new link", file.target.c_str(), nullptr, nullptr, 1, nullptr, 0,
                              nullptr),
              1);
    ASSERT_TRUE(MoveFileA((folder + "\\new link.lnk").c_str(), path.c_str()));
  }

  std::strcpy(SetupState.installFolder, InstallFolder);
  RemoveOutdatedShortcuts();
  for (const LinkFile& file : files) {
    std::string path = ShellFolder(file.folder) + "\\" + file.name;
    EXPECT_EQ(Exists(path), !file.removed) << file.what << ": " << path;
  }
}

}  // namespace
