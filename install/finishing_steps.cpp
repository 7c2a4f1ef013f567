#include "install/finishing_steps.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "common/bounded_text.h"
#include "common/format_text.h"
#include "common/text_file.h"
#include "common/win_handles.h"
#include "install/active_run.h"
#include "registry/heap_option.h"
#include "registry/registry_cursor.h"
#include "registry/settings_migration.h"
#include "registry/uninstall_entry.h"
#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "shortcuts/program_group.h"
#include "shortcuts/progman.h"
#include "shortcuts/shell_links.h"

namespace {

// Version 4.0's program groups, formed from text 51.
constexpr const char* Version4GroupFormats[] = {"%s", "%s BETA", "%s Pro"};
// Version 4.0's uninstall entries under HKEY_LOCAL_MACHINE.
constexpr const char* Version4UninstallKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick4.0",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Uninstall\\Tarnwick4.0",
};
// The folders that get the "My Tarnwick" shortcut.
constexpr int ShortcutFolders[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU};

// "%s\%s" of the install folder and name. 0 (path empty) when it does not fit in a path.
int InstallFolderPath(char (&path)[MaxPathText], const char* name) {
  int length = FormatText(path, sizeof path, "%s\\%s", SetupState.installFolder, name);
  if (length < 0 || length >= MaxPathText) {
    path[0] = '\0';
    return 0;
  }
  return 1;
}

// Writes "[InternetShortcut]" CR LF "URL=address" into the install folder's file name. Returns 1
// when the whole text was written; a file that was created but not written whole is removed.
int WriteInternetShortcut(const char* name, const char* address) {
  char path[MaxPathText];
  if (!InstallFolderPath(path, name)) return 0;
  TextFile file;  // "\n" is written as CR LF
  if (!file.Open(path, TextFile::Create)) return 0;
  file.Put("[InternetShortcut]\nURL=");
  file.Put(address);
  bool written = file.Close();
  if (!written) DeleteFileA(path);
  return written;
}

bool Ending() { return ActiveRun.ending != 0; }

}  // namespace

void RemoveVersion4Registrations() {
  char explorer[MaxPathText];
  if (!InstallFolderPath(explorer, "twexplo.exe") || GetFileAttributesA(explorer) == INVALID_FILE_ATTRIBUTES) return;
  char base[MaxPathText];
  CopyText(base, LoadText(IDS_VERSION4_GROUP_NAME));
  for (const char* format : Version4GroupFormats) {
    char group[MaxPathText];
    FormatText(group, sizeof group, format, base);  // a 199-character text and " BETA" fit
    ProgmanDeleteGroup(group);
  }
  for (const char* key : Version4UninstallKeys) DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
}

void WriteInternetShortcuts() {
  if (WriteInternetShortcut("website.url", LoadText(IDS_HOME_PAGE_ADDRESS))) SetupState.websiteShortcutWritten = 1;
  WriteInternetShortcut("register.url", LoadText(IDS_REGISTRATION_ADDRESS));
}

void CreateProductShortcuts() {
  // The shell's link object needs COM on this thread, also to resolve the old links.
  CoInitialize(nullptr);
  RemoveOutdatedShortcuts();
  char name[MaxPathText];
  CopyText(name, LoadText(IDS_SHORTCUT_NAME));
  char target[MaxPathText];
  if (!InstallFolderPath(target, "TWExplo.exe")) return;
  for (int csidl : ShortcutFolders) {
    char folder[MaxPathText];
    if (!GetShellFolderPath(csidl, folder)) continue;
    CreateShellLink(folder, name, target, nullptr, nullptr, SW_SHOWNORMAL, nullptr, 0, nullptr);
  }
}

void RunRegistrationSteps() {
  using Step = void (*)();
  static const Step steps[] = {RegisterUninstall, CreateProgramGroup, MigrateVersion3Settings};
  for (Step step : steps) {
    if (Ending()) return;
    step();
  }
  if (SetupState.isNT && !Ending()) SetHeapLookasideOption();
}
