// The registry access layer against the prefix's real registry. Every effect is read back with
// the registry functions directly, never through the layer.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "registry/registry_cursor.h"

namespace {

constexpr char TestRoot[] = "Software\\Tarnwick Layer Test";  // under HKEY_CURRENT_USER

std::string Under(const std::string& relative) { return std::string(TestRoot) + "\\" + relative; }

// Creates path level by level: Wine's ANSI registry functions take at most 260 characters of
// subkey path in one call, and RegCreateKeyExA on an existing key replaces its class there, so
// existing levels are only opened.
void MakeKey(const std::string& path, const char* className = "") {
  HKEY parent = HKEY_CURRENT_USER;
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS)
      status = RegCreateKeyExA(parent, name.c_str(), 0, const_cast<char*>(end == path.size() ? className : ""), 0,
                               KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (parent != HKEY_CURRENT_USER) RegCloseKey(parent);
    ASSERT_EQ(status, ERROR_SUCCESS) << path;
    parent = key;
    start = end + 1;
  }
  RegCloseKey(parent);
}

void SetRaw(const std::string& path, const char* name, DWORD type, const std::string& data) {
  MakeKey(path);
  UniqueKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key.put()), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
}
void SetText(const std::string& path, const char* name, const std::string& text) {
  SetRaw(path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

bool KeyExists(HKEY root, const std::string& path) {
  UniqueKey key;
  return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

struct Value {
  DWORD type;
  std::string data;
};
std::optional<Value> ReadValue(HKEY root, const std::string& path, const char* name) {
  UniqueKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  std::string data(size, '\0');
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  data.resize(size);
  return Value{type, data};
}
// The text of a REG_SZ value, checked to be stored with exactly one terminating zero.
std::optional<std::string> ReadText(HKEY root, const std::string& path, const char* name) {
  std::optional<Value> value = ReadValue(root, path, name);
  if (!value) return std::nullopt;
  EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
  EXPECT_TRUE(!value->data.empty() && value->data.back() == '\0');
  return std::string(value->data.c_str());
}

std::string ClassOf(const std::string& path) {
  UniqueKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return "<missing>";
  char name[1000];
  DWORD size = sizeof name;
  if (RegQueryInfoKeyA(key.get(), name, &size, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return "<error>";
  return name;
}

// Everything below a key as text: subkeys with class, values with type and bytes, in the
// registry's own order.
std::string Dump(HKEY key, const std::string& indent = "") {
  std::string out;
  for (DWORD i = 0;; ++i) {
    char name[400], className[1000];
    DWORD nameSize = sizeof name, classSize = sizeof className;
    if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, className, &classSize, nullptr) != ERROR_SUCCESS) break;
    out += indent + "[" + name + "] class=" + className + "\n";
    UniqueKey sub;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, sub.put()) == ERROR_SUCCESS) out += Dump(sub.get(), indent + "  ");
  }
  for (DWORD i = 0;; ++i) {
    char name[20000];
    static std::vector<BYTE> data(2 << 20);
    DWORD nameSize = sizeof name, type = 0, size = static_cast<DWORD>(data.size());
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
    out += indent + std::string(name) + " type=" + std::to_string(type) + " =" +
           std::string(reinterpret_cast<char*>(data.data()), size) + "\n";
  }
  return out;
}
std::string Dump(const std::string& path) {
  UniqueKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return "<missing>";
  return Dump(key.get());
}

// A deny-all access list: the key can no longer be opened or deleted.
void Protect(const std::string& path) {
  UniqueKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key.put()), ERROR_SUCCESS);
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ACL acl;
  ASSERT_TRUE(InitializeAcl(&acl, sizeof acl, ACL_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE));
  ASSERT_EQ(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
}

class RegistryLayer : public testing::Test {
 protected:
  void SetUp() override {
    RegistryCursor.Close();
    AssociationCursor.Close();
    MakeKey(TestRoot);
  }
  void TearDown() override {
    RegistryCursor.Close();
    AssociationCursor.Close();
  }
};

// ---- CreateKey ----

TEST_F(RegistryLayer, CreateKeyUnderMissingParentCreatesNothingAndSilencesWrites) {
  RegistryCursor.CreateKey(HKEY_CURRENT_USER, TestRoot, "Before");
  ASSERT_NE(RegistryCursor.currentKey, nullptr);

  EXPECT_EQ(RegistryCursor.CreateKey(HKEY_CURRENT_USER, Under("Missing").c_str(), "Key"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegistryCursor.currentKey, nullptr);
  EXPECT_EQ(RegistryCursor.parentKey, nullptr);
  RegistryCursor.SetString("Stray", "must not land anywhere");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Under("Missing")));
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, Under("Before"), "Stray")) << "the earlier key was not closed";

  EXPECT_EQ(RegistryCursor.CreateKey(HKEY_CURRENT_USER, TestRoot, "After"), ERROR_SUCCESS);
  EXPECT_NE(RegistryCursor.parentKey, nullptr);
  RegistryCursor.SetString("Value", "written");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("After"), "Value"), "written");
}

TEST_F(RegistryLayer, CreateKeyWithNullParentCreatesDirectlyUnderTheRoot) {
  AssociationCursor.CreateKey(HKEY_CLASSES_ROOT, nullptr, ".twlayertest");
  ASSERT_NE(AssociationCursor.currentKey, nullptr);
  AssociationCursor.SetString(nullptr, "Tarnwick.LayerTest");
  const unsigned char flags[] = {0x01, 0x00, 0x00, 0x00, 0xff};
  AssociationCursor.SetBinary("EditFlags", flags, sizeof flags);

  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, ".twlayertest", nullptr), "Tarnwick.LayerTest");
  std::optional<Value> binary = ReadValue(HKEY_CLASSES_ROOT, ".twlayertest", "EditFlags");
  ASSERT_TRUE(binary);
  EXPECT_EQ(binary->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(binary->data, std::string(reinterpret_cast<const char*>(flags), sizeof flags));
}

TEST_F(RegistryLayer, CreateKeyOpensAnExistingKeyWithItsValuesAndSubkeys) {
  SetText(Under("Existing"), "Old", "kept");
  MakeKey(Under("Existing\\Child"));
  RegistryCursor.CreateKey(HKEY_CURRENT_USER, TestRoot, "Existing");
  RegistryCursor.SetString("New", "added");

  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Existing"), "Old"), "kept");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Existing"), "New"), "added");
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Under("Existing\\Child")));
}

TEST_F(RegistryLayer, CreateKeyNameWithBackslashCreatesTwoLevelsWithEmptyClass) {
  RegistryCursor.CreateKey(HKEY_CURRENT_USER, TestRoot, "Outer\\Inner");
  RegistryCursor.SetString(nullptr, "default");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Outer\\Inner"), nullptr), "default");
  EXPECT_EQ(ClassOf(Under("Outer\\Inner")), "");
}

// ---- OpenForRead, OpenForWrite ----

TEST_F(RegistryLayer, OpenForReadGivesNoWriteAccessOpenForWriteDoes) {
  MakeKey(Under("Target"));
  ASSERT_TRUE(RegistryCursor.OpenForRead(HKEY_CURRENT_USER, TestRoot, "Target"));
  EXPECT_EQ(RegistryCursor.parentKey, nullptr);
  RegistryCursor.SetString("ThroughRead", "x");
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, Under("Target"), "ThroughRead"));

  ASSERT_TRUE(RegistryCursor.OpenForWrite(HKEY_CURRENT_USER, TestRoot, "Target"));
  EXPECT_EQ(RegistryCursor.parentKey, nullptr);
  RegistryCursor.SetString("ThroughWrite", "y");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Target"), "ThroughWrite"), "y");
}

TEST_F(RegistryLayer, FailedOpenClosesTheKeyHeldBefore) {
  MakeKey(Under("Held"));
  ASSERT_TRUE(RegistryCursor.OpenForWrite(HKEY_CURRENT_USER, TestRoot, "Held"));
  EXPECT_FALSE(RegistryCursor.OpenForRead(HKEY_CURRENT_USER, TestRoot, "Absent"));
  EXPECT_EQ(RegistryCursor.currentKey, nullptr);
  RegistryCursor.SetString("Stray", "x");
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, Under("Held"), "Stray"));
  char buffer[260] = "untouched";
  EXPECT_FALSE(RegistryCursor.QueryString("Stray", buffer));
}

TEST_F(RegistryLayer, OpenWithNullParentOpensTheNameUnderTheRoot) {
  EXPECT_TRUE(RegistryCursor.OpenForRead(HKEY_CURRENT_USER, nullptr, TestRoot));
  EXPECT_FALSE(RegistryCursor.OpenForRead(HKEY_CURRENT_USER, nullptr, "Software\\No Such Key Here"));
}

// The joined path "parent\name" must fit in 259 characters. Both the key itself and the key
// named by its first 259 characters exist, so a shortened path would be found.
TEST_F(RegistryLayer, JoinedPathLongerThan259CharactersFails) {
  const std::string parent = Under(std::string(200, 'p'));
  struct Case {
    size_t joinedLength;
    bool opens;
  };
  const Case cases[] = {{258, true}, {259, true}, {260, false}, {261, false}, {400, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.joinedLength);
    std::string name(c.joinedLength - parent.size() - 1, 'n');
    std::string joined = parent + "\\" + name;
    ASSERT_EQ(joined.size(), c.joinedLength);
    MakeKey(joined);
    MakeKey(joined.substr(0, 259));
    EXPECT_EQ(RegistryCursor.OpenForRead(HKEY_CURRENT_USER, parent.c_str(), name.c_str()), c.opens);
    EXPECT_EQ(RegistryCursor.OpenForWrite(HKEY_CURRENT_USER, parent.c_str(), name.c_str()), c.opens);
    EXPECT_EQ(RegistryCursor.currentKey != nullptr, c.opens);
  }
}

// ---- QueryString ----

TEST_F(RegistryLayer, QueryStringWithoutKeyFailsAndLeavesTheBuffer) {
  char buffer[260];
  memset(buffer, 0x5a, sizeof buffer);
  EXPECT_FALSE(RegistryCursor.QueryString(nullptr, buffer));
  EXPECT_FALSE(RegistryCursor.QueryString("Name", buffer));
  for (char c : buffer) ASSERT_EQ(c, 0x5a);
}

TEST_F(RegistryLayer, QueryStringReadsAtMost260Bytes) {
  struct Case {
    const char* what;
    DWORD type;
    std::string data;             // stored as it is
    std::optional<std::string> read;  // nullopt: QueryString fails
  };
  const std::string text259(259, 't');
  const std::string text260(260, 'u');
  const Case cases[] = {
      {"short text", REG_SZ, std::string("C:\\Program Files\0", 17), "C:\\Program Files"},
      {"empty text", REG_SZ, std::string(1, '\0'), ""},
      {"259 characters and the zero: 260 bytes", REG_SZ, text259 + '\0', text259},
      {"260 characters and the zero: 261 bytes", REG_SZ, text260 + '\0', std::nullopt},
      {"a long value", REG_SZ, std::string(1000, 'l') + '\0', std::nullopt},
      {"type not checked", REG_EXPAND_SZ, std::string("%WINDIR%\0", 9), "%WINDIR%"},
      {"stored without the zero", REG_BINARY, "abc", "abc"},
      {"259 bytes without the zero", REG_BINARY, text259, text259},
      {"260 bytes without the zero cannot be terminated", REG_BINARY, text260, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetRaw(Under("Query"), c.what, c.type, c.data);
  }
  ASSERT_TRUE(RegistryCursor.OpenForRead(HKEY_CURRENT_USER, TestRoot, "Query"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    char buffer[260 + 16];
    memset(buffer, 0x5a, sizeof buffer);
    bool ok = RegistryCursor.QueryString(c.what, buffer);
    ASSERT_EQ(ok, c.read.has_value());
    if (ok) {
      EXPECT_EQ(std::string(buffer), *c.read);
    }
    for (size_t i = 260; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0x5a) << "written past 260 bytes";
    EXPECT_NE(RegistryCursor.currentKey, nullptr) << "QueryString closed the cursor";
  }
  char buffer[260];
  EXPECT_FALSE(RegistryCursor.QueryString("no such value", buffer));
}

// ---- The two cursors ----

TEST_F(RegistryLayer, TheTwoCursorsNeverShareHandles) {
  MakeKey(Under("Shared"));
  SetText(Under("Shared"), "Probe", "shared");
  ASSERT_TRUE(RegistryCursor.OpenForWrite(HKEY_CURRENT_USER, TestRoot, "Shared"));
  AssociationCursor.CreateKey(HKEY_CURRENT_USER, TestRoot, "Associations");
  ASSERT_NE(AssociationCursor.currentKey, nullptr);
  ASSERT_NE(AssociationCursor.parentKey, nullptr);
  EXPECT_NE(AssociationCursor.currentKey, RegistryCursor.currentKey);
  EXPECT_NE(AssociationCursor.parentKey, RegistryCursor.currentKey);

  RegistryCursor.SetString("FromShared", "1");
  AssociationCursor.SetString("FromAssociation", "2");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Shared"), "FromShared"), "1");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Associations"), "FromAssociation"), "2");
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, Under("Shared"), "FromAssociation"));
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, Under("Associations"), "FromShared"));

  // Closing or reopening one leaves the other's key usable.
  AssociationCursor.CreateKey(HKEY_CURRENT_USER, TestRoot, "Other");
  AssociationCursor.Close();
  char buffer[260];
  ASSERT_TRUE(RegistryCursor.QueryString("Probe", buffer));
  EXPECT_STREQ(buffer, "shared");
  AssociationCursor.CreateKey(HKEY_CURRENT_USER, TestRoot, "Associations");
  RegistryCursor.Close();
  AssociationCursor.SetString("AfterClose", "3");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Associations"), "AfterClose"), "3");
}

// ---- DeleteKeyTree, DeleteSubkeys ----

TEST_F(RegistryLayer, TheSystemRefusesToDeleteAKeyWithSubkeys) {
  // The reason DeleteKeyTree works depth first.
  MakeKey(Under("Refused\\Child"));
  EXPECT_NE(RegDeleteKeyA(HKEY_CURRENT_USER, Under("Refused").c_str()), ERROR_SUCCESS);
}

TEST_F(RegistryLayer, DeleteKeyTreeRemovesThreeLevelsAndNothingElse) {
  const char* const tree[] = {"Tree\\A\\A1\\A1a", "Tree\\A\\A1\\A1b", "Tree\\A\\A2", "Tree\\B\\B1\\B1a", "Tree\\C"};
  for (const char* path : tree) {
    MakeKey(Under(path));
    SetText(Under(path), "Value", path);
  }
  SetText(Under("Tree"), nullptr, "top");
  MakeKey(Under("TreeSibling\\Child"));

  DeleteKeyTree(HKEY_CURRENT_USER, Under("Tree").c_str());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Under("Tree")));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Under("TreeSibling\\Child")));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TestRoot));
}

TEST_F(RegistryLayer, DeleteKeyTreeOnAMissingPathChangesNothing) {
  MakeKey(Under("Present\\Child"));
  const std::string before = Dump(TestRoot);
  DeleteKeyTree(HKEY_CURRENT_USER, Under("Absent").c_str());
  DeleteKeyTree(HKEY_CURRENT_USER, Under("Present\\Absent\\Deeper").c_str());
  EXPECT_EQ(Dump(TestRoot), before);
}

TEST_F(RegistryLayer, DeleteKeyTreeLeavesTheRootAlone) {
  // The canary is the root's first subkey in name order, the first that a deletion would take.
  const std::string canary = "!Tarnwick Canary\\Child";
  MakeKey(canary);
  DeleteKeyTree(HKEY_CURRENT_USER, "");
  DeleteKeyTree(HKEY_CURRENT_USER, nullptr);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, canary));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TestRoot));
}

// Subkeys are enumerated in name order: "1" goes, "2" cannot be opened nor deleted, and the
// deletion stops there instead of finding "2" at index 0 for ever.
TEST_F(RegistryLayer, DeleteKeyTreeStopsAtASubkeyThatCannotBeDeleted) {
  MakeKey(Under("Guarded\\1 Open\\Below"));
  MakeKey(Under("Guarded\\2 Protected\\Below"));
  MakeKey(Under("Guarded\\3 Later"));
  Protect(Under("Guarded\\2 Protected"));

  DeleteKeyTree(HKEY_CURRENT_USER, Under("Guarded").c_str());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Under("Guarded\\1 Open")));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Under("Guarded\\3 Later")));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Under("Guarded")));
}

TEST_F(RegistryLayer, DeleteSubkeysKeepsTheKeyAndItsValues) {
  MakeKey(Under("Parent\\A\\Deep\\Deeper"));
  MakeKey(Under("Parent\\B"));
  SetText(Under("Parent"), "Own", "kept");
  UniqueKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Under("Parent").c_str(), 0, KEY_ALL_ACCESS, key.put()), ERROR_SUCCESS);
  DeleteSubkeys(key.get());
  EXPECT_EQ(Dump(Under("Parent")), "Own type=1 =kept" + std::string(1, '\0') + "\n");
}

// ---- CopyKeyTree ----

struct CopyResult {
  bool result;
  std::string target;
};
CopyResult Copy(const std::string& source, const std::string& target) {
  UniqueKey from, to;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, source.c_str(), 0, KEY_READ, from.put()), ERROR_SUCCESS);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, target.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, to.put(),
                            nullptr),
            ERROR_SUCCESS);
  bool result = CopyKeyTree(from.get(), to.get());
  return {result, Dump(target)};
}

// Every value is copied whole: data of any size, names of any length the registry takes, and a
// subkey's class string longer than any fixed buffer; values beside them are not lost.
TEST_F(RegistryLayer, CopyKeyTreeCopiesValuesOfEverySizeAndNameLength) {
  const size_t sizes[] = {0, 1, 4999, 5000, 5001, 6000, 20000, 1 << 20};
  const size_t nameLengths[] = {1, 299, 300, 1000, 16383};
  for (size_t size : sizes) SetRaw(Under("Sizes"), ("V" + std::to_string(size)).c_str(), REG_BINARY, std::string(size, 'x'));
  for (size_t length : nameLengths) SetText(Under("Sizes"), std::string(length, 'n').c_str(), std::to_string(length));
  MakeKey(Under("Sizes\\LongClass"), std::string(400, 'c').c_str());
  SetText(Under("Sizes\\LongClass"), "Inner", "copied");
  const std::string before = Dump(Under("Sizes"));
  CopyResult copy = Copy(Under("Sizes"), Under("SizesCopy"));
  EXPECT_TRUE(copy.result);
  EXPECT_TRUE(copy.target == before) << "the copy differs from the source";
  for (size_t size : sizes) {
    SCOPED_TRACE(size);
    std::optional<Value> value = ReadValue(HKEY_CURRENT_USER, Under("SizesCopy"), ("V" + std::to_string(size)).c_str());
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->data, std::string(size, 'x'));
  }
  for (size_t length : nameLengths) {
    SCOPED_TRACE(length);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("SizesCopy"), std::string(length, 'n').c_str()), std::to_string(length));
  }
  EXPECT_EQ(ClassOf(Under("SizesCopy\\LongClass")), std::string(400, 'c'));
}

// A value that cannot be written (a target opened without the right to set values) makes the
// copy incomplete, and the values that can be copied still are.
TEST_F(RegistryLayer, CopyKeyTreeReportsAValueItCouldNotWrite) {
  SetText(Under("Values\\Sub"), "Inner", "copied");
  SetText(Under("Values"), "Top", "not written");
  MakeKey(Under("NoSetValue"));
  UniqueKey from, to;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Under("Values").c_str(), 0, KEY_READ, from.put()), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Under("NoSetValue").c_str(), 0, KEY_READ | KEY_CREATE_SUB_KEY, to.put()),
            ERROR_SUCCESS);
  EXPECT_FALSE(CopyKeyTree(from.get(), to.get()));
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("NoSetValue\\Sub"), "Inner"), "copied");
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, Under("NoSetValue"), "Top"));
}

TEST_F(RegistryLayer, CopyKeyTreeIntoATargetWithValuesOverwritesSameNamesAndKeepsOthers) {
  SetText(Under("From"), "Same", "new");
  SetText(Under("From"), nullptr, "default from source");
  SetRaw(Under("From"), "Number", REG_DWORD, std::string("\x2a\0\0\0", 4));
  SetText(Under("Into"), "Same", "old");
  SetText(Under("Into"), "Other", "kept");
  SetRaw(Under("Into"), "Number", REG_SZ, std::string("text\0", 5));
  MakeKey(Under("Into\\OwnChild"));

  EXPECT_TRUE(Copy(Under("From"), Under("Into")).result);
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Into"), "Same"), "new");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Into"), "Other"), "kept");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Into"), nullptr), "default from source");
  std::optional<Value> number = ReadValue(HKEY_CURRENT_USER, Under("Into"), "Number");
  ASSERT_TRUE(number);
  EXPECT_EQ(number->type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(number->data, std::string("\x2a\0\0\0", 4));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Under("Into\\OwnChild")));
}

TEST_F(RegistryLayer, CopyKeyTreePassesTheClassStringOn) {
  MakeKey(Under("Classy\\WithClass"), "TarnwickClass");
  MakeKey(Under("Classy\\WithClass\\Plain"));
  ASSERT_EQ(ClassOf(Under("Classy\\WithClass")), "TarnwickClass");
  EXPECT_TRUE(Copy(Under("Classy"), Under("ClassyCopy")).result);
  EXPECT_EQ(ClassOf(Under("ClassyCopy\\WithClass")), "TarnwickClass");
  EXPECT_EQ(ClassOf(Under("ClassyCopy\\WithClass\\Plain")), "");
}

TEST_F(RegistryLayer, CopyKeyTreeGoesOnAfterASubkeyThatCannotBeCreated) {
  SetText(Under("Src\\A"), "V", "a");
  SetText(Under("Src\\B"), "V", "b");
  SetText(Under("Src\\C"), "V", "c");
  SetText(Under("Src"), "Top", "top");
  MakeKey(Under("Dst\\B"));
  Protect(Under("Dst\\B"));  // opening the existing B under the target fails

  CopyResult copy = Copy(Under("Src"), Under("Dst"));
  EXPECT_FALSE(copy.result);
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Dst\\A"), "V"), "a");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Dst\\C"), "V"), "c");
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, Under("Dst"), "Top"), "top");
}

// Random trees (fixed seed): the copy holds exactly what the source holds, and the source is
// unchanged. Value names reach 299 characters.
void AddRandomTree(std::mt19937& random, const std::string& path, int depth) {
  const DWORD types[] = {REG_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_EXPAND_SZ};
  int values = static_cast<int>(random() % 5);
  for (int v = 0; v < values; ++v) {
    std::string name = random() % 6 == 0 ? std::string(299, static_cast<char>('a' + v))
                                          : "value" + std::to_string(random() % 1000);
    std::string data(random() % 5001, '\0');
    for (char& c : data) c = static_cast<char>(random());
    SetRaw(path, name.c_str(), types[random() % 5], data);
  }
  if (depth == 0) return;
  int subkeys = static_cast<int>(random() % 4);
  for (int s = 0; s < subkeys; ++s) {
    std::string sub = path + "\\key" + std::to_string(random() % 100);
    MakeKey(sub, random() % 3 == 0 ? "SomeClass" : "");
    AddRandomTree(random, sub, depth - 1);
  }
}

TEST_F(RegistryLayer, CopyKeyTreeCopiesRandomTreesExactly) {
  std::mt19937 random(20240917);
  int classes = 0, longNames = 0;
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    const std::string source = Under("Random" + std::to_string(round));
    MakeKey(source);
    AddRandomTree(random, source, 3);
    const std::string before = Dump(source);
    CopyResult copy = Copy(source, Under("RandomCopy" + std::to_string(round)));
    EXPECT_TRUE(copy.result);
    EXPECT_EQ(copy.target, before);
    EXPECT_EQ(Dump(source), before);
    for (size_t at = 0; (at = before.find("class=SomeClass", at)) != std::string::npos; ++at) ++classes;
    if (before.find(std::string(299, 'a')) != std::string::npos) ++longNames;
  }
  EXPECT_GT(classes, 0) << "the trees hold no class string";
  EXPECT_GT(longNames, 0) << "the trees hold no 299-character value name";
}

}  // namespace
