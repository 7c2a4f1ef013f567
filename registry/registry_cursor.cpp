// The two process-wide key cursors.
#include "registry/registry_cursor.h"

#include <cstring>

#include "common/format_text.h"

KeyCursor RegistryCursor;
KeyCursor AssociationCursor;

namespace {

constexpr REGSAM ReadAccess = KEY_READ;                   // 0x20019
constexpr REGSAM ReadWriteAccess = KEY_READ | KEY_WRITE;  // 0x2001F
constexpr REGSAM FullAccess = KEY_ALL_ACCESS;             // 0xF003F
static_assert(ReadAccess == 0x20019 && ReadWriteAccess == 0x2001F && FullAccess == 0xF003F);

constexpr DWORD QueryLimit = 260;  // bytes of value data that QueryString accepts
constexpr int JoinedPathSize = 260;

// Opens root\parentPath\name (root\name when parentPath is null) with the given access.
// A joined path that does not fit in 259 characters opens nothing.
bool OpenJoined(HKEY root, const char* parentPath, const char* name, REGSAM access, HKEY* key) {
  if (name == nullptr) return false;
  char path[JoinedPathSize];
  int length = parentPath != nullptr ? FormatText(path, sizeof path, "%s\\%s", parentPath, name)
                                     : FormatText(path, sizeof path, "%s", name);
  if (length < 0 || length >= JoinedPathSize) return false;
  return RegOpenKeyExA(root, path, 0, access, key) == ERROR_SUCCESS;
}

}  // namespace

void KeyCursor::Close() {
  if (currentKey != nullptr) RegCloseKey(currentKey);
  currentKey = nullptr;
  if (parentKey != nullptr) RegCloseKey(parentKey);
  parentKey = nullptr;
}

LONG KeyCursor::CreateKey(HKEY root, const char* parentPath, const char* name) {
  Close();
  // A null sub-path gives a new handle to the root itself.
  LONG status = RegOpenKeyExA(root, parentPath, 0, ReadWriteAccess, &parentKey);
  if (status != ERROR_SUCCESS) {
    parentKey = nullptr;
    return status;
  }
  char emptyClass[] = "";
  if (RegCreateKeyExA(parentKey, name, 0, emptyClass, REG_OPTION_NON_VOLATILE, FullAccess, nullptr, &currentKey,
                      nullptr) != ERROR_SUCCESS) {
    currentKey = nullptr;
    Close();
  }
  return ERROR_SUCCESS;
}

bool KeyCursor::OpenForRead(HKEY root, const char* parentPath, const char* name) {
  Close();
  if (OpenJoined(root, parentPath, name, ReadAccess, &currentKey)) return true;
  currentKey = nullptr;
  return false;
}

bool KeyCursor::OpenForWrite(HKEY root, const char* parentPath, const char* name) {
  Close();
  if (OpenJoined(root, parentPath, name, ReadWriteAccess, &currentKey)) return true;
  currentKey = nullptr;
  return false;
}

void KeyCursor::SetString(const char* valueName, const char* text) {
  if (currentKey == nullptr || text == nullptr) return;
  RegSetValueExA(currentKey, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(strlen(text) + 1));
}

void KeyCursor::SetBinary(const char* valueName, const void* data, DWORD size) {
  if (currentKey == nullptr) return;
  RegSetValueExA(currentKey, valueName, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

bool KeyCursor::QueryString(const char* valueName, char* buffer) {
  if (currentKey == nullptr) return false;
  DWORD type = 0;
  DWORD size = QueryLimit;
  if (RegQueryValueExA(currentKey, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS)
    return false;
  // The registry does not promise a terminating zero (a value may be stored without one, or
  // not be a string at all): the callers use the buffer as text.
  if (size > 0 && buffer[size - 1] == '\0') return true;
  if (size >= QueryLimit) return false;
  buffer[size] = '\0';
  return true;
}
