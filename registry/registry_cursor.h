// The registry access layer: two process-wide key cursors and the recursive tree operations.
// Writes are fire-and-forget: a key that cannot be created leaves the cursor closed and the
// value writes that follow do nothing.
#pragma once
#include <windows.h>

// A cursor holds at most one current key. CreateKey, OpenForRead and OpenForWrite first close
// whatever the cursor holds; a failed open or create leaves both handles null. The two cursors
// never share a handle. No lock: one thread at a time.
class KeyCursor {
 public:
  KeyCursor() = default;
  KeyCursor(const KeyCursor&) = delete;
  KeyCursor& operator=(const KeyCursor&) = delete;

  // Closes the current key, then the parent; both become null.
  void Close();
  // Opens root\parentPath (null: the root itself) read-write as the parent, then creates or
  // opens name under it with full access. Returns the system error when the parent does not
  // open, else 0 (also when the creation failed, which leaves the cursor closed).
  LONG CreateKey(HKEY root, const char* parentPath, const char* name);
  // Opens root\parentPath\name (root\name when parentPath is null) for reading (writing) into
  // currentKey; parentKey stays null. True when the key was opened. A joined path longer than
  // 259 characters is a failure, never a shortened path.
  bool OpenForRead(HKEY root, const char* parentPath, const char* name);
  bool OpenForWrite(HKEY root, const char* parentPath, const char* name);
  // REG_SZ with its terminating zero; valueName null means the default value.
  void SetString(const char* valueName, const char* text);
  // REG_BINARY of exactly size bytes.
  void SetBinary(const char* valueName, const void* data, DWORD size);
  // Reads a value of at most 260 bytes into buffer (at least 260 bytes). False when no key is
  // open (buffer untouched) or the read fails. The value's type is not checked; on success the
  // buffer holds a terminated text (data without a terminating zero gets one, and 260 bytes
  // without one are a failure). The cursor stays open.
  bool QueryString(const char* valueName, char* buffer);

  HKEY parentKey = nullptr;
  HKEY currentKey = nullptr;
};

extern KeyCursor RegistryCursor;     // shared by all users of the layer
extern KeyCursor AssociationCursor;  // only the association writer uses this one

// Deletes root\path with everything below it. A missing key is no error; a null or empty path
// (the root itself) is left alone. A subkey that cannot be deleted stops the deletion of its
// parent's remaining subkeys, and the keys above it stay.
void DeleteKeyTree(HKEY root, const char* path);
// Deletes every subkey of key, depth first; the key and its values stay. Stops at the first
// subkey that cannot be deleted.
void DeleteSubkeys(HKEY key);
// Copies all subkeys (recursively, each with its class string), then all values of source into
// target; target's values of the same names are overwritten, the others stay. Every value the
// registry can hold is copied whole, with its type: data of any size, names of any length the
// registry allows (the buffers grow to what the key needs). True when the copy is complete;
// false when any subkey could not be enumerated, created, opened or copied, or any value could
// not be read or written. What could be copied is copied either way.
bool CopyKeyTree(HKEY source, HKEY target);
