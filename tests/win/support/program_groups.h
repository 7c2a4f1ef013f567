// Program Manager's groups as the shell keeps them: folders of the user's Start-menu Programs,
// each item a shortcut (.lnk) read back through the shell's link object.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The user's Programs folder (CSIDL_PROGRAMS), where Program Manager's groups are made.
std::string ProgramsFolder();
// The folder of group name, and whether it exists.
std::string GroupFolder(const std::string& name);
bool GroupExists(const std::string& name);
// Names of the groups (sub-folders of the Programs folder), sorted.
std::vector<std::string> GroupNames();
// Names of the files in a group's folder, sorted.
std::vector<std::string> GroupItems(const std::string& name);

// A shortcut as the shell resolves it.
struct ShortcutInfo {
  std::string target;
  std::string arguments;
  std::string description;
  std::string iconFile;
  int iconIndex = 0;
};
// Loads the .lnk file at path; nothing when it cannot be loaded. Initialises COM on the thread.
std::optional<ShortcutInfo> ReadShortcut(const std::string& path);
