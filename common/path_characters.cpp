#include "common/path_characters.h"

#include <cstring>

namespace {

constexpr DWORD PathBufferSize = 260;  // MaxPathText: at most 259 characters and the zero

// The character after the one at p.
const char* NextCharacter(const char* p, UINT codePage) {
  if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(*p)) && p[1] != '\0') return p + 2;
  return p + 1;
}

// The length of the root of a full path: 3 for "X:\", the length of "\\server\share\" for a
// network path; 0 for anything else.
size_t RootLength(const char* path, UINT codePage) {
  if (((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':' &&
      path[2] == '\\')
    return 3;
  if (path[0] != '\\' || path[1] != '\\') return 0;
  // Server and share: two non-empty names, each ended by a backslash.
  const char* p = path + 2;
  for (int name = 0; name < 2; ++name) {
    const char* start = p;
    while (*p != '\0' && *p != '\\') p = NextCharacter(p, codePage);
    if (p == start || *p != '\\') return 0;
    ++p;
  }
  return static_cast<size_t>(p - path);
}

// 1 when every folder name from names on is non-empty, holds no colon and does not end in a dot
// or a blank (there is at least one).
int HasPlainNames(const char* names, UINT codePage) {
  if (*names == '\0') return 0;
  const char* last = nullptr;  // last character of the current name
  for (const char* p = names;; p = NextCharacter(p, codePage)) {
    if (*p == '\0' || *p == '\\') {
      if (last == nullptr) return 0;  // empty name
      if (p - last == 1 && (*last == '.' || *last == ' ')) return 0;
      if (*p == '\0') return 1;
      last = nullptr;
      continue;
    }
    if (*p == ':') return 0;
    last = p;
  }
}

}  // namespace

const char* LastCharacter(const char* text, UINT codePage) {
  const char* last = text;
  for (const char* p = text; *p != '\0'; p = NextCharacter(p, codePage)) last = p;
  return last;
}

int EndsWithBackslash(const char* text, UINT codePage) {
  const char* last = LastCharacter(text, codePage);
  return *last == '\\' && last[1] == '\0' ? 1 : 0;
}

void RemoveTrailingBackslash(char* text, UINT codePage) {
  if (EndsWithBackslash(text, codePage)) text[strlen(text) - 1] = '\0';
}

int AppendBackslash(char* text, size_t size, UINT codePage) {
  if (EndsWithBackslash(text, codePage)) return 1;
  size_t length = strlen(text);
  if (length + 2 > size) return 0;
  text[length] = '\\';
  text[length + 1] = '\0';
  return 1;
}

int MakePlainFullPath(const char* folder, char* path) {
  DWORD length = GetFullPathNameA(folder, PathBufferSize, path, nullptr);
  if (length == 0 || length >= PathBufferSize) {
    path[0] = '\0';
    return 0;
  }
  RemoveTrailingBackslash(path);
  size_t root = RootLength(path, CP_ACP);
  if (root == 0 || !HasPlainNames(path + root, CP_ACP)) {
    path[0] = '\0';
    return 0;
  }
  return 1;
}
