// The licence page's Next in the real setup program: version 3.0's uninstall entry and group go
// on every press, and an accepted upgrade retires version 2.0 on the way to the copy page.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "setup/wizard_pages.h"
#include "shortcuts/progman.h"
#include "support/program_groups.h"
#include "support/setup_session.h"

namespace {

const std::string UninstallKeys = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string SettingsKeys = "SOFTWARE\\Fenmoor\\Tarnwick\\";
constexpr char UpgradeCaption[] = "Previous Version of Tarnwick Detected";

// An installed version: its uninstall entry (with a subkey) and its program group.
void PutVersion(const char* entry, const char* group) {
  ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, (UninstallKeys + entry + "\\Details").c_str(), "Size", "1"));
  ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, (UninstallKeys + entry).c_str(), "DisplayName", group));
  ASSERT_EQ(ProgmanCreateGroup(group, nullptr), 1);
}

void ExpectVersion(const char* entry, const char* group, bool present) {
  EXPECT_EQ(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKeys + entry), present) << entry;
  EXPECT_EQ(GroupExists(group), present) << group;
}

TEST(LicencePage, EveryNextRemovesVersion3sEntryAndGroupAndNothingElse) {
  PutVersion("Tarnwick4.0", "Tarnwick 4.0");
  PutVersion("Tarnwick3.0", "Tarnwick 3.0");
  START_WIZARD(program, sheet);
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, LicencePage));
  ExpectVersion("Tarnwick3.0", "Tarnwick 3.0", true);  // showing the page removes nothing

  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, DestinationPage));
  ExpectVersion("Tarnwick3.0", "Tarnwick 3.0", false);
  ExpectVersion("Tarnwick4.0", "Tarnwick 4.0", true);

  // Version 3.0 comes back (installed meanwhile): the next press removes it again.
  PutVersion("Tarnwick3.0", "Tarnwick 3.0");
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, LicencePage));
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, DestinationPage));
  ExpectVersion("Tarnwick3.0", "Tarnwick 3.0", false);
  ExpectVersion("Tarnwick4.0", "Tarnwick 4.0", true);
  ExpectCancelExitCode1(sheet, program);
}

TEST(LicencePage, AcceptedUpgradeRetiresVersion2OnTheWayToTheCopyPage) {
  // Version 2.0 in C:\Old\Tarnwick, found at start-up, with settings of its own under both
  // roots beside those of a later version.
  const std::string old = SettingsKeys + "Version2.0", current = SettingsKeys + "CurrentVersion";
  ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, old.c_str(), "InstallDir", "C:\\Old\\Tarnwick\\"));
  ASSERT_TRUE(PutFile("C:\\Old\\Tarnwick\\TWExplo.exe", "version 2.0 explorer"));
  ASSERT_TRUE(PutRegistryText(HKEY_LOCAL_MACHINE, current.c_str(), "Kept", "later"));
  ASSERT_TRUE(PutRegistryText(HKEY_CURRENT_USER, (old + "\\Layout").c_str(), "Panes", "2"));
  PutVersion("Tarnwick2.0", "Tarnwick 2.0");
  PutVersion("Tarnwick3.0", "Tarnwick 3.0");

  LaunchedProgram program;
  ASSERT_TRUE(LaunchProgram(SetupProgramPath, "S:\\", program));
  HWND box = WaitForTopWindow(UpgradeCaption, StartWaitMs, program.processId);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(ClickControl(box, IDYES));
  HWND sheet = WaitForWizardSheet(StartWaitMs, program.processId);
  ASSERT_NE(sheet, nullptr);
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, LicencePage));
  ExpectVersion("Tarnwick2.0", "Tarnwick 2.0", true);

  ASSERT_TRUE(ClickControl(sheet, SheetNext));
  // The copy page's run moves on to the options page by itself; the destination page is never
  // shown on the way.
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs));
  EXPECT_NE(PageWindow(sheet, CopyPage), nullptr);
  EXPECT_EQ(PageWindow(sheet, DestinationPage), nullptr);
  ExpectVersion("Tarnwick2.0", "Tarnwick 2.0", false);
  ExpectVersion("Tarnwick3.0", "Tarnwick 3.0", false);
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) EXPECT_FALSE(RegistryKeyExists(root, old));
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, current.c_str(), "InstallDir"), "C:\\Old\\Tarnwick\\");
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, current.c_str(), "Kept"), "later");
  EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, (current + "\\Layout").c_str(), "Panes"), "2");
  EXPECT_NE(GetFileAttributesA("C:\\Old\\Tarnwick\\TWick.exe"), INVALID_FILE_ATTRIBUTES)
      << "the run installed into the version 2.0 folder";
  ExpectCancelExitCode1(sheet, program);
}

}  // namespace
