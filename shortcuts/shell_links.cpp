#include "shortcuts/shell_links.h"

#include <shobjidl.h>

#include <cstdarg>
#include <cstring>

#include "common/format_text.h"
#include "common/path_characters.h"
#include "common/win_handles.h"
#include "registry/registry_cursor.h"
#include "setup/setup_state.h"

const char* const productLinkTargets[5] = {"twick.exe", "twexplo.exe", "diskgau.exe", "twdlghlp.exe", "tarnwick.hlp"};

namespace {

// Formats a path into path (MaxPathText bytes). 0, with path empty, when it would not fit.
[[gnu::format(printf, 2, 3)]] int FormatPath(char* path, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = FormatTextV(path, MaxPathText, format, arguments);
  va_end(arguments);
  if (length < 0 || length >= MaxPathText) {
    path[0] = '\0';
    return 0;
  }
  return 1;
}

bool Given(const char* text) { return text != nullptr && text[0] != '\0'; }
bool FitsInPath(const char* text) { return text == nullptr || strlen(text) < size_t(MaxPathText); }

// The path as UTF-16 for IPersistFile. 0 when it does not fit in MaxPathText units.
int WidePath(const char* path, wchar_t (&wide)[MaxPathText]) {
  return MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MaxPathText) != 0;
}

// Path without one trailing backslash, into copy (MaxPathText bytes). 0 when it is too long.
int WithoutTrailingBackslash(const char* path, char* copy) {
  if (!FormatPath(copy, "%s", path)) return 0;
  RemoveTrailingBackslash(copy);
  return 1;
}

// True when path names place itself or a file directly in place (both without trailing
// backslash), without regard to letter case.
bool IsPlaceOrFileIn(const char* path, const char* place) {
  if (place[0] == '\0') return false;
  if (lstrcmpiA(path, place) == 0) return true;
  const char* slash = strrchr(path, '\\');
  if (!slash || slash[1] == '\0') return false;
  char folder[MaxPathText];
  size_t folderLength = size_t(slash - path);
  if (folderLength >= sizeof folder) return false;
  memcpy(folder, path, folderLength);
  folder[folderLength] = '\0';
  if (lstrcmpiA(folder, place) != 0) return false;
  DWORD attributes = GetFileAttributesA(path);
  return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsLinkFileName(const char* name) {
  const char* dot = strrchr(name, '.');
  return dot && lstrcmpiA(dot, ".lnk") == 0;
}

// True when target is installFolder\NAME for one of productLinkTargets, letter case ignored.
bool IsProductTarget(const char* target, const char* installFolder) {
  for (const char* name : productLinkTargets) {
    char productPath[MaxPathText];
    if (FormatPath(productPath, "%s\\%s", installFolder, name) && lstrcmpiA(productPath, target) == 0) return true;
  }
  return false;
}

// The three shell folders visited for product links, by their "Shell Folders" value names.
constexpr const char* ShellFolderNames[] = {"Desktop", "Start Menu", "Startup"};

}  // namespace

int CreateShellLink(const char* folder, const char* name, const char* target, const char* workingFolder,
                    const char* arguments, int showCommand, const char* iconFile, int iconIndex,
                    LPCITEMIDLIST itemList) {
  char linkPath[MaxPathText];
  wchar_t widePath[MaxPathText];
  if (!FormatPath(linkPath, "%s\\%s.lnk", folder, name) || !WidePath(linkPath, widePath)) return 0;
  if (!FitsInPath(target) || !FitsInPath(workingFolder) || !FitsInPath(iconFile)) return 0;

  UniqueCom<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, reinterpret_cast<void**>(link.put())))) return 0;
  if (itemList) link.get()->SetIDList(itemList);
  if (Given(target)) link.get()->SetPath(target);
  if (Given(name)) link.get()->SetDescription(name);
  if (Given(arguments)) link.get()->SetArguments(arguments);
  link.get()->SetShowCmd(showCommand);
  if (Given(workingFolder)) link.get()->SetWorkingDirectory(workingFolder);
  if (Given(iconFile)) link.get()->SetIconLocation(iconFile, iconIndex);

  bool saved = false;
  {
    UniqueCom<IPersistFile> file;
    if (SUCCEEDED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) saved = SUCCEEDED(file.get()->Save(widePath, FALSE));
  }
  if (!saved) return 0;
  SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA, linkPath, nullptr);
  return 1;
}

int ResolveShellLink(const char* linkPath, char* target) {
  target[0] = '\0';
  wchar_t widePath[MaxPathText];
  if (!WidePath(linkPath, widePath)) return 0;
  UniqueCom<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, reinterpret_cast<void**>(link.put())))) return 0;
  UniqueCom<IPersistFile> file;
  if (FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) return 0;
  if (FAILED(file.get()->Load(widePath, STGM_READ))) return 0;
  constexpr DWORD ResolveTimeoutMs = 300;  // in the high word of the flags, with SLR_NO_UI
  if (link.get()->Resolve(nullptr, SLR_NO_UI | SLR_ANY_MATCH | (ResolveTimeoutMs << 16)) != S_OK) return 0;
  if (link.get()->GetPath(target, MaxPathText, nullptr, SLGP_UNCPRIORITY) != S_OK || target[0] == '\0') {
    target[0] = '\0';
    return 0;
  }
  return 1;
}

int GetShellFolderPath(int csidl, char* path) {
  path[0] = '\0';
  UniqueCom<IMalloc> allocator;
  if (FAILED(SHGetMalloc(allocator.put()))) return 0;
  UniqueItemList items(allocator.get());
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, items.put())) || !items) return 0;
  // SHGetPathFromIDListA writes at most MAX_PATH (260) bytes.
  if (!SHGetPathFromIDListA(items.get(), path) || path[0] == '\0') {
    path[0] = '\0';
    return 0;
  }
  RemoveTrailingBackslash(path);
  return path[0] != '\0';
}

int IsOutdatedShortcutPlace(const char* path) {
  char place[MaxPathText];
  if (!WithoutTrailingBackslash(path, place)) return 0;
  for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU}) {
    char folder[MaxPathText];
    if (GetShellFolderPath(csidl, folder) && IsPlaceOrFileIn(place, folder)) return 1;
  }
  return 0;
}

void RemoveOutdatedShortcuts() {
  if (RegistryCursor.OpenForRead(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
                                 "Shell Folders")) {
    for (const char* valueName : ShellFolderNames) {
      char folder[MaxPathText];
      if (!RegistryCursor.QueryString(valueName, folder)) continue;
      char place[MaxPathText];
      if (WithoutTrailingBackslash(folder, place) && IsOutdatedShortcutPlace(place))
        PruneProductLinks(place, SetupState.installFolder);
    }
  }
  RegistryCursor.Close();
}

void PruneProductLinks(const char* folder, const char* installFolder) {
  char pattern[MaxPathText];
  if (!FormatPath(pattern, "%s\\*.*", folder)) return;
  WIN32_FIND_DATAA found;
  UniqueFind search(FindFirstFileA(pattern, &found));
  if (!search) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;  // subfolders are not entered
    if (!IsLinkFileName(found.cFileName)) continue;
    char linkPath[MaxPathText];
    char target[MaxPathText];
    if (!FormatPath(linkPath, "%s\\%s", folder, found.cFileName)) continue;
    if (!ResolveShellLink(linkPath, target) || !IsProductTarget(target, installFolder)) continue;
    if (IsOutdatedShortcutPlace(linkPath)) DeleteFileA(linkPath);
  } while (FindNextFileA(search.get(), &found));
}
