// A setup program damaged in transfer: a copy of setup.exe with the top bit of one byte of its
// catalogue flipped, started in its own prefix. This program links the same build's catalogue,
// so each place is found in setup.exe's file from this program's memory: the archives and names
// by their bytes, payloadSizes by its bytes, the pointer tables by the distances between their
// elements (pointer values differ between the two programs; their differences do not).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "install/payload_catalogue.h"
#include "support/setup_session.h"
#include "support/test_files.h"

namespace {

constexpr size_t NotFound = std::string::npos;
constexpr int Last = PayloadEntryCount - 1, Middle = PayloadEntryCount / 2;
constexpr char DamagedCopy[] = "C:\\Damaged\\setup.exe";
constexpr char DamagedCaption[] = "Tarnwick 5.0 Setup";
constexpr char UpgradeCaption[] = "Previous Version of Tarnwick Detected";

size_t Plus(size_t at, size_t n) { return at == NotFound ? NotFound : at + n; }

// The offset of the only occurrence of size bytes in file; NotFound when absent or repeated.
size_t FindOnce(const std::string& file, const void* bytes, size_t size) {
  std::string needle(static_cast<const char*>(bytes), size);
  size_t at = file.find(needle);
  return at != NotFound && file.find(needle, at + 1) == NotFound ? at : NotFound;
}

// Where byte p of this program's catalogue (archives and names) lies in file.
size_t InCatalogue(const std::string& file, const void* p) {
  return Plus(FindOnce(file, payloadBlob, 64), static_cast<const unsigned char*>(p) - payloadBlob);
}

// The only run of pointer-sized values in file whose distances from the first are those of
// table's pointers; NotFound when there is not exactly one.
template <typename T>
size_t FindPointerTable(const std::string& file, T* const* table) {
  size_t found = NotFound;
  for (size_t at = 0; at + sizeof(uintptr_t) * PayloadEntryCount <= file.size(); ++at) {
    uintptr_t first, value;
    memcpy(&first, &file[at], sizeof first);
    int i = 1;
    for (; i < PayloadEntryCount; ++i) {
      memcpy(&value, &file[at + sizeof value * i], sizeof value);
      if (value - first != uintptr_t(table[i]) - uintptr_t(table[0])) break;
    }
    if (i < PayloadEntryCount) continue;
    if (found != NotFound) return NotFound;
    found = at;
  }
  return found;
}

PayloadData Data(int entry) { return LocatePayloadData(payloadArchives[entry]); }

// Everything below path as text: keys, and values with their type and bytes. Wine's own keys are
// left out: each new process writes its session's system parameters there.
std::string RegistryDump(HKEY root, const std::string& path) {
  UniqueKey key;
  if (path == "Software\\Wine") return "";
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return "<missing " + path + ">";
  std::string out = path + "\n";
  char name[16384];
  static BYTE data[65536];
  DWORD nameSize = sizeof name, type = 0, size = sizeof data;
  for (DWORD i = 0; RegEnumKeyExA(key.get(), i, name, &nameSize, 0, 0, 0, 0) == 0; ++i, nameSize = sizeof name)
    out += RegistryDump(root, path + "\\" + name);
  nameSize = sizeof name;
  for (DWORD i = 0; RegEnumValueA(key.get(), i, name, &nameSize, 0, &type, data, &size) == 0; ++i) {
    out += std::string(name) + " " + std::to_string(type) + "=" + std::string((char*)data, size) + "\n";
    nameSize = sizeof name, size = sizeof data;
  }
  return out;
}
std::string Software() {
  return RegistryDump(HKEY_LOCAL_MACHINE, "Software") + RegistryDump(HKEY_CURRENT_USER, "Software");
}

struct DamageCase {
  const char* name;
  size_t (*place)(const std::string& exe);  // the file's end: 4 KiB are appended instead
  const char* wineVersion;                  // null: as the prefix is
  const char* caption;                      // the one message the program shows
  int answer;
};

void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }

class DamagedSetup : public testing::TestWithParam<DamageCase> {};

// Version 2.0 is installed, so a program that reached the registry would ask the upgrade question.
TEST_P(DamagedSetup, SaysSoBeforeItReadsOrWritesAnything) {
  const DamageCase& c = GetParam();
  ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, "Software\\Fenmoor\\Tarnwick\\Version2.0", "InstallDir", "C:\\Old"));
  ASSERT_TRUE(PutFile("C:\\Old\\TWExplo.exe", "version 2.0 explorer"));
  std::optional<std::string> exe = ReadFileBytes(SetupProgramPath);
  ASSERT_TRUE(exe.has_value());
  size_t at = c.place(*exe);
  ASSERT_NE(at, NotFound) << "the place is not found exactly once in setup.exe";
  if (at == exe->size()) exe->append(4096, 'S');  // as a signature is appended
  else (*exe)[at] ^= 0x80;
  ASSERT_TRUE(MakeFolders("C:\\Damaged") && WriteFileBytes(DamagedCopy, *exe));
  ASSERT_TRUE(SetWineVersion("setup.exe", c.wineVersion));
  const std::string registryBefore = Software();

  LaunchedProgram program;
  ASSERT_TRUE(LaunchProgram(DamagedCopy, "C:\\Damaged", program));
  HWND box = WaitForTopWindow(c.caption, StartWaitMs, program.processId);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the message has no owner";
  if (strcmp(c.caption, DamagedCaption) == 0) {
    EXPECT_EQ(MessageText(box), "The Tarnwick 5.0 setup program is damaged and cannot install the product.  Please "
                                "obtain a new copy of the setup program.");
    WaitForInputIdle(program.process, 3000);
    Sleep(300);  // its icon is on the screen once it has painted
    EXPECT_TRUE(ShowsSystemIcon(GetDlgItem(box, 1088), IDI_HAND)) << "the error icon";
  }
  ASSERT_TRUE(ClickControl(box, c.answer) && WaitForWindowGone(box));
  bool sawMore = false;
  DWORD exitCode = 99;
  for (DWORD start = GetTickCount(); !WaitForExit(program, 50, &exitCode) && GetTickCount() - start < ExitWaitMs;)
    sawMore = sawMore || FindWizardSheet(program.processId) || FindTopWindow(DamagedCaption, program.processId) ||
              FindTopWindow(UpgradeCaption, program.processId);
  ASSERT_FALSE(IsRunning(program));
  EXPECT_FALSE(sawMore) << "no wizard and no second message";
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(FolderFileNames("C:\\Old"), std::vector<std::string>{"TWExplo.exe"});
  EXPECT_EQ(GetFileAttributesA("C:\\Program Files\\KELM"), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(Software() == registryBefore) << "no registry key or value written";
}

// The offset of the most significant byte of element i of a pointer table.
constexpr size_t TopByteOfPointer(size_t i) { return sizeof(void*) * i + sizeof(void*) - 1; }

size_t CompressedData(const std::string& exe) { return InCatalogue(exe, Data(Last).data + Data(Last).length / 2); }

const DamageCase DamageCases[] = {
    {"CompressedData", CompressedData, nullptr, DamagedCaption, IDOK},
    // The modification time, which installing never reads.
    {"LocalHeader", [](const std::string& exe) { return InCatalogue(exe, payloadArchives[0] + 10); }, nullptr,
     DamagedCaption, IDOK},
    // The CRC-32 of the central directory record.
    {"CentralDirectoryRecord",
     [](const std::string& exe) { return InCatalogue(exe, Data(Middle).data + Data(Middle).length + 16); }, nullptr,
     DamagedCaption, IDOK},
    // The top byte of a pointer: it now leads into kernel space, and must not be followed.
    {"ArchivesTable",
     [](const std::string& exe) { return Plus(FindPointerTable(exe, payloadArchives), TopByteOfPointer(5)); },
     nullptr, DamagedCaption, IDOK},
    {"SizesTable",
     [](const std::string& exe) { return Plus(FindOnce(exe, payloadSizes, sizeof payloadSizes), 4 * Last); }, nullptr,
     DamagedCaption, IDOK},
    {"NamesTable", [](const std::string& exe) { return Plus(FindPointerTable(exe, payloadNames), TopByteOfPointer(7)); },
     nullptr, DamagedCaption, IDOK},
    {"NameText", [](const std::string& exe) { return InCatalogue(exe, payloadNames[Last]); }, nullptr, DamagedCaption,
     IDOK},
    // An unsupported system gets its own message first, and only that one.
    {"UnsupportedSystemComesFirst", CompressedData, "win31", "OS Version Error", IDOK},
    // The catalogue's bytes are checked, not the file's: start-up goes on to the upgrade question.
    {"AppendedBytesAreNoDamage", [](const std::string& exe) { return exe.size(); }, nullptr, UpgradeCaption, IDNO},
};

INSTANTIATE_TEST_SUITE_P(Places, DamagedSetup, testing::ValuesIn(DamageCases),
                         [](const testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

}  // namespace
