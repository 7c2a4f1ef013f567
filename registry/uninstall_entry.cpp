// The uninstall entry, older versions' folder verbs, and version 2.0's keys.
#include "registry/uninstall_entry.h"

#include <cstring>

#include "common/format_text.h"
#include "common/text_compare.h"
#include "common/win_handles.h"
#include "registry/registry_cursor.h"
#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "shortcuts/progman.h"

namespace {

// The folder verbs of earlier versions, in the order they are removed.
constexpr const char* OldFolderVerbs[] = {"Duro Rezorov 98", "Tarnwick", "Navigate+"};

constexpr char CurrentVersionPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char UninstallPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char Version2UninstallPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick2.0";
constexpr char SettingsPath[] = "SOFTWARE\\Fenmoor\\Tarnwick";


constexpr int JoinedPathSize = 260;

void RemoveFolderVerb(const char* verb) {
  char path[64];
  FormatText(path, sizeof path, "Folder\\shell\\%s", verb);
  DeleteKeyTree(HKEY_CLASSES_ROOT, path);
  char defaultVerb[260];
  // A key that opens but whose default value cannot be read stays in the cursor.
  if (!RegistryCursor.OpenForRead(HKEY_CLASSES_ROOT, "Folder", "shell") ||
      !RegistryCursor.QueryString(nullptr, defaultVerb))
    return;
  RegistryCursor.Close();
  if (CompareNoCase(defaultVerb, verb) != 0) return;
  if (!RegistryCursor.OpenForWrite(HKEY_CLASSES_ROOT, "Folder", "shell")) return;
  RegistryCursor.SetString(nullptr, "");
  RegistryCursor.Close();
}

// A failed open or create may leave anything in its out-parameter: the holder is then emptied
// without closing. True on success.
bool Kept(LONG status, UniqueKey& key) {
  if (status == ERROR_SUCCESS) return true;
  key.release();
  return false;
}

// Steps of MoveKey before the deletion: copies parent\oldName into parent\newName (created or
// opened). True when the copy is complete. Every key is closed on return.
bool CopyToSibling(HKEY root, const char* parentPath, const char* oldName, const char* newName) {
  // Declared in acquisition order, so they close in reverse: target, source, parent.
  UniqueKey parent, source, target;
  if (!Kept(RegOpenKeyExA(root, parentPath, 0, KEY_READ | KEY_WRITE, parent.put()), parent)) return false;
  if (!Kept(RegOpenKeyExA(parent.get(), oldName, 0, KEY_READ, source.put()), source)) return false;
  char emptyClass[] = "";
  if (!Kept(RegCreateKeyExA(parent.get(), newName, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            target.put(), nullptr),
            target))
    return false;
  return CopyKeyTree(source.get(), target.get());
}

}  // namespace

void RegisterUninstall() {
  for (const char* verb : OldFolderVerbs) RemoveFolderVerb(verb);

  RegistryCursor.CreateKey(HKEY_LOCAL_MACHINE, CurrentVersionPath, "Uninstall");
  RegistryCursor.CreateKey(HKEY_LOCAL_MACHINE, UninstallPath, "Tarnwick5.0");
  RegistryCursor.SetString("DisplayName", LoadText(IDS_UNINSTALL_DISPLAY_NAME));
  char command[UninstallCommandSize];
  int length = FormatText(command, sizeof command, "\"%s\\uninstal.exe\" %s", SetupState.installFolder,
                          SetupState.installFolder);
  if (length > 0 && size_t(length) < sizeof command) RegistryCursor.SetString("UninstallString", command);
  RegistryCursor.Close();
}

void RetireVersion2() {
  DeleteKeyTree(HKEY_LOCAL_MACHINE, Version2UninstallPath);
  ProgmanDeleteGroup("Tarnwick 2.0");
  RegistryCursor.Close();
  MoveKey(HKEY_LOCAL_MACHINE, SettingsPath, "Version2.0", "CurrentVersion");
  MoveKey(HKEY_CURRENT_USER, SettingsPath, "Version2.0", "CurrentVersion");
}

bool MoveKey(HKEY root, const char* parentPath, const char* oldName, const char* newName) {
  char oldPath[JoinedPathSize];
  int length = FormatText(oldPath, sizeof oldPath, "%s\\%s", parentPath, oldName);
  if (length < 0 || length >= JoinedPathSize) return false;
  {
    UniqueKey existing;  // only a test that the old key is there
    if (!Kept(RegOpenKeyExA(root, oldPath, 0, KEY_READ, existing.put()), existing)) return false;
  }
  if (!CopyToSibling(root, parentPath, oldName, newName)) return false;
  DeleteKeyTree(root, oldPath);
  return true;
}
