// The uninstall entry, older versions' folder verbs and version 2.0's keys, in the test prefix's
// real registry; the entry as Wine's own uninstaller lists it.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "registry/registry_cursor.h"
#include "registry/uninstall_entry.h"
#include "setup/setup_state.h"
#include "support/setup_session.h"

namespace {

constexpr char UninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick5.0";
constexpr char SettingsKey[] = "SOFTWARE\\Fenmoor\\Tarnwick";

// A deny-all access list: the key can no longer be opened.
void Protect(HKEY root, const std::string& path) {
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  SECURITY_DESCRIPTOR descriptor;
  ACL acl;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(InitializeAcl(&acl, sizeof acl, ACL_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE));
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  RegCloseKey(key);
}

// Runs a program of the prefix and returns what it wrote to its standard output: a file that
// the test reads through its own handle once the program has ended.
std::string OutputOf(const char* commandLine) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE output = CreateFileA("C:\\output.txt", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = output;
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  char text[8192] = {};
  DWORD read = 0;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    SetFilePointer(output, 0, nullptr, FILE_BEGIN);
    ReadFile(output, text, sizeof text - 1, &read, nullptr);
  }
  CloseHandle(output);
  return text;
}

class UninstallEntry : public testing::Test {
 protected:
  void SetUp() override {
    SetupState.instance = GetModuleHandleA(nullptr);
    RegistryCursor.Close();
  }
};

TEST_F(UninstallEntry, WinesUninstallerListsItAndThePathWithBlanksIsQuoted) {
  strcpy(SetupState.installFolder, "C:\\Program Files\\KELM\\Tarnwick");
  RegisterUninstall();
  EXPECT_EQ(RegistryCursor.currentKey, nullptr);
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName"), "Tarnwick 5.0");
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "UninstallString"),
            "\"C:\\Program Files\\KELM\\Tarnwick\\uninstal.exe\" C:\\Program Files\\KELM\\Tarnwick");
  const std::string listed = OutputOf("uninstaller.exe --list");
  EXPECT_NE(listed.find("Tarnwick5.0|||Tarnwick 5.0"), std::string::npos) << listed;
}

// The folder's verbs before the entry is written: the three old verbs, another program's verb
// and Windows' own "open", with the default verb of each row.
struct DefaultVerbCase {
  const char* before;  // null: no default value
  const char* after;
};
const DefaultVerbCase DefaultVerbCases[] = {
    {"Navigate+", ""}, {"tarnwick", ""}, {"DURO REZOROV 98", ""}, {"OtherVerb", "OtherVerb"},
    {"Navigate", "Navigate"}, {nullptr, nullptr},
};
constexpr const char* OldVerbs[] = {"Duro Rezorov 98", "Tarnwick", "Navigate+"};

TEST_F(UninstallEntry, OldFolderVerbsGoAndADefaultNamingOneIsEmptied) {
  strcpy(SetupState.installFolder, "C:\\Tarnwick");
  const std::string shell = "Folder\\shell";
  for (const DefaultVerbCase& c : DefaultVerbCases) {
    SCOPED_TRACE(c.before ? c.before : "(none)");
    for (const char* verb : OldVerbs)
      ASSERT_TRUE(PutRegistryText(HKEY_CLASSES_ROOT, (shell + "\\" + verb + "\\command").c_str(), nullptr,
                                  "C:\\Old\\TWExplo.exe %1"));
    ASSERT_TRUE(PutRegistryText(HKEY_CLASSES_ROOT, (shell + "\\OtherVerb\\command").c_str(), nullptr, "other.exe %1"));
    ASSERT_TRUE(c.before ? PutRegistryText(HKEY_CLASSES_ROOT, shell.c_str(), nullptr, c.before)
                         : DeleteRegistryValue(HKEY_CLASSES_ROOT, shell.c_str(), nullptr));

    RegisterUninstall();
    for (const char* verb : OldVerbs) EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, shell + "\\" + verb)) << verb;
    EXPECT_EQ(ReadRegistryText(HKEY_CLASSES_ROOT, (shell + "\\OtherVerb\\command").c_str(), nullptr), "other.exe %1");
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, shell + "\\open"));
    EXPECT_EQ(ReadRegistryText(HKEY_CLASSES_ROOT, shell.c_str(), nullptr), c.after ? c.after : "");
  }
}

// ---- Moving version 2.0's settings ----

const std::string OldKey = std::string(SettingsKey) + "\\Version2.0";
const std::string NewKey = std::string(SettingsKey) + "\\CurrentVersion";

void PutVersion2Settings(HKEY root) {
  ASSERT_TRUE(PutRegistryText(root, OldKey.c_str(), "Shared", "from 2.0"));
  ASSERT_TRUE(PutRegistryText(root, OldKey.c_str(), "OnlyOld", "old"));
  ASSERT_TRUE(PutRegistryText(root, (OldKey + "\\Layout\\Panes").c_str(), "Left", "tree"));
}

struct MoveCase {
  const char* what;
  bool oldKey, newKey, protectedTarget;
  bool result;
};
const MoveCase MoveCases[] = {
    {"merged into an existing key", true, true, false, true},
    {"moved to a new key", true, false, false, true},
    {"nothing to move", false, false, false, false},
    {"a copy that cannot complete", true, true, true, false},
};

TEST_F(UninstallEntry, MoveKeyMergesTheOldKeyIntoTheNewOneUnderBothRoots) {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    for (const MoveCase& c : MoveCases) {
      SCOPED_TRACE(std::string(c.what) + (root == HKEY_LOCAL_MACHINE ? " (machine)" : " (user)"));
      DeleteKeyTree(root, SettingsKey);
      ASSERT_TRUE(PutRegistryKey(root, SettingsKey));
      if (c.oldKey) PutVersion2Settings(root);
      if (c.newKey) {
        ASSERT_TRUE(PutRegistryText(root, NewKey.c_str(), "Shared", "from 5.0"));
        ASSERT_TRUE(PutRegistryText(root, NewKey.c_str(), "OnlyNew", "new"));
        ASSERT_TRUE(PutRegistryText(root, (NewKey + "\\Layout").c_str(), "Kept", "yes"));
      }
      if (c.protectedTarget) Protect(root, NewKey + "\\Layout");

      EXPECT_EQ(MoveKey(root, SettingsKey, "Version2.0", "CurrentVersion"), c.result);
      if (!c.oldKey) {
        EXPECT_FALSE(RegistryKeyExists(root, NewKey)) << "nothing is created";
        continue;
      }
      EXPECT_EQ(RegistryKeyExists(root, OldKey), !c.result);
      if (!c.result) {
        // The old settings stay whole.
        EXPECT_EQ(ReadRegistryText(root, OldKey.c_str(), "Shared"), "from 2.0");
        EXPECT_EQ(ReadRegistryText(root, (OldKey + "\\Layout\\Panes").c_str(), "Left"), "tree");
        continue;
      }
      EXPECT_EQ(ReadRegistryText(root, NewKey.c_str(), "Shared"), "from 2.0") << "the copied value wins";
      EXPECT_EQ(ReadRegistryText(root, NewKey.c_str(), "OnlyOld"), "old");
      EXPECT_EQ(ReadRegistryText(root, (NewKey + "\\Layout\\Panes").c_str(), "Left"), "tree");
      EXPECT_EQ(ReadRegistryText(root, NewKey.c_str(), "OnlyNew"), c.newKey ? "new" : "");
      EXPECT_EQ(ReadRegistryText(root, (NewKey + "\\Layout").c_str(), "Kept"), c.newKey ? "yes" : "");
    }
  }
}

// Everything below root\path as text: subkeys, then values with type and bytes, in the
// registry's own order; "<missing>" when the key does not open.
std::string TreeText(HKEY root, const std::string& path) {
  UniqueKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return "<missing>";
  std::string out;
  for (DWORD i = 0;; ++i) {
    char name[300];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out += "[" + std::string(name) + "]\n" + TreeText(root, path + "\\" + name) + "[end]\n";
  }
  static std::vector<char> name(20000), data(1 << 16);
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size()), type = 0, size = static_cast<DWORD>(data.size());
    if (RegEnumValueA(key.get(), i, name.data(), &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                      &size) != ERROR_SUCCESS)
      break;
    out += std::string(name.data()) + " type=" + std::to_string(type) + " =" + std::string(data.data(), size) + "\n";
  }
  return out;
}

bool PutValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const std::string& data) {
  if (!PutRegistryKey(root, path.c_str())) return false;
  UniqueKey key;
  return RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS &&
         RegSetValueExA(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// Version 2.0's settings as a long use leaves them: a 6000-byte binary, a value with a
// 300-character name, nested keys with values of their own.
void PutLargeVersion2Settings(HKEY root) {
  std::string bytes(6000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
  ASSERT_TRUE(PutValue(root, OldKey, "Window", REG_BINARY, bytes));
  ASSERT_TRUE(PutValue(root, OldKey, std::string(300, 'L'), REG_SZ, std::string("long name\0", 10)));
  ASSERT_TRUE(PutValue(root, OldKey, "Count", REG_DWORD, std::string("\x07\0\0\0", 4)));
  ASSERT_TRUE(PutValue(root, OldKey + "\\Layout", "Columns", REG_BINARY, bytes.substr(0, 5001)));
  ASSERT_TRUE(PutValue(root, OldKey + "\\Layout\\Panes", "Left", REG_SZ, std::string("tree\0", 5)));
  ASSERT_TRUE(PutValue(root, OldKey + "\\Layout\\Panes", std::string(301, 'P'), REG_BINARY, bytes));
}

struct UpgradeCase {
  const char* what;
  bool copyFails;  // a key of the target that cannot be opened
};
const UpgradeCase UpgradeCases[] = {
    {"every value arrives", false},
    {"a copy that cannot complete", true},
};

// The upgrade's move of version 2.0's settings (RetireVersion2): complete, every value is under
// "CurrentVersion" byte for byte and "Version2.0" is gone; incomplete, "Version2.0" stays whole.
TEST_F(UninstallEntry, UpgradeMovesEveryVersion2ValueOrKeepsTheOldKeyWhole) {
  for (const UpgradeCase& c : UpgradeCases) {
    SCOPED_TRACE(c.what);
    std::string before[2];
    int r = 0;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      DeleteKeyTree(root, SettingsKey);
      PutLargeVersion2Settings(root);
      if (c.copyFails) {
        ASSERT_TRUE(PutRegistryKey(root, (NewKey + "\\Layout").c_str()));
        Protect(root, NewKey + "\\Layout");
      }
      before[r++] = TreeText(root, OldKey);
    }
    RetireVersion2();
    r = 0;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      SCOPED_TRACE(root == HKEY_LOCAL_MACHINE ? "machine" : "user");
      const std::string& old = before[r++];
      if (c.copyFails) {
        EXPECT_TRUE(TreeText(root, OldKey) == old) << "the old settings stay whole";
        continue;
      }
      EXPECT_FALSE(RegistryKeyExists(root, OldKey));
      std::string moved = TreeText(root, NewKey);
      EXPECT_EQ(moved.size(), old.size());
      EXPECT_TRUE(moved == old) << "every value under CurrentVersion, byte for byte";
    }
  }
}

}  // namespace
