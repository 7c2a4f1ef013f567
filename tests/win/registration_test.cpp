// Product registration's modules, the settings migration and the default FTP site, run in this
// program against the prefix's real registry and the real modules from P:, read back with Wine's
// "reg export".
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry/archive_associations.h"
#include "registry/product_registration.h"
#include "registry/settings_migration.h"
#include "setup/setup_state.h"
#include "support/finish_support.h"
#include "support/registry_export.h"
#include "support/setup_session.h"
#include "support/test_files.h"

namespace {

constexpr char LoadLog[] = "C:\\module_loads.log";  // written by S:\versions\load_recorder.dll

std::string Join(const std::vector<RegistryRow>& a, const std::vector<RegistryRow>& b) {
  std::vector<RegistryRow> all = a;
  all.insert(all.end(), b.begin(), b.end());
  return RowsText(all);
}

// ---- The registration modules ----

struct ModuleCase {
  int isNT4;
  const char* loads;  // load_recorder's log: modeng2.dll (no entry point), and modeng4.dll unless NT 4.0
};
const char ModuleFolder[] = "C:\\Program Files\\Module Test";
const ModuleCase ModuleCases[] = {
    {0, "C:\\Program Files\\Module Test\\modeng2.dll\r\nC:\\Program Files\\Module Test\\modeng4.dll\r\n"},
    {1, "C:\\Program Files\\Module Test\\modeng2.dll\r\n"},
};

TEST(RegistrationModules, LoadedByFullPathPassingOverMissingAndEntrylessOnesAndModeng4OnNT4) {
  for (const ModuleCase& c : ModuleCases) {
    SCOPED_TRACE("isNT4 " + std::to_string(c.isNT4));
    DeleteFileA(LoadLog);
    for (const ModuleRegistration& m : ModuleRegistrations) DeleteRegistryKeyTree(m.classKey);
    // lattice.ocx is missing; modeng2.dll and modeng4.dll are libraries without the entry.
    ASSERT_TRUE(CopyProductFiles(ModuleFolder, {"modeng1.dll", "modeng3.dll"}));
    for (const char* name : {"modeng2.dll", "modeng4.dll"})
      ASSERT_TRUE(CopyFileA("S:\\versions\\load_recorder.dll", (std::string(ModuleFolder) + "\\" + name).c_str(), FALSE));
    std::strcpy(SetupState.installFolder, ModuleFolder);
    SetupState.isNT4 = c.isNT4;
    SetErrorMode(0);

    RegisterProduct();  // a system message box would hold it here

    EXPECT_EQ(SetErrorMode(0), 0u) << "the error mode is restored";
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STREQ(current, ModuleFolder);
    EXPECT_EQ(ReadFileBytes(LoadLog).value_or(""), c.loads);
    const std::vector<RegistryRow> classes = ExportRegistry("HKEY_CLASSES_ROOT\\CLSID");
    for (const ModuleRegistration& m : ModuleRegistrations) {
      SCOPED_TRACE(m.fileName);
      const bool registers = std::strcmp(m.fileName, "modeng1.dll") == 0 || std::strcmp(m.fileName, "modeng3.dll") == 0;
      EXPECT_EQ(RowsText(RowsUnder(classes, m.classKey)),
                RowsText(registers ? ModuleRows(m, ModuleFolder) : std::vector<RegistryRow>{}));
    }
  }
}

TEST(RegistrationModules, ANamesakeBesideTheProgramIsNotLoadedAndASecondRunDuplicatesNothing) {
  const std::string folder = "C:\\Program Files\\KELM\\Tarnwick";
  ASSERT_TRUE(MakeWindowsShellKeys());
  ASSERT_TRUE(CopyProductFiles(folder, FinishFiles));
  ASSERT_TRUE(MakeFolders("C:\\Download"));
  ASSERT_TRUE(CopyFileA("S:\\finish_probe.exe", "C:\\Download\\finish_probe.exe", FALSE));
  ASSERT_TRUE(CopyFileA("S:\\versions\\load_recorder.dll", "C:\\Download\\modeng1.dll", FALSE));
  DeleteFileA(LoadLog);

  std::string snapshots[2];
  for (std::string& snapshot : snapshots) {
    std::string output;
    DWORD exitCode = 99;
    ASSERT_TRUE(RunCaptured("C:\\Download\\finish_probe.exe steps \"" + folder + "\"", "C:\\Download", 60000, &output,
                            &exitCode));
    ASSERT_EQ(exitCode, 0u) << output;
    snapshot = Join(ExportRegistry("HKEY_CLASSES_ROOT"), ExportRegistry("HKEY_LOCAL_MACHINE\\Software\\KELM")) +
               RowsText(ExportRegistry("HKEY_CURRENT_USER\\Software\\KELM"));
  }
  EXPECT_EQ(ReadFileBytes(LoadLog).value_or(""), "") << "the namesake in the program's folder was loaded";
  const std::vector<RegistryRow> classes = ExportRegistry("HKEY_CLASSES_ROOT\\CLSID");
  for (const ModuleRegistration& m : ModuleRegistrations) {
    SCOPED_TRACE(m.fileName);
    EXPECT_EQ(RowsText(RowsUnder(classes, m.classKey)), RowsText(ModuleRows(m, folder)));
  }
  EXPECT_EQ(LinesMissingFrom(snapshots[1], snapshots[0]), "") << "rows that the second run added or changed";
  EXPECT_EQ(LinesMissingFrom(snapshots[0], snapshots[1]), "") << "rows that the second run removed or changed";
}

// A module's own imports are searched in its own folder first: modeng1.dll imports
// load_recorder.dll, and of the two copies, beside the program and in the install folder, the
// install folder's is loaded.
TEST(RegistrationModules, AModulesImportsComeFromTheInstallFolderNotTheProgramsFolder) {
  const std::string folder = "C:\\Program Files\\KELM\\Tarnwick";
  ASSERT_TRUE(CopyProductFiles(folder, FinishFiles));
  ASSERT_TRUE(CopyFileA("S:\\versions\\imports_recorder.dll", (folder + "\\modeng1.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA("S:\\versions\\load_recorder.dll", (folder + "\\load_recorder.dll").c_str(), FALSE));
  ASSERT_TRUE(MakeFolders("C:\\Download"));
  ASSERT_TRUE(CopyFileA("S:\\finish_probe.exe", "C:\\Download\\finish_probe.exe", FALSE));
  ASSERT_TRUE(CopyFileA("S:\\versions\\load_recorder.dll", "C:\\Download\\load_recorder.dll", FALSE));
  DeleteFileA(LoadLog);
  std::string output;
  DWORD exitCode = 99;
  ASSERT_TRUE(RunCaptured("C:\\Download\\finish_probe.exe steps \"" + folder + "\"", "C:\\Download", 60000, &output,
                          &exitCode));
  ASSERT_EQ(exitCode, 0u) << output;
  EXPECT_EQ(ReadFileBytes(LoadLog).value_or(""), folder + "\\load_recorder.dll\r\n");
}

// The shell is told that associations changed (SHCNE_ASSOCCHANGED): a window registered for
// shell change notifications receives it. Wine's shell keeps its list of registered windows in
// each process, so the listener is in this process, which registers the product as Finish does.
constexpr UINT ShellChangeMessage = WM_APP + 20;
int associationChanges = 0;  // SHCNE_ASSOCCHANGED notifications the listener received

// Without SHCNRF_NewDelivery the event is the notification's lParam.
LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ShellChangeMessage) {
    if (static_cast<LONG>(lParam) == SHCNE_ASSOCCHANGED) ++associationChanges;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(Associations, TheShellIsToldThatAssociationsChanged) {
  ASSERT_TRUE(MakeWindowsShellKeys());
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ListenerProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TarnwickShellListener";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND listener = CreateWindowExA(0, windowClass.lpszClassName, "listener", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
  ASSERT_NE(listener, nullptr);
  SHChangeNotifyEntry everything = {nullptr, TRUE};
  ULONG registration = SHChangeNotifyRegister(listener, SHCNRF_ShellLevel | SHCNRF_InterruptLevel,
                                              SHCNE_ASSOCCHANGED, ShellChangeMessage, 1, &everything);
  ASSERT_NE(registration, 0u);
  std::strcpy(SetupState.installFolder, "C:\\Tarnwick");
  RegisterProduct();
  MSG message;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 3000 && associationChanges == 0; Sleep(20))
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  SHChangeNotifyDeregister(registration);
  DestroyWindow(listener);
  EXPECT_EQ(associationChanges, 1) << "SHCNE_ASSOCCHANGED received";
}

// A fresh Wine prefix lacks "Directory" and "Drive", and no key is made under a missing parent:
// the search verb is not written there, while "Directory" itself is made for its handlers.
TEST(Associations, NoKeyUnderAMissingParent) {
  ASSERT_EQ(ExportRegistry("HKEY_CLASSES_ROOT\\Directory").size(), 0u);
  ASSERT_EQ(ExportRegistry("HKEY_CLASSES_ROOT\\Drive").size(), 0u);
  RegisterAssociations("C:\\Tarnwick", 1, 0, 0);
  EXPECT_EQ(ExportRegistry("HKEY_CLASSES_ROOT\\Drive").size(), 0u);
  const std::vector<RegistryRow> directory = ExportRegistry("HKEY_CLASSES_ROOT\\Directory");
  EXPECT_EQ(RowsUnder(directory, "HKEY_CLASSES_ROOT\\Directory\\shell").size(), 0u);
  EXPECT_EQ(RowsUnder(directory, "HKEY_CLASSES_ROOT\\Directory\\shellex\\DragDropHandlers\\Tarnwick Menu").size(), 2u);
}

// ---- Settings migration ----

constexpr char Version3[] = "Software\\Brask\\Tarnwick\\Version3.0";
constexpr char Current[] = "Software\\KELM\\Tarnwick\\CurrentVersion";
const char* const MigratedNames[] = {"NavigatorPlus", "TWFind", "Toolbar", "Tools", "Viewer"};

std::string UnderCurrentUser(const std::string& path) { return "HKEY_CURRENT_USER\\" + path; }
// The rows of a key with its own name cut off, so that two keys' contents compare.
std::string Content(const std::string& path) {
  std::vector<RegistryRow> rows = ExportRegistry(UnderCurrentUser(path));
  for (RegistryRow& row : rows) row.key = row.key.substr(UnderCurrentUser(path).size());
  return RowsText(rows);
}

TEST(SettingsMigration, CopiesEachVersion3KeyThatTheCurrentSettingsLack) {
  for (const char* name : MigratedNames) {
    const std::string source = std::string(Version3) + "\\" + name;
    ASSERT_TRUE(PutRegistryText(HKEY_CURRENT_USER, source.c_str(), "Setting", name));
    ASSERT_TRUE(PutRegistryText(HKEY_CURRENT_USER, (source + "\\Window\\Place").c_str(), "Left", "12"));
  }
  const std::string kept = std::string(Current) + "\\NavigatorPlus";
  ASSERT_TRUE(PutRegistryText(HKEY_CURRENT_USER, kept.c_str(), "Setting", "the user's own"));
  const std::string keptBefore = Content(kept);

  MigrateVersion3Settings();

  EXPECT_EQ(Content(kept), keptBefore) << "an existing key is left alone";
  for (const char* name : MigratedNames) {
    if (std::strcmp(name, "NavigatorPlus") == 0) continue;
    SCOPED_TRACE(name);
    const std::string source = Content(std::string(Version3) + "\\" + name);
    EXPECT_NE(source, "");
    EXPECT_EQ(Content(std::string(Current) + "\\" + name), source);
  }
}

TEST(SettingsMigration, WithoutVersion3KeysNothingIsCreated) {
  MigrateVersion3Settings();
  EXPECT_EQ(ExportRegistry("HKEY_CURRENT_USER\\Software\\KELM").size(), 0u);
  ASSERT_TRUE(PutRegistryKey(HKEY_CURRENT_USER, Current));
  MigrateVersion3Settings();
  EXPECT_EQ(RowsText(ExportRegistry(UnderCurrentUser(Current))), RowsText({{UnderCurrentUser(Current), true, "", "", ""}}));
}

// ---- The default FTP site ----

constexpr char Sites[] = "Software\\KELM\\Tarnwick\\CurrentVersion\\FTP Sites";

// The default record field by field, as the FTP client reads it.
std::string ExpectedRecord() {
  struct Field {
    size_t offset, length;
    std::string content;  // padded with zeros to length
  };
  const Field fields[] = {
      {0, 8, ""},
      {8, 100, "KELM"},
      {108, 100, "ftp.tarnwick.example"},
      {208, 100, std::string(reinterpret_cast<const char*>(DefaultFtpPassword), 16)},
      {308, 100, "anonymous"},
      {408, 360, ""},
      {768, 256, "Software Vendor"},
      {1024, 4, std::string("\0\0\0\0", 4)},
      {1028, 4, std::string("\x15\0\0\0", 4)},  // port 21
      {1032, 4, std::string("\x01\0\0\0", 4)},
  };
  std::string record;
  for (const Field& f : fields) {
    EXPECT_EQ(record.size(), f.offset);
    std::string padded = f.content;
    padded.resize(f.length, '\0');
    record += padded;
  }
  EXPECT_EQ(record.size(), 1036u);
  return record;
}

void SetBinary(const char* path, const char* name, const std::string& data) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
  RegCloseKey(key);
}

struct FtpCase {
  const char* what;
  void (*arrange)();
  bool written;  // "KELM" with the default record added
};
const FtpCase FtpCases[] = {
    {"no FTP Sites key", [] { PutRegistryKey(HKEY_CURRENT_USER, Current); }, true},
    {"an empty FTP Sites key", [] { PutRegistryKey(HKEY_CURRENT_USER, Sites); }, true},
    {"a readable first site", [] { SetBinary(Sites, "Mirror", std::string(40, '\x07')); }, false},
    {"a first value over 1036 bytes", [] { SetBinary(Sites, "Huge", std::string(1037, '\x07')); }, true},
    {"the site of an earlier run, changed since",
     [] {
       PutRegistryKey(HKEY_CURRENT_USER, Current);
       EnsureDefaultFtpSite();
       SetBinary(Sites, "KELM", std::string(1036, '\x01'));
     },
     false},
    {"no current settings key", [] {}, false},
};

TEST(DefaultFtpSite, WrittenOnceWhenThereIsNoReadableSite) {
  const std::string expected = HexDigits(ExpectedRecord());
  for (const FtpCase& c : FtpCases) {
    SCOPED_TRACE(c.what);
    DeleteRegistryKeyTree("HKEY_CURRENT_USER\\Software\\KELM");
    c.arrange();
    std::vector<RegistryRow> before = ExportRegistry("HKEY_CURRENT_USER\\Software\\KELM");
    EnsureDefaultFtpSite();
    std::vector<RegistryRow> after = ExportRegistry("HKEY_CURRENT_USER\\Software\\KELM");
    if (c.written) {
      if (RowsUnder(before, UnderCurrentUser(Sites)).empty()) before.push_back({UnderCurrentUser(Sites), true, "", "", ""});
      before.push_back({UnderCurrentUser(Sites), false, "KELM", "REG_BINARY", expected});
    }
    EXPECT_EQ(RowsText(after), RowsText(before));
  }
}

}  // namespace
