// Version 3.0's settings migrated, and the default FTP site, under HKEY_CURRENT_USER.
#include "registry/settings_migration.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "registry/registry_cursor.h"

const FtpSiteRecord DefaultFtpSite = {
    {}, "KELM", "ftp.tarnwick.example", {}, "anonymous", {}, "Software Vendor", 0, 21, 1,
};

// Copied as they are and never looked into.
const uint8_t DefaultFtpPassword[16] = {0x4B, 0x9E, 0x17, 0xD2, 0x63, 0xA8, 0x3F, 0xC1,
                                        0x72, 0x5D, 0xE4, 0x2A, 0x96, 0x31, 0xBF, 0x08};

namespace {

constexpr char CurrentSettings[] = "Software\\KELM\\Tarnwick\\CurrentVersion";
constexpr char FtpSites[] = "Software\\KELM\\Tarnwick\\CurrentVersion\\FTP Sites";

// The settings keys of version 3.0 that are carried over, in order.
struct MigratedKey {
  const char* name;
  const char* source;
  const char* target;
};
constexpr MigratedKey MigratedKeys[] = {
    {"NavigatorPlus", "Software\\Brask\\Tarnwick\\Version3.0\\NavigatorPlus",
     "Software\\KELM\\Tarnwick\\CurrentVersion\\NavigatorPlus"},
    {"TWFind", "Software\\Brask\\Tarnwick\\Version3.0\\TWFind", "Software\\KELM\\Tarnwick\\CurrentVersion\\TWFind"},
    {"Toolbar", "Software\\Brask\\Tarnwick\\Version3.0\\Toolbar", "Software\\KELM\\Tarnwick\\CurrentVersion\\Toolbar"},
    {"Tools", "Software\\Brask\\Tarnwick\\Version3.0\\Tools", "Software\\KELM\\Tarnwick\\CurrentVersion\\Tools"},
    {"Viewer", "Software\\Brask\\Tarnwick\\Version3.0\\Viewer", "Software\\KELM\\Tarnwick\\CurrentVersion\\Viewer"},
};

// Closes a key handle when it goes out of scope (null stays null).
struct KeyCloser {
  HKEY key = nullptr;
  KeyCloser() = default;
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;
  ~KeyCloser() {
    if (key != nullptr) RegCloseKey(key);
  }
};

// True when "FTP Sites" has a first value that reads into a 260-character name and 1036 bytes.
bool HasReadableFirstSite() {
  KeyCloser sites;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, FtpSites, 0, KEY_READ, &sites.key) != ERROR_SUCCESS) {
    sites.key = nullptr;
    return false;
  }
  char name[260];
  DWORD nameSize = sizeof name;
  BYTE data[sizeof(FtpSiteRecord)];
  DWORD dataSize = sizeof data;
  DWORD type = 0;
  return RegEnumValueA(sites.key, 0, name, &nameSize, nullptr, &type, data, &dataSize) == ERROR_SUCCESS;
}

// Creates "FTP Sites" under the current settings key; nothing when that key does not exist.
void CreateFtpSitesKey() {
  KeyCloser settings, sites;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, CurrentSettings, 0, KEY_READ | KEY_WRITE, &settings.key) != ERROR_SUCCESS) {
    settings.key = nullptr;
    return;
  }
  char emptyClass[] = "";
  if (RegCreateKeyExA(settings.key, "FTP Sites", 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &sites.key, nullptr) != ERROR_SUCCESS)
    sites.key = nullptr;
}

}  // namespace

void MigrateVersion3Settings() {
  for (const MigratedKey& key : MigratedKeys) {
    // An existing key is the user's current setting; it stays open in the cursor.
    if (RegistryCursor.OpenForRead(HKEY_CURRENT_USER, CurrentSettings, key.name)) continue;
    CopyUserKey(key.source, key.target);
  }
}

int CopyUserKey(const char* sourcePath, const char* targetPath) {
  KeyCloser source, target;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, sourcePath, 0, KEY_ALL_ACCESS, &source.key) != ERROR_SUCCESS) {
    source.key = nullptr;
    return 1;
  }
  char emptyClass[] = "";
  if (RegCreateKeyExA(HKEY_CURRENT_USER, targetPath, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &target.key, nullptr) != ERROR_SUCCESS) {
    target.key = nullptr;
    return 0;
  }
  CopyKeyTree(source.key, target.key);
  return 1;
}

void EnsureDefaultFtpSite() {
  if (HasReadableFirstSite()) return;
  CreateFtpSitesKey();

  // The password goes into a copy: byte by byte, at most 16, up to a zero byte, zeros after.
  FtpSiteRecord record = DefaultFtpSite;
  size_t i = 0;
  for (; i < sizeof DefaultFtpPassword && DefaultFtpPassword[i] != 0; ++i) record.password[i] = DefaultFtpPassword[i];
  for (; i < sizeof DefaultFtpPassword; ++i) record.password[i] = 0;

  KeyCloser sites;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, FtpSites, 0, KEY_WRITE, &sites.key) != ERROR_SUCCESS) {
    sites.key = nullptr;
    return;
  }
  RegSetValueExA(sites.key, record.siteName, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record), sizeof record);
}
