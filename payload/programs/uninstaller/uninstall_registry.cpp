// The product's registry entries removed: one table of what setup wrote, each row with the rule
// that keeps what is not the product's.
#include "payload/programs/uninstaller/uninstall_registry.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "common/bounded_text.h"
#include "common/format_text.h"
#include "common/procedures.h"
#include "common/text_compare.h"
#include "common/win_handles.h"
#include "payload/programs/uninstaller/uninstall_arguments.h"
#include "registry/archive_associations.h"
#include "registry/heap_option.h"
#include "registry/product_registration.h"
#include "registry/registry_cursor.h"
#include "registry/uninstall_entry.h"
#include "setup/setup_state.h"

namespace {

enum class Rule {
  Tree,              // the key and everything below it
  TreeIfDefaultIs,   // the same, while the key's default value equals text (letter case ignored)
  ValueIfFolder,     // value text, while it names the install folder
  Value,             // value text
};

struct Removal {
  HKEY root;
  const char* path;
  Rule rule;
  const char* text;   // the default value to match, or the value's name
  // How many keys go when left empty: for the value rules from path upwards, for the tree rules
  // from its parent upwards (the "shell" and "shellex" keys, and "Directory" and "Drive"
  // themselves, that a system without them got; Windows always has them filled).
  int emptyLevels;
};

// The product's value in the update tool's list of products.
constexpr char UpdateToolProductName[] = "Tarnwick";

const Removal ProductRemovals[] = {
    {HKEY_CLASSES_ROOT, ConfigurationClassKey, Rule::Tree, nullptr, 0},
    {HKEY_CLASSES_ROOT, ArchiveProgId, Rule::Tree, nullptr, 0},
    {HKEY_CLASSES_ROOT, ConfigurationProgId, Rule::Tree, nullptr, 0},
    {HKEY_CLASSES_ROOT, ConfigurationExtension, Rule::TreeIfDefaultIs, ConfigurationProgId, 0},
    {HKEY_CLASSES_ROOT, "Directory\\shell\\Locator...", Rule::Tree, nullptr, 1},
    {HKEY_CLASSES_ROOT, "Drive\\shell\\Locator...", Rule::Tree, nullptr, 2},
    {HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Tarnwick Menu", Rule::Tree, nullptr, 0},
    {HKEY_CLASSES_ROOT, "Directory\\shellex\\ContextMenuHandlers\\Tarnwick Menu", Rule::Tree, nullptr, 2},
    {HKEY_CLASSES_ROOT, "Directory\\shellex\\DragDropHandlers\\Tarnwick Menu", Rule::Tree, nullptr, 3},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindExtensions\\Static\\Tarnwick Locator",
     Rule::Tree, nullptr, 2},
    // "SOFTWARE\KELM\Tarnwick\CurrentVersion" up to "SOFTWARE\KELM".
    {HKEY_LOCAL_MACHINE, ProductInstallKey, Rule::ValueIfFolder, "InstallDir", 3},
    // "Software\KELM\Patchwell\Products" up to "Software\KELM": other products share the tool.
    {HKEY_LOCAL_MACHINE, UpdateToolProductsKey, Rule::ValueIfFolder, UpdateToolProductName, 3},
};
// The shell extension's class identifiers, each a key "CLSID\ID".
constexpr const char* ShellExtensionClassIds[] = {ExtensionClassId, ArchiveClassId, LocatorClassId};

// A REG_SZ value of at most 259 characters; false when missing, of another type or too long.
bool ReadText(HKEY key, const char* name, char (&value)[MaxPathText]) {
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
      type != REG_SZ || size == 0 || std::memchr(value, '\0', size) == nullptr)
    return false;
  return true;
}

bool DefaultValueIs(HKEY root, const char* path, const char* text) {
  UniqueKey key;
  char value[MaxPathText];
  return RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS &&
         ReadText(key.get(), nullptr, value) && CompareNoCase(value, text) == 0;
}

bool ValueNamesFolder(HKEY key, const char* name, const char* folder) {
  char value[MaxPathText];
  return ReadText(key, name, value) && SameFolder(value, folder);
}

// Deletes root\path while it has neither values nor subkeys, then its parent the same way, for
// at most levels keys.
void DeleteEmptyKeys(HKEY root, const char* path, int levels) {
  char current[MaxPathText];
  if (!CopyText(current, path)) return;
  for (int level = 0; level < levels; ++level) {
    DWORD subkeys = 1;
    DWORD values = 1;
    {
      UniqueKey key;
      if (RegOpenKeyExA(root, current, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
      if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    }
    if (subkeys != 0 || values != 0 || RegDeleteKeyA(root, current) != ERROR_SUCCESS) return;
    char* separator = std::strrchr(current, '\\');
    if (separator == nullptr) return;
    *separator = '\0';
  }
}

// An archive extension: its default value and "Content Type" go while they are still ours (a
// program that took the extension over keeps both); the key goes only when nothing else is left
// in it (another program's "OpenWithProgids", a "ShellNew" key stay, and the key with them).
void RemoveArchiveExtension(const ArchiveType& type) {
  {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, type.extension, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) !=
        ERROR_SUCCESS)
      return;
    char value[MaxPathText];
    if (!ReadText(key.get(), nullptr, value) || CompareNoCase(value, ArchiveProgId) != 0) return;
    RegDeleteValueA(key.get(), nullptr);
    if (ReadText(key.get(), "Content Type", value) && CompareNoCase(value, type.contentType) == 0)
      RegDeleteValueA(key.get(), "Content Type");
  }
  DeleteEmptyKeys(HKEY_CLASSES_ROOT, type.extension, 1);
}

void RemoveValue(const Removal& row, const char* folder) {
  {
    UniqueKey key;
    if (RegOpenKeyExA(row.root, row.path, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (row.rule == Rule::ValueIfFolder && !ValueNamesFolder(key.get(), row.text, folder)) return;
    RegDeleteValueA(key.get(), row.text);
  }
  DeleteEmptyKeys(row.root, row.path, row.emptyLevels);
}

void Remove(const Removal& row, const char* folder) {
  switch (row.rule) {
    case Rule::Tree: {
      DeleteKeyTree(row.root, row.path);
      char parent[MaxPathText];
      char* separator = CopyText(parent, row.path) ? std::strrchr(parent, '\\') : nullptr;
      if (separator != nullptr && row.emptyLevels > 0) {
        *separator = '\0';
        DeleteEmptyKeys(row.root, parent, row.emptyLevels);
      }
      break;
    }
    case Rule::TreeIfDefaultIs:
      if (DefaultValueIs(row.root, row.path, row.text)) DeleteKeyTree(row.root, row.path);
      break;
    case Rule::ValueIfFolder:
    case Rule::Value:
      RemoveValue(row, folder);
      break;
  }
}

}  // namespace

void UnregisterModules(const char* folder) {
  for (const RegistrationModule& module : RegistrationModules) {
    char path[MaxPathText];
    int length = FormatText(path, sizeof path, "%s\\%s", folder, module.fileName);
    if (length < 0 || length >= MaxPathText) continue;
    UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    UniqueModule library(LoadLibraryA(path));
    if (library) {
      using UnregisterServerProc = HRESULT(WINAPI*)();
      auto unregisterServer =
          FindProcedure<UnregisterServerProc>(library.get(), "DllUnregisterServer");
      if (unregisterServer != nullptr) unregisterServer();
    }
    library.reset();
    SetErrorMode(previousMode);
  }
}

void RemoveProductRegistration(const char* folder) {
  for (const char* classId : ShellExtensionClassIds) {
    char path[64];
    FormatText(path, sizeof path, "CLSID\\%s", classId);
    Remove({HKEY_CLASSES_ROOT, path, Rule::Tree, nullptr, 0}, folder);
  }
  for (const Removal& row : ProductRemovals) Remove(row, folder);
  for (const ArchiveType& type : ArchiveTypes) RemoveArchiveExtension(type);
  for (const char* program : HeapOptionPrograms) {
    char path[MaxPathText];
    FormatText(path, sizeof path, "%s\\%s", ExecutionOptionsPath, program);
    Remove({HKEY_LOCAL_MACHINE, path, Rule::Value, HeapOptionName, 1}, folder);
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
}

void RemoveUninstallEntry() { DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallEntryPath); }

bool ReadUninstallCommand(char (&command)[UninstallCommandSize]) {
  UniqueKey key;
  DWORD size = sizeof command;
  DWORD type = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallEntryPath, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS ||
      RegQueryValueExA(key.get(), "UninstallString", nullptr, &type, reinterpret_cast<BYTE*>(command), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
    return false;
  command[size < sizeof command ? size : sizeof command - 1] = '\0';  // the registry may store none
  return true;
}

bool UpdateToolNamesOtherProducts() {
  UniqueKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UpdateToolProductsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0;
  if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return true;  // what it holds is unknown: keep the shared programs
  if (subkeys > 0) return true;
  for (DWORD index = 0;; ++index) {
    char name[MaxPathText];
    DWORD nameLength = sizeof name;
    LONG result = RegEnumValueA(key.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) return false;
    if (result != ERROR_SUCCESS || CompareNoCase(name, UpdateToolProductName) != 0) return true;
  }
}
