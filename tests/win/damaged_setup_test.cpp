// A setup program damaged in transfer: copies of setup.exe with one byte flipped at a place of
// its embedded catalogue, each started in its own prefix. This test program links the same
// build's catalogue, so each place is found in setup.exe's file from the bytes and the layout in
// this program's own memory: an archive by its local header and name, payloadSizes by its bytes,
// the two pointer tables by the distances between their elements (pointer values differ between
// the two programs, their differences do not).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "install/payload_catalogue.h"
#include "support/setup_session.h"
#include "support/test_files.h"
#include "support/ui_driver.h"

namespace {

constexpr size_t NotFound = std::string::npos;
constexpr char DamagedCopy[] = "C:\\Damaged\\setup.exe";
constexpr char DamagedCaption[] = "Tarnwick 5.0 Setup";
constexpr char DamagedText[] =
    "The Tarnwick 5.0 setup program is damaged and cannot install the product.  Please obtain a new copy of the "
    "setup program.";
constexpr char UnsupportedCaption[] = "OS Version Error";
constexpr char UpgradeCaption[] = "Previous Version of Tarnwick Detected";
constexpr int LastEntry = PayloadEntryCount - 1;

uint32_t Read32(const char* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

// The offset of the only occurrence of size bytes in file; NotFound when absent or repeated.
size_t FindOnce(const std::string& file, const void* bytes, size_t size) {
  std::string needle(static_cast<const char*>(bytes), size);
  size_t at = file.find(needle);
  return at != NotFound && file.find(needle, at + 1) == NotFound ? at : NotFound;
}

// The only run of PayloadEntryCount 32-bit values in file whose distances from the first equal
// those of table's pointers; NotFound when there is not exactly one.
template <typename T>
size_t FindPointerTable(const std::string& file, T* const* table) {
  size_t found = NotFound;
  const auto distance = [&](int i) { return uint32_t(uintptr_t(table[i]) - uintptr_t(table[0])); };
  for (size_t at = 0; at + 4 * PayloadEntryCount <= file.size(); ++at) {
    int i = 1;
    while (i < PayloadEntryCount && Read32(&file[at + 4 * i]) - Read32(&file[at]) == distance(i)) ++i;
    if (i < PayloadEntryCount) continue;
    if (found != NotFound) return NotFound;
    found = at;
  }
  return found;
}

size_t LocalHeader(const std::string& exe, int entry) {
  return FindOnce(exe, payloadArchives[entry], 30 + strlen(payloadNames[entry]));
}
size_t DataStart(const std::string& exe, int entry) {
  size_t header = LocalHeader(exe, entry);
  return header == NotFound ? NotFound : header + (LocatePayloadData(payloadArchives[entry]).data - payloadArchives[entry]);
}

// The places, each the offset of the byte whose top bit is flipped.
size_t InCompressedData(const std::string& exe) {
  size_t data = DataStart(exe, LastEntry);
  return data == NotFound ? NotFound : data + LocatePayloadData(payloadArchives[LastEntry]).length / 2;
}
size_t InLocalHeaderTime(const std::string& exe) {  // the time field, which installing never reads
  size_t header = LocalHeader(exe, 0);
  return header == NotFound ? NotFound : header + 10;
}
size_t InCentralDirectoryCrc(const std::string& exe) {  // offset 16 of the central directory record
  constexpr int Entry = PayloadEntryCount / 2;
  size_t data = DataStart(exe, Entry);
  return data == NotFound ? NotFound : data + LocatePayloadData(payloadArchives[Entry]).length + 16;
}
size_t InArchivePointer(const std::string& exe) {  // the top byte: the pointer leads into kernel space
  size_t table = FindPointerTable(exe, payloadArchives);
  return table == NotFound ? NotFound : table + 4 * 5 + 3;
}
size_t InInstalledSize(const std::string& exe) {
  size_t table = FindOnce(exe, payloadSizes, sizeof payloadSizes);
  return table == NotFound ? NotFound : table + 4 * LastEntry;
}
size_t InNamePointer(const std::string& exe) {
  size_t table = FindPointerTable(exe, payloadNames);
  return table == NotFound ? NotFound : table + 4 * 7 + 3;
}
size_t InNameText(const std::string& exe) {  // the first letter of the last name
  const char* first = payloadNames[0];
  size_t text = FindOnce(exe, first, payloadNames[3] - first);
  return text == NotFound ? NotFound : text + (payloadNames[LastEntry] - first);
}
size_t AtTheEnd(const std::string& exe) { return exe.size(); }

// Everything below key as text: subkeys, then values with type and bytes.
std::string RegistryDump(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<missing " + path + ">";
  std::string out;
  char name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out += RegistryDump(root, path + "\\" + name);
  }
  static BYTE data[65536];
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name, type = 0, size = sizeof data;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    out += path + "\\" + name + " " + std::to_string(type) + "=" + std::string(reinterpret_cast<char*>(data), size) +
           "\n";
  }
  RegCloseKey(key);
  return out;
}
std::string SoftwareKeys() {
  return RegistryDump(HKEY_LOCAL_MACHINE, "Software") + RegistryDump(HKEY_CURRENT_USER, "Software");
}

struct DamageCase {
  const char* name;
  size_t (*place)(const std::string& exe);  // the end of the file: 4 KiB are appended instead
  const char* wineVersion;                  // null: as the prefix is
  const char* caption;                      // the one message the program shows
  int answer;                               // the button that answers it
};

void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }

class DamagedSetup : public testing::TestWithParam<DamageCase> {};

// Version 2.0 is installed in every case, so that reaching the registry would ask the upgrade
// question: only the case whose catalogue is intact may ask it.
TEST_P(DamagedSetup, SaysSoBeforeItReadsOrWritesAnything) {
  const DamageCase& c = GetParam();
  ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, "Software\\Fenmoor\\Tarnwick\\Version2.0", "InstallDir",
                              "C:\\Old\\Tarnwick"));
  ASSERT_TRUE(PutFile("C:\\Old\\Tarnwick\\TWExplo.exe", "version 2.0 explorer"));
  std::optional<std::string> exe = ReadFileBytes(SetupProgramPath);
  ASSERT_TRUE(exe.has_value());
  size_t at = c.place(*exe);
  ASSERT_NE(at, NotFound) << "the place was not found exactly once in setup.exe";
  if (at == exe->size()) exe->append(4096, '\x5A');  // as a signature is appended
  else (*exe)[at] ^= 0x80;
  ASSERT_TRUE(MakeFolders("C:\\Damaged"));
  ASSERT_TRUE(WriteFileBytes(DamagedCopy, *exe));
  ASSERT_TRUE(SetWineVersion("setup.exe", c.wineVersion));
  const std::string registryBefore = SoftwareKeys();

  LaunchedProgram program;
  ASSERT_TRUE(LaunchProgram(DamagedCopy, "C:\\Damaged", program));
  HWND box = WaitForTopWindow(c.caption, StartWaitMs, program.processId);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the message has no owner";
  if (strcmp(c.caption, DamagedCaption) == 0) {
    EXPECT_EQ(MessageText(box), DamagedText);
    // Icon handles are not shared between processes here, so only its presence is seen.
    EXPECT_NE(SendMessageA(GetDlgItem(box, 1088), STM_GETICON, 0, 0), 0) << "the message shows an icon";
    Sleep(300);  // painted
    EXPECT_TRUE(SaveScreenshot(nullptr, "T:\\startup-setup-damaged.bmp"));
  }
  ASSERT_TRUE(ClickControl(box, c.answer));
  ASSERT_TRUE(WaitForWindowGone(box));
  bool sawOther = false;
  DWORD exitCode = 99;
  for (DWORD start = GetTickCount(); !WaitForExit(program, 50, &exitCode) && GetTickCount() - start < ExitWaitMs;)
    sawOther = sawOther || FindWizardSheet(program.processId) || FindTopWindow(DamagedCaption, program.processId) ||
               FindTopWindow(UpgradeCaption, program.processId);
  ASSERT_FALSE(IsRunning(program));
  EXPECT_FALSE(sawOther) << "no wizard and no second message";
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(FolderFileNames("C:\\Old\\Tarnwick"), std::vector<std::string>{"TWExplo.exe"});
  EXPECT_EQ(GetFileAttributesA("C:\\Program Files\\KELM"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(SoftwareKeys(), registryBefore) << "no registry key or value written";
}

const DamageCase DamageCases[] = {
    {"CompressedData", InCompressedData, nullptr, DamagedCaption, IDOK},
    {"LocalHeader", InLocalHeaderTime, nullptr, DamagedCaption, IDOK},
    {"CentralDirectoryRecord", InCentralDirectoryCrc, nullptr, DamagedCaption, IDOK},
    {"ArchivesTable", InArchivePointer, nullptr, DamagedCaption, IDOK},
    {"SizesTable", InInstalledSize, nullptr, DamagedCaption, IDOK},
    {"NamesTable", InNamePointer, nullptr, DamagedCaption, IDOK},
    {"NameText", InNameText, nullptr, DamagedCaption, IDOK},
    // An unsupported system gets its own message first, and only that one.
    {"UnsupportedSystemComesFirst", InCompressedData, "win31", UnsupportedCaption, IDOK},
    // The catalogue's bytes are checked, not the file's: appended bytes change nothing.
    {"AppendedBytesAreNoDamage", AtTheEnd, nullptr, UpgradeCaption, IDNO},
};

INSTANTIATE_TEST_SUITE_P(Places, DamagedSetup, testing::ValuesIn(DamageCases),
                         [](const testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

}  // namespace
