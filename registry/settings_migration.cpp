// Version 3.0's settings migrated, and the default FTP site, under HKEY_CURRENT_USER.
#include "registry/settings_migration.h"

#include <windows.h>

#include <cstring>

#include "common/win_handles.h"
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

// True when "FTP Sites" has a first value that reads into a 260-character name and 1036 bytes.
bool HasReadableFirstSite() {
  UniqueKey sites;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, FtpSites, 0, KEY_READ, sites.put()) != ERROR_SUCCESS) return false;
  char name[260];
  DWORD nameSize = sizeof name;
  BYTE data[sizeof(FtpSiteRecord)];
  DWORD dataSize = sizeof data;
  DWORD type = 0;
  return RegEnumValueA(sites.get(), 0, name, &nameSize, nullptr, &type, data, &dataSize) == ERROR_SUCCESS;
}

// Creates "FTP Sites" under the current settings key; nothing when that key does not exist.
void CreateFtpSitesKey() {
  UniqueKey settings, sites;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, CurrentSettings, 0, KEY_READ | KEY_WRITE, settings.put()) != ERROR_SUCCESS) return;
  char emptyClass[] = "";
  RegCreateKeyExA(settings.get(), "FTP Sites", 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                  sites.put(), nullptr);
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
  UniqueKey source, target;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, sourcePath, 0, KEY_ALL_ACCESS, source.put()) != ERROR_SUCCESS) return 1;
  char emptyClass[] = "";
  if (RegCreateKeyExA(HKEY_CURRENT_USER, targetPath, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, target.put(), nullptr) != ERROR_SUCCESS)
    return 0;
  CopyKeyTree(source.get(), target.get());
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

  UniqueKey sites;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, FtpSites, 0, KEY_WRITE, sites.put()) != ERROR_SUCCESS) return;
  RegSetValueExA(sites.get(), record.siteName, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record), sizeof record);
}
