// The heap look-aside option in the prefix's real registry: the text "1" for both programs
// whatever was there before, another tool's option kept, nothing doubled by a second run.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "registry/heap_option.h"
#include "registry/registry_cursor.h"
#include "support/setup_session.h"

namespace {

constexpr char Options[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

std::string ProgramKey(const char* program) { return std::string(Options) + "\\" + program; }

// The program key's values as "name=type:data|..." in the registry's order.
std::string Values(const char* program) {
  std::string values;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProgramKey(program).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  char name[300];
  BYTE data[600];
  DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
  for (DWORD i = 0; RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) == ERROR_SUCCESS; ++i) {
    values += std::string(name) + "=" + std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), dataSize) + "|";
    nameSize = sizeof name;
    dataSize = sizeof data;
  }
  RegCloseKey(key);
  return values;
}

const std::string One = std::string("DisableHeapLookAside=1:1") + '\0' + "|";  // REG_SZ, two bytes

TEST(HeapOption, BothProgramsGetTheTextOne) {
  struct Case {
    const char* what;
    std::function<void()> before;
    std::string twick;  // twexplo.exe always holds One alone
  } cases[] = {
      {"no options key at all", [] { DeleteKeyTree(HKEY_LOCAL_MACHINE, Options); }, One},
      {"another tool's option kept, an old value overwritten",
       [] {
         PutRegistryText(HKEY_LOCAL_MACHINE, ProgramKey("twick.exe").c_str(), "Debugger", "dbg.exe");
         PutRegistryText(HKEY_LOCAL_MACHINE, ProgramKey("twick.exe").c_str(), "DisableHeapLookAside", "0");
       },
       std::string("Debugger=1:dbg.exe") + '\0' + "|" + One},
      {"a second run doubles nothing", [] { SetHeapLookasideOption(); }, One},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, ProgramKey("twexplo.exe").c_str());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, ProgramKey("twick.exe").c_str());
    c.before();
    SetHeapLookasideOption();
    EXPECT_EQ(Values("twexplo.exe"), One);
    EXPECT_EQ(Values("twick.exe"), c.twick);
    EXPECT_EQ(RegistryCursor.currentKey, nullptr) << "the cursor is left closed";
  }
}

}  // namespace
