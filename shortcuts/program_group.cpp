#include "shortcuts/program_group.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "setup/bounded_text.h"
#include "setup/setup_state.h"
#include "shortcuts/progman.h"

namespace {

constexpr UINT TextProductGroup = 1;  // "Tarnwick Pro 5.0"
constexpr UINT TextOlderGroup = 55;   // "Tarnwick 5.0"

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
    {"TWick.exe", 31, nullptr, false, ItemCondition::Always},            // "Toolbar"
    {"TWWizard.exe", 4, nullptr, false, ItemCondition::Always},          // "Bar Builder"
    {"DiskGau.exe", 11, nullptr, false, ItemCondition::Always},          // "Disk Gauge"
    {"TWSync.exe", 34, nullptr, false, ItemCondition::Always},           // "Folder Mirror"
    {"Patchwell.exe", 35, nullptr, false, ItemCondition::Always},        // "Patchwell"
    {"TrackLister.exe", 50, nullptr, false, ItemCondition::Always},      // "Track Lister"
    {"TWExplo.exe", 0, "Tarnwick", false, ItemCondition::Always},
    {"readme.rtf", 6, nullptr, false, ItemCondition::Always},            // "Read Me"
    {"tarnwick.hlp", 22, nullptr, false, ItemCondition::Always},         // "Tarnwick Help"
    {"TWFind.exe", 26, nullptr, false, ItemCondition::Always},           // "Locator"
    {"UnInstal.exe", 5, nullptr, true, ItemCondition::Always},           // "Uninstall Tarnwick"
    {"website.url", 0, "KELM Home Page", false, ItemCondition::WebsiteShortcutWritten},
    {"TWDlgHlp.exe", 33, nullptr, false, ItemCondition::Always},         // "Dialog Aide"
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
  CopyText(name, LoadText(TextProductGroup));  // string-table texts have at most 199 characters
  ProgmanDeleteGroup(name);
  std::snprintf(name, sizeof name, "%s BETA", LoadText(TextProductGroup));
  ProgmanDeleteGroup(name);
  ProgmanDeleteGroup(LoadText(TextOlderGroup));
}

void CreateProgramGroup() {
  // A repeated installation rebuilds the group from nothing: the group of this name goes first.
  RemoveOlderGroups();
  char groupName[MaxPathText];
  CopyText(groupName, LoadText(TextProductGroup));
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
