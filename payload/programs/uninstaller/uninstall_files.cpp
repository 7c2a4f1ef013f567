// The product's files and links removed, files in use at the next restart.
#include "payload/programs/uninstaller/uninstall_files.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "common/bounded_text.h"
#include "common/format_text.h"
#include "common/text_compare.h"
#include "common/win_handles.h"
#include "install/replace_at_restart.h"
#include "payload/programs/uninstaller/installed_files.h"
#include "setup/setup_state.h"
#include "shortcuts/shell_links.h"

namespace {

// The files setup writes beside the catalogue's.
constexpr const char* ShortcutFiles[] = {"website.url", "register.url"};
// The vendor's programs that its other products share: they stay while the update tool's list
// of products names another.
constexpr const char* SharedPrograms[] = {"Patchwell.exe"};
constexpr char ProductLinkName[] = "My Tarnwick";

bool JoinPath(char* path, const char* folder, const char* name, const char* suffix = "") {
  int length = FormatText(path, MaxPathText, "%s\\%s%s", folder, name, suffix);
  return length > 0 && length < MaxPathText;
}

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Counts the file and adds its name (the part after the last backslash) while it fits.
void AddToList(FileList* list, const char* path) {
  const char* separator = std::strrchr(path, '\\');
  const char* name = separator != nullptr ? separator + 1 : path;
  ++list->count;
  size_t used = std::strlen(list->names);
  if (used >= 3 && std::strcmp(list->names + used - 3, "...") == 0) return;  // full already
  const char* joint = used > 0 ? ", " : "";
  int written = FormatText(list->names + used, sizeof list->names - used, "%s%s", joint, name);
  if (written < 0 || static_cast<size_t>(written) >= sizeof list->names - used) {
    list->names[used] = '\0';
    if (used + 6 < sizeof list->names) std::strcpy(list->names + used, used > 0 ? ", ..." : "...");
  }
}

// Deletes one file of the product; one in use is scheduled for the next restart.
void RemoveFile(const char* path, FileRemoval* removal) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    AddToList(&removal->readOnly, path);
    return;
  }
  if (DeleteFileA(path)) {
    ++removal->removed;
    return;
  }
  if (IsMissing(GetLastError())) return;
  if (DeleteAtRestart(path))
    ++removal->scheduled;
  else
    AddToList(&removal->remaining, path);
}

bool IsOneOf(const char* name, const char* const* names, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (CompareNoCase(name, names[i]) == 0) return true;
  return false;
}

// True for a name that RemoveInstalledFiles deletes: a product file or a ".new" file beside one.
bool IsProductFileName(const char* name) {
  char base[MaxPathText];
  if (!CopyText(base, name)) return false;
  size_t length = std::strlen(base);
  if (length > 4 && CompareNoCase(base + length - 4, ".new") == 0) base[length - 4] = '\0';
  for (int i = 0; i < InstalledFileCount; ++i)
    if (CompareNoCase(base, InstalledFileNames[i]) == 0) return true;
  for (const char* shortcutFile : ShortcutFiles)
    if (CompareNoCase(base, shortcutFile) == 0) return true;
  return false;
}

}  // namespace

void RemoveProgramFile(const char* folder, const char* name, FileRemoval* removal) {
  char path[MaxPathText];
  if (JoinPath(path, folder, name)) RemoveFile(path, removal);
  if (JoinPath(path, folder, name, ".new")) RemoveFile(path, removal);
}

void RemoveInstalledFiles(const char* folder, bool keepShared, FileRemoval* removal, RemovalProgress progress) {
  constexpr const char* LastPrograms[] = {ExplorerFile, UninstallerFile};
  const int total = InstalledFileCount + static_cast<int>(std::size(ShortcutFiles));
  int done = 0;
  for (int i = 0; i < InstalledFileCount; ++i) {
    const char* name = InstalledFileNames[i];
    const bool shared = IsOneOf(name, SharedPrograms, std::size(SharedPrograms));
    if (shared && keepShared) {
      removal->sharedKept = true;
    } else if (!IsOneOf(name, LastPrograms, std::size(LastPrograms))) {
      RemoveProgramFile(folder, name, removal);
    }
    if (progress != nullptr) progress(++done, total);
  }
  for (const char* name : ShortcutFiles) {
    RemoveProgramFile(folder, name, removal);
    if (progress != nullptr) progress(++done, total);
  }
}

void RemoveInstallFolder(const char* folder, FileRemoval* removal) {
  if (RemoveDirectoryA(folder)) {
    removal->folderRemoved = true;
    return;
  }
  // What is left: only product files that wait for the restart, or something of the user's?
  char pattern[MaxPathText];
  if (!JoinPath(pattern, folder, "*")) return;
  WIN32_FIND_DATAA found;
  UniqueFind search(FindFirstFileA(pattern, &found));
  if (!search) return;
  do {
    if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0 &&
        !IsProductFileName(found.cFileName))
      removal->folderKept = true;
  } while (FindNextFileA(search.get(), &found));
  search.reset();
  // Product files that stay (read-only, shared, not removable) keep the folder; the message
  // names them.
  if (removal->folderKept || removal->sharedKept || removal->readOnly.count > 0 || removal->remaining.count > 0)
    return;
  if (SetupState.isNT) {
    // Requested after its files, so it is empty by then.
    if (DeleteAtRestart(folder))
      removal->folderScheduled = true;
    else
      removal->folderRemains = true;
  } else if (removal->scheduled == 0) {
    removal->folderRemains = true;
  }
}

void RemoveProductLinks(const char* folder) {
  char explorer[MaxPathText];
  if (!JoinPath(explorer, folder, ExplorerFile)) return;
  for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU}) {
    char place[MaxPathText];
    char link[MaxPathText];
    char target[MaxPathText];
    if (!GetShellFolderPath(csidl, place) || !JoinPath(link, place, ProductLinkName, ".lnk")) continue;
    if (ResolveShellLink(link, target) && CompareNoCase(target, explorer) == 0) DeleteFileA(link);
  }
}
