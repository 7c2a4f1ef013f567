// The recursive tree operations: each opens and closes its own handles.
#include "registry/registry_cursor.h"

#include "common/win_handles.h"

namespace {

constexpr DWORD NameSize = 300;   // key, class and value names, in characters with the zero
constexpr DWORD DataSize = 5000;  // value data copied by CopyKeyTree; larger values stay behind

// Keeps the key a call put into key when the call succeeded; a failed call may leave anything
// in its out-parameter, so key is then emptied without closing. True on success.
bool KeepKey(LONG status, UniqueKey& key) {
  if (status == ERROR_SUCCESS) return true;
  key.release();
  return false;
}

bool OpenKey(HKEY parent, const char* name, REGSAM access, UniqueKey& key) {
  return KeepKey(RegOpenKeyExA(parent, name, 0, access, key.put()), key);
}

bool CreateKey(HKEY parent, const char* name, char* className, UniqueKey& key) {
  return KeepKey(RegCreateKeyExA(parent, name, 0, className, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                 key.put(), nullptr),
                 key);
}

// The values of source written into target. Kept out of the recursion so that the data buffer
// is on the stack only while one key's values are copied, never once per level.
[[gnu::noinline]] void CopyValues(HKEY source, HKEY target) {
  char name[NameSize];
  BYTE data[DataSize];
  for (DWORD index = 0;; ++index) {
    DWORD nameSize = NameSize;
    if (RegEnumValueA(source, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return;
    DWORD type = 0;
    DWORD size = DataSize;
    if (RegQueryValueExA(source, name, nullptr, &type, data, &size) != ERROR_SUCCESS) continue;
    RegSetValueExA(target, name, 0, type, data, size);
  }
}

}  // namespace

void DeleteSubkeys(HKEY key) {
  for (;;) {
    // Always index 0: each successful delete moves the remaining subkeys up.
    char name[NameSize];
    char className[NameSize];
    DWORD nameSize = NameSize;
    DWORD classSize = NameSize;
    if (RegEnumKeyExA(key, 0, name, &nameSize, nullptr, className, &classSize, nullptr) != ERROR_SUCCESS) return;
    {
      UniqueKey subkey;
      if (OpenKey(key, name, KEY_ALL_ACCESS, subkey)) DeleteSubkeys(subkey.get());
    }
    // A subkey that stays (protected, or with subkeys that could not go) would be found at
    // index 0 again for ever: stop instead.
    if (RegDeleteKeyA(key, name) != ERROR_SUCCESS) return;
  }
}

void DeleteKeyTree(HKEY root, const char* path) {
  // An empty path would name the root itself.
  if (path == nullptr || path[0] == '\0') return;
  {
    UniqueKey key;
    if (OpenKey(root, path, KEY_ALL_ACCESS, key)) DeleteSubkeys(key.get());
  }
  RegDeleteKeyA(root, path);
}

bool CopyKeyTree(HKEY source, HKEY target) {
  bool result = true;
  for (DWORD index = 0;; ++index) {
    char name[NameSize];
    char className[NameSize];
    DWORD nameSize = NameSize;
    DWORD classSize = NameSize;
    if (RegEnumKeyExA(source, index, name, &nameSize, nullptr, className, &classSize, nullptr) != ERROR_SUCCESS)
      break;
    UniqueKey targetSubkey;
    if (!CreateKey(target, name, className, targetSubkey)) {
      result = false;
      continue;
    }
    UniqueKey sourceSubkey;
    if (!OpenKey(source, name, KEY_READ, sourceSubkey)) {
      result = false;
      continue;
    }
    if (!CopyKeyTree(sourceSubkey.get(), targetSubkey.get())) result = false;
    // The holders close the source subkey, then the target subkey.
  }
  CopyValues(source, target);
  return result;
}
