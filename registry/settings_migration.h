// Per-user settings: version 3.0's settings carried over, and the default FTP site.
#pragma once
#include <cstddef>
#include <cstdint>

// One FTP site as the product's FTP client stores it: the REG_BINARY data of a value under
// HKCU "Software\KELM\Tarnwick\CurrentVersion\FTP Sites" named after the site. Texts are ANSI,
// padded with zero bytes to the next field; numbers are 32-bit little-endian.
struct FtpSiteRecord {
  uint8_t reserved[8];       // zero
  char siteName[100];        // also the value's name
  char hostName[100];
  uint8_t password[100];     // 16 enciphered bytes, then zeros
  char userName[100];
  uint8_t unused[360];       // zero
  char description[256];
  uint32_t flags;            // 0 in the default site
  uint32_t port;             // 21
  uint32_t enabled;          // 1 in the default site
};
static_assert(sizeof(FtpSiteRecord) == 1036);
static_assert(offsetof(FtpSiteRecord, siteName) == 8);
static_assert(offsetof(FtpSiteRecord, hostName) == 108);
static_assert(offsetof(FtpSiteRecord, password) == 208);
static_assert(offsetof(FtpSiteRecord, userName) == 308);
static_assert(offsetof(FtpSiteRecord, unused) == 408);
static_assert(offsetof(FtpSiteRecord, description) == 768);
static_assert(offsetof(FtpSiteRecord, flags) == 1024);
static_assert(offsetof(FtpSiteRecord, port) == 1028);
static_assert(offsetof(FtpSiteRecord, enabled) == 1032);

// The default site ("KELM" on "ftp.tarnwick.example", user "anonymous", port 21) without its
// password, and the 16 password bytes in the FTP client's enciphered form, held apart.
extern const FtpSiteRecord DefaultFtpSite;
extern const uint8_t DefaultFtpPassword[16];

// Carries version 3.0's settings over, key by key: for each of "NavigatorPlus", "TWFind",
// "Toolbar", "Tools" and "Viewer" under HKCU "Software\Brask\Tarnwick\Version3.0", when HKCU
// "Software\KELM\Tarnwick\CurrentVersion" has no key of that name yet, the whole key (subkeys
// and values) is copied there with CopyUserKey; an existing key is left untouched, whatever
// version 3.0 holds. Without version 3.0 keys nothing is created. Nothing is reported. Uses
// RegistryCursor (an existing target key stays open in it) and so must not run while another
// thread uses that cursor: the installation run calls it in its final steps.
void MigrateVersion3Settings();

// Copies HKCU sourcePath with everything below it into HKCU targetPath, creating the target
// and any missing keys above it. Returns 0 only when the target cannot be created; 1 otherwise,
// also when the source does not exist (nothing to copy).
int CopyUserKey(const char* sourcePath, const char* targetPath);

// Writes DefaultFtpSite, its password patched in, as the value "KELM" (1036 bytes) under
// "...\CurrentVersion\FTP Sites" (created when missing) when that key has no readable first
// value; a first value whose data exceeds 1036 bytes does not count, and the site is then added
// beside it. Writes nothing when "...\CurrentVersion" does not exist. Nothing is reported.
void EnsureDefaultFtpSite();
