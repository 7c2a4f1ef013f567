#include "support/program_groups.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>

#include "support/test_files.h"

std::string ProgramsFolder() {
  char path[MAX_PATH] = "";
  if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, FALSE)) return "";
  return path;
}

std::string GroupFolder(const std::string& name) { return ProgramsFolder() + "\\" + name; }

bool GroupExists(const std::string& name) {
  DWORD attributes = GetFileAttributesA(GroupFolder(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> GroupNames() {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((ProgramsFolder() + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> GroupItems(const std::string& name) {
  std::vector<std::string> items = FolderFileNames(GroupFolder(name));
  std::sort(items.begin(), items.end());
  return items;
}

std::optional<ShortcutInfo> ReadShortcut(const std::string& path) {
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return std::nullopt;
  std::optional<ShortcutInfo> info;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    if (SUCCEEDED(file->Load(widePath, STGM_READ))) {
      char text[1024];
      ShortcutInfo read;
      if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, 0))) read.target = text;
      if (SUCCEEDED(link->GetArguments(text, sizeof text))) read.arguments = text;
      if (SUCCEEDED(link->GetDescription(text, sizeof text))) read.description = text;
      if (SUCCEEDED(link->GetIconLocation(text, sizeof text, &read.iconIndex))) read.iconFile = text;
      info = read;
    }
    file->Release();
  }
  link->Release();
  return info;
}
