// The heap look-aside option in the prefix's real registry: written for the two programs
// whatever was there before, other tools' options kept, nothing doubled by a second run.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "registry/heap_option.h"
#include "registry/registry_cursor.h"
#include "support/setup_session.h"

namespace {

constexpr char Options[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

std::string ProgramKey(const char* program) { return std::string(Options) + "\\" + program; }

struct RawValue {
  DWORD type = 0;
  std::string data;
  bool operator==(const RawValue&) const = default;
};

// Every value of the key, in the registry's order, as "name" and its raw data.
std::vector<std::pair<std::string, RawValue>> Values(const std::string& path) {
  std::vector<std::pair<std::string, RawValue>> values;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
  for (DWORD i = 0;; ++i) {
    char name[300];
    DWORD nameSize = sizeof name;
    BYTE data[600];
    DWORD dataSize = sizeof data;
    RawValue value;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &value.type, data, &dataSize) != ERROR_SUCCESS) break;
    value.data.assign(reinterpret_cast<char*>(data), dataSize);
    values.emplace_back(name, value);
  }
  RegCloseKey(key);
  return values;
}

const RawValue TextOne = {REG_SZ, std::string("1", 2)};  // the text "1" with its zero: two bytes

struct Case {
  const char* what;
  std::function<void()> before;
  std::vector<std::pair<std::string, RawValue>> twexplo, twick;  // expected afterwards
};

TEST(HeapOption, BothProgramsGetTheTextOne) {
  const Case cases[] = {
      {"no options key at all", [] { DeleteKeyTree(HKEY_LOCAL_MACHINE, Options); },
       {{"DisableHeapLookAside", TextOne}}, {{"DisableHeapLookAside", TextOne}}},
      {"another tool's options kept, an old value overwritten",
       [] {
         PutRegistryText(HKEY_LOCAL_MACHINE, ProgramKey("twick.exe").c_str(), "Debugger", "C:\\tools\\dbg.exe");
         PutRegistryText(HKEY_LOCAL_MACHINE, ProgramKey("twick.exe").c_str(), "DisableHeapLookAside", "0");
       },
       {{"DisableHeapLookAside", TextOne}},
       {{"Debugger", {REG_SZ, std::string("C:\\tools\\dbg.exe", 17)}}, {"DisableHeapLookAside", TextOne}}},
      {"a second run doubles nothing", [] { SetHeapLookasideOption(); }, {{"DisableHeapLookAside", TextOne}},
       {{"DisableHeapLookAside", TextOne}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, ProgramKey("twexplo.exe").c_str());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, ProgramKey("twick.exe").c_str());
    c.before();
    SetHeapLookasideOption();
    EXPECT_EQ(Values(ProgramKey("twexplo.exe")), c.twexplo);
    EXPECT_EQ(Values(ProgramKey("twick.exe")), c.twick);
    EXPECT_EQ(RegistryCursor.currentKey, nullptr) << "the cursor is left closed";
  }
}

}  // namespace
