// The recursive tree operations: each opens and closes its own handles.
#include "registry/registry_cursor.h"

#include "common/win_handles.h"

namespace {

constexpr DWORD NameSize = 300;  // key names in the deletion walk, in characters with the zero (the limit is 255)
// A buffer that does not hold a name or value although the key's own figures say it should
// (it changed meanwhile) is grown and the read tried again, this many times at most.
constexpr int ReadAttempts = 4;

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

// What the registry says of a key: how many subkeys and values it has and the longest name,
// class and data among them (names and classes in characters without the zero).
struct KeyFigures {
  DWORD subkeys = 0, longestSubkey = 0, longestClass = 0;
  DWORD values = 0, longestValueName = 0, longestData = 0;
};

bool ReadKeyFigures(HKEY key, KeyFigures& figures) {
  return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &figures.subkeys, &figures.longestSubkey,
                          &figures.longestClass, &figures.values, &figures.longestValueName, &figures.longestData,
                          nullptr, nullptr) == ERROR_SUCCESS;
}

// A buffer on the process heap that grows on request; what it held is not kept when it grows.
// (The uninstaller shares this file and must stay small: no standard containers.)
class GrowingBuffer {
 public:
  explicit GrowingBuffer(DWORD size) { Reserve(size); }
  ~GrowingBuffer() { Free(); }
  GrowingBuffer(const GrowingBuffer&) = delete;
  GrowingBuffer& operator=(const GrowingBuffer&) = delete;

  // Makes the buffer hold at least size bytes (and at least one). False when the memory cannot
  // be had; the buffer is then empty.
  bool Reserve(DWORD size) {
    if (size == 0) size = 1;
    if (data_ != nullptr && size_ >= size) return true;
    Free();
    data_ = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
    size_ = data_ != nullptr ? size : 0;
    return data_ != nullptr;
  }
  // Twice its size, or more when needed.
  bool Grow(DWORD needed = 0) { return Reserve(needed > size_ * 2 ? needed : size_ * 2); }
  char* data() const { return data_; }
  DWORD size() const { return size_; }

 private:
  void Free() {
    if (data_ != nullptr) HeapFree(GetProcessHeap(), 0, data_);
    data_ = nullptr;
    size_ = 0;
  }
  char* data_ = nullptr;
  DWORD size_ = 0;
};

// The subkey at index of source with its class string, into name and className (grown as
// needed). ERROR_SUCCESS, ERROR_NO_MORE_ITEMS when there is none, or the failure.
LONG EnumerateSubkey(HKEY source, DWORD index, GrowingBuffer& name, GrowingBuffer& className) {
  LONG status = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < ReadAttempts && status == ERROR_MORE_DATA; ++attempt) {
    if (name.data() == nullptr || className.data() == nullptr) return ERROR_OUTOFMEMORY;
    DWORD nameSize = name.size();
    DWORD classSize = className.size();
    status = RegEnumKeyExA(source, index, name.data(), &nameSize, nullptr, className.data(), &classSize, nullptr);
    if (status == ERROR_MORE_DATA) {
      name.Grow();
      className.Grow();
    }
  }
  return status;
}

// The value at index of source: name, type and data (buffers grown as needed; size is the
// data's size). ERROR_SUCCESS, ERROR_NO_MORE_ITEMS when there is none, or the failure.
LONG EnumerateValue(HKEY source, DWORD index, GrowingBuffer& name, DWORD& type, GrowingBuffer& data,
                    DWORD& size) {
  LONG status = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < ReadAttempts && status == ERROR_MORE_DATA; ++attempt) {
    if (name.data() == nullptr || data.data() == nullptr) return ERROR_OUTOFMEMORY;
    DWORD nameSize = name.size();
    size = data.size();
    status = RegEnumValueA(source, index, name.data(), &nameSize, nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &size);
    if (status == ERROR_MORE_DATA) {
      // Either buffer may be the short one: grow both past what the key now says.
      KeyFigures figures;
      if (!ReadKeyFigures(source, figures)) return status;
      name.Grow(figures.longestValueName + 1);
      data.Grow(size > figures.longestData ? size : figures.longestData);
    }
  }
  return status;
}

// The values of source written into target, each with its type and exact data. False when a
// value could not be read or written (the others are still copied).
bool CopyValues(HKEY source, HKEY target, const KeyFigures& figures) {
  bool complete = true;
  GrowingBuffer name(figures.longestValueName + 1);
  GrowingBuffer data(figures.longestData);
  for (DWORD index = 0; index < figures.values; ++index) {
    DWORD type = 0, size = 0;
    LONG status = EnumerateValue(source, index, name, type, data, size);
    if (status == ERROR_NO_MORE_ITEMS) break;  // fewer values than counted
    if (status != ERROR_SUCCESS ||
        RegSetValueExA(target, name.data(), 0, type, reinterpret_cast<const BYTE*>(data.data()), size) !=
            ERROR_SUCCESS)
      complete = false;
  }
  return complete;
}

}  // namespace

void DeleteSubkeys(HKEY key) {
  for (;;) {
    // Always index 0: each successful delete moves the remaining subkeys up.
    // The class is not asked for: a long class string must not stop the deletion.
    char name[NameSize];
    DWORD nameSize = NameSize;
    if (RegEnumKeyExA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return;
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
  KeyFigures figures;
  if (!ReadKeyFigures(source, figures)) return false;
  bool complete = true;
  GrowingBuffer name(figures.longestSubkey + 1), className(figures.longestClass + 1);
  for (DWORD index = 0; index < figures.subkeys; ++index) {
    LONG status = EnumerateSubkey(source, index, name, className);
    if (status == ERROR_NO_MORE_ITEMS) break;  // fewer subkeys than counted
    if (status != ERROR_SUCCESS) {
      complete = false;
      continue;
    }
    UniqueKey targetSubkey;
    if (!CreateKey(target, name.data(), className.data(), targetSubkey)) {
      complete = false;
      continue;
    }
    UniqueKey sourceSubkey;
    if (!OpenKey(source, name.data(), KEY_READ, sourceSubkey)) {
      complete = false;
      continue;
    }
    if (!CopyKeyTree(sourceSubkey.get(), targetSubkey.get())) complete = false;
    // The holders close the source subkey, then the target subkey.
  }
  if (!CopyValues(source, target, figures)) complete = false;
  return complete;
}
