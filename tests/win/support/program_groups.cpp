#include "support/program_groups.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

namespace {
std::vector<std::string> Entries(const std::string& folder, bool folders) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (bool(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == folders && name != "." && name != "..")
      names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}
}  // namespace

std::string GroupFolder(const std::string& name) {
  char programs[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE);
  return name.empty() ? programs : std::string(programs) + "\\" + name;
}

bool GroupExists(const std::string& name) {
  DWORD attributes = GetFileAttributesA(GroupFolder(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> GroupNames() { return Entries(GroupFolder(""), true); }
std::vector<std::string> GroupItems(const std::string& name) { return Entries(GroupFolder(name), false); }

std::optional<ShortcutInfo> ReadShortcut(const std::string& path) {
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  wchar_t widePath[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
  std::optional<ShortcutInfo> info;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(widePath, STGM_READ))) {
    char text[4][1024] = {};
    info.emplace();
    link->GetPath(text[0], sizeof text[0], nullptr, 0);
    link->GetArguments(text[1], sizeof text[1]);
    link->GetDescription(text[2], sizeof text[2]);
    link->GetIconLocation(text[3], sizeof text[3], &info->iconIndex);
    info->target = text[0], info->arguments = text[1], info->description = text[2], info->iconFile = text[3];
  }
  if (file) file->Release();
  if (link) link->Release();
  return info;
}
