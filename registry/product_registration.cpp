// Product registration, written through the shared RegistryCursor.
#include "registry/product_registration.h"

#include <windows.h>

#include "common/format_text.h"
#include "common/procedures.h"
#include "common/win_handles.h"
#include "registry/archive_associations.h"
#include "registry/registry_cursor.h"
#include "setup/setup_state.h"

const RegistrationModule RegistrationModules[5] = {
    {"lattice.ocx", 0}, {"modeng1.dll", 0}, {"modeng2.dll", 0}, {"modeng3.dll", 0}, {"modeng4.dll", 1},
};

namespace {

// The product's keys and values in the order they are written: each row creates one key level
// (name under parent) and, when data is not null, sets one REG_SZ value. "%s" in data stands
// for the install folder. The class identifier is the configuration document class's.
struct ProductKeyRow {
  HKEY root;
  const char* parent;     // null: the root itself
  const char* name;
  const char* valueName;  // null: the default value
  const char* data;       // null: no value
};
const ProductKeyRow ProductKeys[] = {
    {HKEY_LOCAL_MACHINE, "SOFTWARE", "KELM", nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\KELM", "Tarnwick", nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\KELM\\Tarnwick", "CurrentVersion", "InstallDir", "%s"},
    {HKEY_CURRENT_USER, "SOFTWARE", "KELM", nullptr, nullptr},
    {HKEY_CURRENT_USER, "SOFTWARE\\KELM", "Tarnwick", nullptr, nullptr},
    {HKEY_CURRENT_USER, "SOFTWARE\\KELM\\Tarnwick", "CurrentVersion", nullptr, nullptr},
    {HKEY_CURRENT_USER, "SOFTWARE\\KELM\\Tarnwick\\CurrentVersion", "Tools", nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, "Software", "KELM", nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, "Software\\KELM", "Patchwell", nullptr, nullptr},
    {HKEY_LOCAL_MACHINE, "Software\\KELM\\Patchwell", "Products", "Tarnwick", "%s"},
    {HKEY_CLASSES_ROOT, nullptr, ".TWC", nullptr, "Tarnwick"},
    {HKEY_CLASSES_ROOT, "CLSID", "{d41c7a90-5b2e-11ce-8f3a-00a0c9d4e261}", nullptr, "Tarnwick Configuration"},
    {HKEY_CLASSES_ROOT, "CLSID\\{d41c7a90-5b2e-11ce-8f3a-00a0c9d4e261}", "AuxUserType", nullptr, nullptr},
    {HKEY_CLASSES_ROOT, "CLSID\\{d41c7a90-5b2e-11ce-8f3a-00a0c9d4e261}\\AuxUserType", "2", nullptr,
     "Tarnwick Configuration"},
    {HKEY_CLASSES_ROOT, nullptr, "Tarnwick", nullptr, "Tarnwick Configuration"},
    {HKEY_CLASSES_ROOT, "Tarnwick", "DefaultIcon", nullptr, "%s\\TWick.exe"},
    {HKEY_CLASSES_ROOT, "Tarnwick", "shell", nullptr, nullptr},
    {HKEY_CLASSES_ROOT, "Tarnwick\\shell", "open", nullptr, nullptr},
    // Quoted: in a folder with blanks the shell would otherwise start a program named by a
    // prefix of the path.
    {HKEY_CLASSES_ROOT, "Tarnwick\\shell\\open", "command", nullptr, "\"%s\\TWick.exe\" %%1"},
};

// A value built from the install folder (at most 259 characters) always fits; one that would
// not is left unwritten rather than written cut short.
void WriteProductKeys(const char* folder) {
  for (const ProductKeyRow& row : ProductKeys) {
    RegistryCursor.CreateKey(row.root, row.parent, row.name);
    if (row.data == nullptr) continue;
    char text[400];
    int length = FormatText(text, sizeof text, row.data, folder);
    if (length >= 0 && length < static_cast<int>(sizeof text)) RegistryCursor.SetString(row.valueName, text);
  }
}

// Loads folder\module and calls its "DllRegisterServer". The full path, not the bare name: a
// bare name is looked up in the setup program's own folder first, where a different file of
// that name would be loaded and registered instead of the installed copy. For the same reason
// the module's own imports are searched in its folder first (LOAD_WITH_ALTERED_SEARCH_PATH).
void RegisterModule(const char* folder, const RegistrationModule& module) {
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  char path[MaxPathText];
  int length = FormatText(path, sizeof path, "%s\\%s", folder, module.fileName);
  if (!(module.skippedOnNT4 && SetupState.isNT4) && length >= 0 && length < MaxPathText) {
    UniqueModule library(LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (library && library.get() != INVALID_HANDLE_VALUE) {
      using RegisterServerProc = HRESULT(WINAPI*)();
      auto registerServer = FindProcedure<RegisterServerProc>(library.get(), "DllRegisterServer");
      if (registerServer != nullptr) registerServer();
    }
  }
  SetErrorMode(previousMode);
}

}  // namespace

void RegisterProduct() {
  const char* folder = SetupState.installFolder;
  WriteProductKeys(folder);
  RegisterAssociations(folder, SetupState.registerContextMenus, SetupState.associateZip, SetupState.associateOthers);
  SetCurrentDirectoryA(folder);
  for (const RegistrationModule& module : RegistrationModules) RegisterModule(folder, module);
}
