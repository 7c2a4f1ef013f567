#include "support/installation.h"

#include <gtest/gtest.h>

#include "setup/wizard_pages.h"
#include "support/setup_session.h"

void InstallLikeAUser(const char* version) {
  ASSERT_TRUE(SetWineVersion("setup.exe", version));
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, OptionsPage)) << "the run did not complete";
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, FinishPage));
  ASSERT_TRUE(ClickControl(sheet, SheetFinish));
  DWORD exitCode = 0;
  ASSERT_TRUE(WaitForExit(program, 120000, &exitCode)) << "Finish did not end the program";
  EXPECT_EQ(exitCode, 1u);
}
