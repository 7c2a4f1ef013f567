#include "setup/folder_name.h"

#include <cstring>

namespace {

// Characters that no folder name may hold (the leading blanks are checked too).
constexpr char ForbiddenChars[] = "/*?\"<>|";

}  // namespace

int IsBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\n' ? 1 : 0;
}

int IsValidFolderName(const char* text) {
  const char* first = text;
  while (*first != '\0' && IsBlankChar(*first)) ++first;
  if (*first == '\0') return 0;  // empty, or blanks only
  for (const char* c = text; *c != '\0'; ++c)
    if (strchr(ForbiddenChars, *c)) return 0;
  return 1;
}
