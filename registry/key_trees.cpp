// The recursive tree operations: each opens and closes its own handles.
#include "registry/registry_cursor.h"

namespace {

constexpr DWORD NameSize = 300;   // key, class and value names, in characters with the zero
constexpr DWORD DataSize = 5000;  // value data copied by CopyKeyTree; larger values stay behind

// Closes a key handle when it goes out of scope.
class KeyHolder {
 public:
  KeyHolder() = default;
  KeyHolder(const KeyHolder&) = delete;
  KeyHolder& operator=(const KeyHolder&) = delete;
  ~KeyHolder() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY get() const { return key_; }
  // The handle stays null when the system call fails.
  bool Open(HKEY parent, const char* name, REGSAM access) {
    return Keep(RegOpenKeyExA(parent, name, 0, access, &key_));
  }
  bool Create(HKEY parent, const char* name, char* className) {
    return Keep(RegCreateKeyExA(parent, name, 0, className, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_,
                                nullptr));
  }

 private:
  bool Keep(LONG status) {
    if (status == ERROR_SUCCESS) return true;
    key_ = nullptr;
    return false;
  }
  HKEY key_ = nullptr;
};

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
      KeyHolder subkey;
      if (subkey.Open(key, name, KEY_ALL_ACCESS)) DeleteSubkeys(subkey.get());
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
    KeyHolder key;
    if (key.Open(root, path, KEY_ALL_ACCESS)) DeleteSubkeys(key.get());
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
    KeyHolder targetSubkey;
    if (!targetSubkey.Create(target, name, className)) {
      result = false;
      continue;
    }
    KeyHolder sourceSubkey;
    if (!sourceSubkey.Open(source, name, KEY_READ)) {
      result = false;
      continue;
    }
    if (!CopyKeyTree(sourceSubkey.get(), targetSubkey.get())) result = false;
    // The holders close the source subkey, then the target subkey.
  }
  CopyValues(source, target);
  return result;
}
