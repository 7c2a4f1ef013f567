#include "shortcuts/program_group.h"

#include <cstring>
#include <iterator>

#include "common/bounded_text.h"
#include "common/format_text.h"
#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "shortcuts/progman.h"

namespace {

enum class ItemCondition { Always, WebsiteShortcutWritten };

// The group's items, in the order they are added. A caption is a string-table text, or a
// fixed text where captionText is 0.
struct GroupItem {
  const char* fileName;
  UINT captionText;
  const char* fixedCaption;
  bool folderArgument;  // the install folder follows as the program's argument
  ItemCondition condition;
};
constexpr GroupItem GroupItems[] = {
    {"TWick.exe", IDS_ITEM_TOOLBAR, nullptr, false, ItemCondition::Always},
    {"TWWizard.exe", IDS_ITEM_BAR_BUILDER, nullptr, false, ItemCondition::Always},
    {"DiskGau.exe", IDS_ITEM_DISK_GAUGE, nullptr, false, ItemCondition::Always},
    {"TWSync.exe", IDS_ITEM_FOLDER_MIRROR, nullptr, false, ItemCondition::Always},
    {"Patchwell.exe", IDS_ITEM_PATCHWELL, nullptr, false, ItemCondition::Always},
    {"TrackLister.exe", IDS_ITEM_TRACK_LISTER, nullptr, false, ItemCondition::Always},
    {"TWExplo.exe", 0, "Tarnwick", false, ItemCondition::Always},
    {"readme.rtf", IDS_ITEM_READ_ME, nullptr, false, ItemCondition::Always},
    {"tarnwick.hlp", IDS_ITEM_HELP, nullptr, false, ItemCondition::Always},
    {"TWFind.exe", IDS_ITEM_LOCATOR, nullptr, false, ItemCondition::Always},
    {"UnInstal.exe", IDS_ITEM_UNINSTALL, nullptr, true, ItemCondition::Always},
    {"website.url", 0, "KELM Home Page", false, ItemCondition::WebsiteShortcutWritten},
    {"TWDlgHlp.exe", IDS_ITEM_DIALOG_AIDE, nullptr, false, ItemCondition::Always},
};
static_assert(std::size(GroupItems) == 13);

bool ItemWanted(const GroupItem& item) {
  return item.condition == ItemCondition::Always || SetupState.websiteShortcutWritten;
}

// Adds one item. An item whose file path is longer than a path can be (no link can name it) or
// whose command line does not fit is skipped whole.
void AddGroupItem(const GroupItem& item) {
  const char* folder = SetupState.installFolder;
  if (strlen(folder) + 1 + strlen(item.fileName) >= size_t(MaxPathText)) return;
  char commandLine[ItemCommandLineSize];
  if (!FormItemCommandLine(commandLine, sizeof commandLine, folder, item.fileName,
                           item.folderArgument ? folder : nullptr))
    return;
  const char* caption = item.captionText ? LoadText(item.captionText) : item.fixedCaption;
  ProgmanAddItem(commandLine, caption, nullptr, 0);
}

void ReportGroupCancelled() { SendMessageA(SetupState.copyPageWindow, WM_SETUP_DONE, 0, 0); }

}  // namespace

void RemoveOlderGroups() {
  char name[MaxPathText];
  CopyText(name, LoadText(IDS_GROUP_NAME));  // string-table texts have at most 199 characters
  ProgmanDeleteGroup(name);
  FormatText(name, sizeof name, "%s BETA", LoadText(IDS_GROUP_NAME));
  ProgmanDeleteGroup(name);
  ProgmanDeleteGroup(LoadText(IDS_VERSION5_GROUP_NAME));
}

void CreateProgramGroup() {
  // A repeated installation rebuilds the group from nothing: the group of this name goes first.
  RemoveOlderGroups();
  char groupName[MaxPathText];
  CopyText(groupName, LoadText(IDS_GROUP_NAME));
  ProgmanCreateGroup(groupName, nullptr);
  ProgmanShowGroup(groupName, SW_SHOWNORMAL);

  for (const GroupItem& item : GroupItems) {
    // Read before each item: a cancel request lets the item being added complete.
    if (SetupState.cancelRequested) {
      ReportGroupCancelled();
      return;
    }
    if (ItemWanted(item)) AddGroupItem(item);
  }
  if (SetupState.cancelRequested) ReportGroupCancelled();
}
