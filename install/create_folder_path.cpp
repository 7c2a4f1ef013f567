// Folder creation, level by level from the outermost missing folder inwards.
#include "install/create_folder_path.h"

#include <windows.h>

#include <cstring>

#include "setup/setup_state.h"

namespace {

// The parent of the first length characters of path is always a prefix of it: the text up to
// the last backslash (which drops one trailing backslash), or without any backslash only the
// drive ("D:") or nothing. It is at least one character shorter, so the recursion ends. The
// path is read by characters: the second byte of a double-byte character is never a backslash.
size_t ParentLength(const char* path, size_t length) {
  size_t lastBackslash = length;  // none yet
  for (size_t i = 0; i < length;) {
    if (path[i] == '\\') lastBackslash = i;
    i += IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < length ? 2 : 1;
  }
  if (lastBackslash < length) return lastBackslash;
  return length >= 2 && path[1] == ':' ? 2 : 0;
}

// Creates the parent levels of folder[0, length), then the level itself. folder is a private
// copy that is cut short in place for each call of CreateDirectoryA and mended afterwards.
void CreateLevels(char* folder, size_t length) {
  if (length < 4) return;  // a drive (D:) or a drive root (D:\) is never created
  CreateLevels(folder, ParentLength(folder, length));
  char kept = folder[length];
  folder[length] = '\0';
  CreateDirectoryA(folder, nullptr);
  folder[length] = kept;
}

}  // namespace

void CreateFolderPath(const char* path) {
  if (path == nullptr) return;
  char folder[MaxPathText];
  size_t length = strnlen(path, sizeof folder);
  if (length >= sizeof folder) return;  // not a path this program can use
  memcpy(folder, path, length + 1);
  CreateLevels(folder, length);
}
