// The product's program group against Wine's shell: the exact commands CreateProgramGroup sends
// (Wine refuses any item with an argument, so the uninstaller's item is checked by its
// command) and the shortcuts the shell made of the others; long folders; the cancel request
// between items, also inside a whole installation run.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "install/payload_catalogue.h"
#include "setup/setup_state.h"
#include "shortcuts/program_group.h"
#include "shortcuts/progman.h"
#include "support/copy_page_stand_in.h"
#include "support/program_groups.h"
#include "support/setup_session.h"

namespace {

constexpr char GroupName[] = "Tarnwick Pro 5.0";

constexpr int UninstallerItem = 10;
constexpr int WebsiteItem = 11;

std::string ItemCommand(const std::string& folder, int i) {
  std::string line = "\"" + folder + "\\" + ProductGroupItems[i].file + "\"";
  if (i == UninstallerItem) line += " " + folder;
  return "[AddItem(" + line + "," + ProductGroupItems[i].caption + ")]";
}

// What reached Program Manager, recorded through the client's observer.
std::vector<std::string> Sent;
int CancelAtCommand = -1;  // sets SetupState.cancelRequested when this command is sent
void RecordCommand(const char* command) {
  Sent.push_back(command);
  if (int(Sent.size()) - 1 == CancelAtCommand) SetupState.cancelRequested = 1;
}
struct Recording {
  explicit Recording(int cancelAt = -1) {
    Sent.clear();
    CancelAtCommand = cancelAt;
    ProgmanCommandObserver = RecordCommand;
  }
  ~Recording() { ProgmanCommandObserver = nullptr; }
};

const std::vector<std::string> GroupPreamble = {
    "[DeleteGroup(Tarnwick Pro 5.0)]", "[DeleteGroup(Tarnwick Pro 5.0 BETA)]", "[DeleteGroup(Tarnwick 5.0)]",
    "[CreateGroup(Tarnwick Pro 5.0)]", "[ShowGroup(Tarnwick Pro 5.0,1)]"};

// The copy page's part here: counts WM_SETUP_DONE with its wParam.
std::vector<int> Done;
LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETUP_DONE) Done.push_back(int(wParam));
  return DefWindowProcA(window, message, wParam, lParam);
}

class ProgramGroup : public ::testing::Test {
 protected:
  void SetUp() override {
    SetupState.instance = GetModuleHandleA(nullptr);
    WNDCLASSA pageClass = {};
    pageClass.lpfnWndProc = PageProc;
    pageClass.hInstance = SetupState.instance;
    pageClass.lpszClassName = "TwGroupTestPage";
    RegisterClassA(&pageClass);
    page_ = CreateWindowExA(0, "TwGroupTestPage", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, SetupState.instance,
                            nullptr);
    SetupState.copyPageWindow = page_;
    SetupState.cancelRequested = 0;
    Done.clear();
  }
  void TearDown() override { DestroyWindow(page_); }
  // Makes the folder with every item's file, so that the shell accepts the items.
  static void UseFolder(const std::string& folder) {
    ASSERT_LT(folder.size(), sizeof SetupState.installFolder);
    std::strcpy(SetupState.installFolder, folder.c_str());
    for (const GroupItem& item : ProductGroupItems) {
      std::string path = folder + "\\" + item.file;
      if (path.size() >= MAX_PATH) continue;
      ASSERT_TRUE(PutFile(path.c_str(), "product file")) << path;
    }
  }
  HWND page_ = nullptr;
};

// ---- The items ----

struct ItemsCase {
  const char* what;
  std::string folder;
  int websiteWritten;
  std::vector<int> items;  // the items sent, in order
};

TEST_F(ProgramGroup, ItemsAreSentInOrderAndTheShellMakesTheirShortcuts) {
  const std::string blanks = "C:\\Program Files\\KELM Group\\Tarnwick";
  // 246 characters: a file name of 12 characters still fits in a path, one of 13 no longer.
  const std::string long246 = "C:\\" + std::string(120, 'g') + "\\" + std::string(122, 'h');
  const std::string long259 = "C:\\" + std::string(120, 'g') + "\\" + std::string(135, 'h');
  ASSERT_EQ(long246.size(), 246u);
  ASSERT_EQ(long259.size(), 259u);
  const ItemsCase cases[] = {
      {"a folder with blanks, no home page", blanks, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12}},
      {"with the home page, before the last item", blanks, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {"a long folder: the items whose path would not fit are skipped", long246, 1, {0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 12}},
      {"a folder of 259 characters: no item fits", long259, 1, {}},
  };
  for (const ItemsCase& c : cases) {
    SCOPED_TRACE(c.what);
    UseFolder(c.folder);
    SetupState.websiteShortcutWritten = c.websiteWritten;
    std::vector<std::string> expected = GroupPreamble;
    for (int i : c.items) expected.push_back(ItemCommand(c.folder, i));
    {
      Recording recording;
      CreateProgramGroup();
      EXPECT_EQ(Sent, expected);
    }
    EXPECT_TRUE(Done.empty());
    // The shell's shortcuts: every item but the uninstaller's, each to its file.
    std::vector<std::string> links;
    for (int i : c.items)
      if (i != UninstallerItem) links.push_back(std::string(ProductGroupItems[i].caption) + ".lnk");
    std::sort(links.begin(), links.end());
    EXPECT_EQ(GroupItems(GroupName), links);
    for (int i : c.items) {
      if (i == UninstallerItem) continue;
      std::optional<ShortcutInfo> link = ReadShortcut(GroupFolder(GroupName) + "\\" + ProductGroupItems[i].caption + ".lnk");
      ASSERT_TRUE(link) << ProductGroupItems[i].caption;
      EXPECT_EQ(link->target, c.folder + "\\" + ProductGroupItems[i].file);
      EXPECT_EQ(link->arguments, "");
    }
  }
}

// ---- Cancel ----

struct CancelCase {
  const char* what;
  int cancelAtCommand;  // index in the commands sent
  size_t commands;      // sent in all
  std::vector<int> done;
};

TEST_F(ProgramGroup, CancelLetsTheItemInProgressCompleteAndAddsNoFurtherItem) {
  const size_t preamble = GroupPreamble.size();
  const CancelCase cases[] = {
      {"no cancel request", -1, preamble + 13, {}},
      {"while the fourth item is added", int(preamble) + 3, preamble + 4, {0}},
      {"while the last item is added", int(preamble) + 12, preamble + 13, {0}},
  };
  UseFolder("C:\\Tarnwick");
  SetupState.websiteShortcutWritten = 1;
  for (const CancelCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetupState.cancelRequested = 0;
    Done.clear();
    Recording recording(c.cancelAtCommand);
    CreateProgramGroup();
    EXPECT_EQ(Sent.size(), c.commands);
    EXPECT_EQ(Done, c.done);
    if (c.cancelAtCommand < 0) continue;
    const int last = c.cancelAtCommand - int(preamble);
    EXPECT_EQ(Sent.back(), ItemCommand("C:\\Tarnwick", last)) << "the item in progress completes";
    std::optional<ShortcutInfo> made = ReadShortcut(GroupFolder(GroupName) + "\\" + ProductGroupItems[last].caption + ".lnk");
    EXPECT_TRUE(made) << "its shortcut was made";
  }
}

// In a whole run: the group's WM_SETUP_DONE with 0, then the run's own with 1 after the
// version 3.0 settings and the heap option.
TEST(ProgramGroupInARun, CancelDuringTheGroupStillEndsTheRunWithItsRemainingSteps) {
  std::strcpy(SetupState.installFolder, "C:\\Group Cancel\\Tarnwick");
  SetupState.isNT = 1;
  ASSERT_TRUE(PutRegistryText(HKEY_CURRENT_USER, "Software\\Brask\\Tarnwick\\Version3.0\\Viewer", "Zoom", "200"));
  InstallRunRecord record;
  {
    Recording recording(int(GroupPreamble.size()) + 3);
    record = RunInstallWorker();
  }
  ASSERT_TRUE(record.finished);
  EXPECT_EQ(record.done, (std::vector<int>{0, 1}));
  EXPECT_EQ(record.progress.back().text, "Updating Registry");
  EXPECT_EQ(GroupItems(GroupName).size(), 4u);
  EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, "Software\\KELM\\Tarnwick\\CurrentVersion\\Viewer", "Zoom"), "200");
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE,
                             "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\twick.exe",
                             "DisableHeapLookAside"),
            "1");
}

}  // namespace
