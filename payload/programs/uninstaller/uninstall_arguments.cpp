// The uninstaller's command line, read without any system call so that it is tested natively.
#include "payload/programs/uninstaller/uninstall_arguments.h"

#include <cstring>

#include "common/command_line.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The length of folder without one trailing backslash, kept after a drive ("C:\").
size_t FolderLength(const char* folder, size_t length) {
  if (length > 0 && folder[length - 1] == '\\' && !(length == 3 && folder[1] == ':')) --length;
  return length;
}

// Copies the text between begin and end into folder, trimmed and unquoted. False when empty or
// too long.
bool TakeFolder(const char* begin, const char* end, char* folder) {
  while (begin < end && IsBlank(*begin)) ++begin;
  while (end > begin && IsBlank(end[-1])) --end;
  if (end - begin >= 2 && *begin == '"' && end[-1] == '"') {
    ++begin;
    --end;
  }
  size_t length = FolderLength(begin, static_cast<size_t>(end - begin));
  if (length == 0 || length >= FolderTextSize) return false;
  std::memcpy(folder, begin, length);
  folder[length] = '\0';
  return true;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

bool ParseUninstallArguments(const char* arguments, UninstallArguments* out) {
  out->handOver = 0;
  out->token[0] = '\0';
  const char* p = arguments;
  while (IsBlank(*p)) ++p;
  constexpr char WaitSwitch[] = "/WAIT:";
  constexpr size_t WaitSwitchLength = sizeof WaitSwitch - 1;
  if (std::strncmp(p, WaitSwitch, WaitSwitchLength) == 0) {
    p += WaitSwitchLength;
    if (*p < '0' || *p > '9') return false;
    unsigned long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
      if (value > 0x0FFFFFFFul) return false;  // a handle never has more than 32 bits
      value = value * 10 + static_cast<unsigned long>(*p - '0');
    }
    if (value == 0 || *p++ != ':') return false;
    for (size_t i = 0; i < HandOverTokenLength; ++i, ++p) {
      if (!IsHexDigit(*p)) return false;
      out->token[i] = *p;
    }
    out->token[HandOverTokenLength] = '\0';
    if (!IsBlank(*p)) return false;
    out->handOver = value;
  }
  return TakeFolder(p, p + std::strlen(p), out->folder);
}

bool IsPlainFullPath(const char* folder) {
  const bool drive = ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z')) &&
                     folder[1] == ':' && folder[2] == '\\';
  const bool network = folder[0] == '\\' && folder[1] == '\\' && folder[2] != '\0' && folder[2] != '\\';
  if (!drive && !network) return false;
  if (std::strchr(folder, '/') != nullptr) return false;
  for (const char* component = folder + (drive ? 3 : 2); *component != '\0';) {
    const char* end = std::strchr(component, '\\');
    if (end == nullptr) end = component + std::strlen(component);
    const size_t length = static_cast<size_t>(end - component);
    if (length == 0 && *end != '\0') return false;  // "\\" inside the path
    if (length > 0 && std::strspn(component, ".") >= length) return false;  // ".", "..", "..."
    component = *end == '\0' ? end : end + 1;
  }
  return true;
}

bool SameFolder(const char* a, const char* b) {
  size_t lengthA = FolderLength(a, std::strlen(a));
  size_t lengthB = FolderLength(b, std::strlen(b));
  if (lengthA != lengthB) return false;
  for (size_t i = 0; i < lengthA; ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool UninstallCommandNamesFolder(const char* command, const char* folder) {
  const char* argument = CommandLineArguments(command);
  char named[FolderTextSize];
  if (!TakeFolder(argument, argument + std::strlen(argument), named)) return false;
  return SameFolder(named, folder);
}
