// Program Manager's groups as the shell keeps them: folders of the user's Start-menu Programs,
// each item a shortcut (.lnk) read back through the shell's link object.
#pragma once
#include <optional>
#include <string>
#include <vector>

// The folder of group name in the user's Programs folder (CSIDL_PROGRAMS), and whether it exists.
std::string GroupFolder(const std::string& name);
bool GroupExists(const std::string& name);
// The groups (sub-folders of the Programs folder) and a group's files, each sorted.
std::vector<std::string> GroupNames();
std::vector<std::string> GroupItems(const std::string& name);

// A shortcut as the shell resolves it; nothing when the .lnk cannot be loaded.
struct ShortcutInfo {
  std::string target, arguments, description, iconFile;
  int iconIndex = 0;
};
std::optional<ShortcutInfo> ReadShortcut(const std::string& path);

// The product's group items in their order: the installed file and the item's caption.
struct GroupItem {
  const char* file;
  const char* caption;
};
inline constexpr GroupItem ProductGroupItems[] = {
    {"TWick.exe", "Toolbar"},          {"TWWizard.exe", "Bar Builder"}, {"DiskGau.exe", "Disk Gauge"},
    {"TWSync.exe", "Folder Mirror"},   {"Patchwell.exe", "Patchwell"},   {"TrackLister.exe", "Track Lister"},
    {"TWExplo.exe", "Tarnwick"},       {"readme.rtf", "Read Me"},        {"tarnwick.hlp", "Tarnwick Help"},
    {"TWFind.exe", "Locator"},         {"UnInstal.exe", "Uninstall Tarnwick"},
    {"website.url", "KELM Home Page"}, {"TWDlgHlp.exe", "Dialog Aide"},
};
