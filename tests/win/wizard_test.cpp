// The wizard frame of the real setup program, driven from this test program in the same Wine
// prefix: page order, buttons per page, titles and banner, the Next caption on the licence page,
// the exit confirmation (Continue, Exit, Escape, its place on the screen), the options and finish
// pages, and the destination folder kept over Back and Next.
#include <windows.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "setup/licence_page.h"
#include "setup/wizard_pages.h"
#include "support/picture.h"
#include "support/setup_session.h"
#include "tools/uidriver/ui_driver.h"

namespace {

constexpr char PageCaption[] = "Tarnwick\xAE 5.0 Setup";
constexpr char PlatformNextCaption[] = "&Next >";  // the property sheet's own caption under Wine

constexpr ButtonState Enabled = {true, true, true};
constexpr ButtonState Disabled = {true, true, false};
constexpr ButtonState Hidden = {true, false, false};

struct ButtonSet {
  ButtonState back, next, finish;
};

std::string Describe(ButtonState s) {
  if (!s.exists) return "missing";
  return std::string(s.visible ? "visible" : "hidden") + (s.enabled ? "+enabled" : "+disabled");
}

// Waits until the sheet's buttons are as expected, then compares them one by one.
void ExpectButtons(HWND sheet, const ButtonSet& want) {
  WaitForButtonState(sheet, SheetBack, want.back, 3000);
  WaitForButtonState(sheet, SheetNext, want.next, 3000);
  WaitForButtonState(sheet, SheetFinish, want.finish, 3000);
  EXPECT_EQ(Describe(GetButtonState(sheet, SheetBack)), Describe(want.back)) << "Back";
  EXPECT_EQ(Describe(GetButtonState(sheet, SheetNext)), Describe(want.next)) << "Next";
  EXPECT_EQ(Describe(GetButtonState(sheet, SheetFinish)), Describe(want.finish)) << "Finish";
}

// A window's rectangle relative to the top-left corner of another window (the screenshot's).
RECT RelativeRect(HWND window, HWND origin) {
  RECT r = WindowRect(window), o = WindowRect(origin);
  return {r.left - o.left, r.top - o.top, r.right - o.left, r.bottom - o.top};
}

// Where the banner's yellow pixels lie inside area: their count and bounding box.
struct YellowArea {
  int count = 0;
  int left = 1 << 30, top = 1 << 30;
};
YellowArea FindYellow(const Picture& picture, RECT area) {
  YellowArea found;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (picture.Is(x, y, 255, 255, 0)) {
        ++found.count;
        if (x < found.left) found.left = x;
        if (y < found.top) found.top = y;
      }
  return found;
}

// Height in rows of the dark text inside area (from the first to the last row with ink).
int InkHeight(const Picture& picture, RECT area) {
  int first = -1, last = -1;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      const unsigned char* p = picture.At(x, y);
      if (p[0] < 80 && p[1] < 80 && p[2] < 80) {
        if (first < 0) first = y;
        last = y;
        break;
      }
    }
  return first < 0 ? 0 : last - first + 1;
}

// The banner bitmap's first yellow pixels (the root folder's tab at x 15, "Pro 5.0" from row 50).
constexpr int BannerFirstYellowX = 15;
constexpr int BannerFirstYellowY = 50;

// Lets the program finish painting before a screenshot.
void WaitUntilIdle(const LaunchedProgram& program) {
  WaitForInputIdle(program.process, 3000);
  Sleep(300);
}

struct ChildTextSearch {
  std::vector<std::string>* texts;
};
BOOL CALLBACK CollectChildText(HWND child, LPARAM parameter) {
  reinterpret_cast<ChildTextSearch*>(parameter)->texts->push_back(WindowText(child));
  return TRUE;
}
std::vector<std::string> ChildTexts(HWND window) {
  std::vector<std::string> texts;
  ChildTextSearch search = {&texts};
  EnumChildWindows(window, CollectChildText, reinterpret_cast<LPARAM>(&search));
  return texts;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  for (const std::string& t : texts)
    if (t == text) return true;
  return false;
}

// ---- Page order, titles, buttons, banner ----

struct PageExpectation {
  int index;
  const char* title;  // text of control 104; null: the page has none
  ButtonSet buttons;
  const char* screenshot;
  bool banner;
};

const PageExpectation PageOrder[] = {
    {WelcomePage, "Tarnwick Pro 5.0", {Disabled, Enabled, Hidden}, "T:\\wizard-page0-welcome.bmp", true},
    {LicencePage, nullptr, {Enabled, Enabled, Hidden}, "T:\\wizard-page1-licence.bmp", false},
    {DestinationPage, "Destination Folder", {Enabled, Enabled, Hidden}, "T:\\wizard-page2-destination.bmp", true},
    {OptionsPage, "Setup Options", {Enabled, Enabled, Hidden}, "T:\\wizard-page4-options.bmp", true},
    {FinishPage, "Installation Complete", {Disabled, Hidden, Enabled}, "T:\\wizard-page5-finish.bmp", true},
};

TEST(WizardFrame, PagesComeInOrderWithTheirTitlesButtonsAndBanner) {
  START_WIZARD(program, sheet);
  for (const PageExpectation& p : PageOrder) {
    SCOPED_TRACE("page " + std::to_string(p.index));
    if (p.index > WelcomePage) {
      ASSERT_TRUE(ClickControl(sheet, SheetNext, StartWaitMs));
    }
    ASSERT_TRUE(WaitForPage(sheet, p.index, StartWaitMs));
    HWND page = CurrentPage(sheet);
    EXPECT_TRUE(IsWindowEnabled(page)) << "the page takes input";
    if (p.title) {
      EXPECT_EQ(ControlText(page, 104), p.title);
    } else {
      EXPECT_EQ(GetDlgItem(page, 104), nullptr);
    }
    ExpectButtons(sheet, p.buttons);
    EXPECT_EQ(Describe(GetButtonState(sheet, SheetCancel)), Describe(Enabled)) << "Cancel";

    WaitUntilIdle(program);
    ASSERT_TRUE(SaveScreenshot(sheet, p.screenshot));
    Picture picture;
    ASSERT_TRUE(picture.Load(p.screenshot));
    RECT pageArea = RelativeRect(page, sheet);
    YellowArea yellow = FindYellow(picture, pageArea);
    if (!p.banner) {
      EXPECT_EQ(yellow.count, 0) << "a banner on the licence page";
      continue;
    }
    // The banner sits in a 164 x 284 frame centred in the page's height and in the strip left
    // of the title; the picture starts 2 pixels inside the frame.
    RECT client = {}, title = WindowRect(GetDlgItem(page, 104)), pageRect = WindowRect(page);
    GetClientRect(page, &client);
    int frameLeft = (title.left - pageRect.left - 164) / 2;
    int frameTop = (client.bottom - 284) / 2;
    EXPECT_GT(yellow.count, 500) << "no banner on the screen";
    EXPECT_EQ(yellow.left - pageArea.left, frameLeft + 2 + BannerFirstYellowX);
    EXPECT_EQ(yellow.top - pageArea.top, frameTop + 2 + BannerFirstYellowY);
    // The title is drawn in the large title font (Arial 14 points), the texts in 8 points.
    int titleInk = InkHeight(picture, RelativeRect(GetDlgItem(page, 104), sheet));
    EXPECT_GE(titleInk, 12) << "title font";
    EXPECT_LE(titleInk, 24) << "title font";
  }
  EXPECT_NE(PageWindow(sheet, 3), nullptr) << "the copy page came between destination and options";
  ASSERT_TRUE(SaveScreenshot(nullptr, "T:\\wizard-screen-finish.bmp"));
  ExpectCancelExitCode1(sheet, program);
}

TEST(WizardFrame, PagesCarryTheCaptionWithTheRegisteredSign) {
  START_WIZARD(program, sheet);
  // Wine's wizard shows the page template's caption; through the "A" functions the registered
  // sign is the single byte 0xAE.
  EXPECT_EQ(WindowText(sheet), PageCaption);
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, LicencePage));
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, DestinationPage));
  EXPECT_EQ(WindowText(sheet), PageCaption);
  ExpectCancelExitCode1(sheet, program);
}

TEST(WizardFrame, WelcomePageTexts) {
  START_WIZARD(program, sheet);
  HWND page = CurrentPage(sheet);
  EXPECT_EQ(ControlText(page, 1070), "This program will install Tarnwick Pro 5.0 onto your hard disk.");
  EXPECT_EQ(ControlText(page, 1066),
            "Welcome to Tarnwick Pro 5.0!\nYou have purchased the world's best Windows file manager.");
  ExpectCancelExitCode1(sheet, program);
}

// ---- The Next caption and the licence text ----

void ExpectLicenceShownOnce(HWND sheet) {
  HWND page = CurrentPage(sheet);
  std::vector<char> expected(LicenceBufferSize);
  ASSERT_TRUE(BuildLicenceText(expected.data(), expected.size()));
  std::string text = ControlText(page, 131);
  EXPECT_EQ(text.size(), 6394u);
  EXPECT_EQ(text, expected.data());
  DWORD_PTR selection = 0;
  SendMessageTimeoutA(GetDlgItem(page, 131), EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 1000, &selection);
  EXPECT_EQ(LOWORD(selection), 0);
  EXPECT_EQ(HIWORD(selection), 1);
}

TEST(WizardFrame, NextIsCaptionedIAcceptOnlyOnTheLicencePage) {
  START_WIZARD(program, sheet);
  EXPECT_EQ(ControlText(sheet, SheetNext), PlatformNextCaption);

  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, LicencePage));
  EXPECT_EQ(ControlText(sheet, SheetNext), "I &Accept");
  ExpectLicenceShownOnce(sheet);

  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, WelcomePage));
  EXPECT_EQ(ControlText(sheet, SheetNext), PlatformNextCaption) << "Back restores the caption";

  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, LicencePage));
  EXPECT_EQ(ControlText(sheet, SheetNext), "I &Accept");
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, DestinationPage));
  EXPECT_EQ(ControlText(sheet, SheetNext), PlatformNextCaption) << "the destination page restores it";

  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, LicencePage));
  EXPECT_EQ(ControlText(sheet, SheetNext), "I &Accept");
  ExpectLicenceShownOnce(sheet);  // rebuilt, not appended

  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, DestinationPage));
  ASSERT_TRUE(ClickControl(sheet, SheetNext, StartWaitMs));
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs));
  EXPECT_EQ(ControlText(sheet, SheetNext), PlatformNextCaption);
  ExpectCancelExitCode1(sheet, program);
}

// ---- The exit confirmation ----

const int PagesWithCancel[] = {WelcomePage, LicencePage, DestinationPage, OptionsPage, FinishPage};

TEST(WizardFrame, CancelThenContinueKeepsThePageItsButtonsAndCaption) {
  START_WIZARD(program, sheet);
  for (int index : PagesWithCancel) {
    SCOPED_TRACE("page " + std::to_string(index));
    if (index > WelcomePage) {
      ASSERT_TRUE(ClickControl(sheet, SheetNext, StartWaitMs));
    }
    ASSERT_TRUE(WaitForPage(sheet, index, StartWaitMs));
    WaitUntilIdle(program);
    ButtonSet before = {GetButtonState(sheet, SheetBack), GetButtonState(sheet, SheetNext),
                        GetButtonState(sheet, SheetFinish)};
    std::string caption = ControlText(sheet, SheetNext);

    HWND confirmation = OpenExitConfirmation(sheet, program.processId);
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickControl(confirmation, 109));
    ASSERT_TRUE(WaitForWindowGone(confirmation));
    WaitUntilIdle(program);
    EXPECT_EQ(CurrentPageIndex(sheet), index);
    ExpectButtons(sheet, before);
    EXPECT_EQ(ControlText(sheet, SheetNext), caption);
  }
  ExpectCancelExitCode1(sheet, program);
}

class WizardCancelExit : public testing::TestWithParam<int> {};

TEST_P(WizardCancelExit, ExitEndsTheProgramWithExitCode1) {
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, GetParam()));
  HWND main = FindWindowA(MainWindowClass, nullptr);
  ASSERT_NE(main, nullptr);
  // No further question after Exit: the program ends on its own.
  ExpectCancelExitCode1(sheet, program);
  EXPECT_FALSE(IsWindow(sheet));
  EXPECT_FALSE(IsWindow(main)) << "the main window is destroyed";
}

INSTANTIATE_TEST_SUITE_P(Pages, WizardCancelExit, testing::ValuesIn(PagesWithCancel));

TEST(WizardFrame, ConfirmationIsCentredOwnedByTheMainWindowAndWorded) {
  START_WIZARD(program, sheet);
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, LicencePage));
  HWND confirmation = OpenExitConfirmation(sheet, program.processId);
  ASSERT_NE(confirmation, nullptr);
  WaitUntilIdle(program);

  RECT r = WindowRect(confirmation);
  int width = r.right - r.left, height = r.bottom - r.top;
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);

  EXPECT_EQ(GetWindow(confirmation, GW_OWNER), FindWindowA(MainWindowClass, nullptr));
  EXPECT_NE(GetWindow(confirmation, GW_OWNER), sheet);
  std::vector<std::string> texts = ChildTexts(confirmation);
  EXPECT_TRUE(Contains(texts, "The setup process is not complete.  If you exit now, Tarnwick 5.0 may not be "
                              "installed correctly."));
  EXPECT_TRUE(Contains(texts, "You may run the setup program again at a later time to complete the "
                              "installation of Tarnwick 5.0."));
  EXPECT_EQ(ControlText(confirmation, 109), "&Continue");
  EXPECT_EQ(ControlText(confirmation, 108), "E&xit");
  DWORD_PTR defaultId = 0;
  SendMessageTimeoutA(confirmation, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 1000, &defaultId);
  EXPECT_EQ(LOWORD(defaultId), 109) << "Continue is the default button";
  EXPECT_EQ(GetWindowLongA(confirmation, GWL_STYLE) & WS_SYSMENU, 0) << "no close box";
  ASSERT_TRUE(SaveScreenshot(confirmation, "T:\\wizard-exit-confirmation.bmp"));
  ASSERT_TRUE(SaveScreenshot(nullptr, "T:\\wizard-screen-exit-confirmation.bmp"));

  ASSERT_TRUE(ClickControl(confirmation, 108));
  DWORD exitCode = 0;
  ASSERT_TRUE(WaitForExit(program, ExitWaitMs, &exitCode));
  EXPECT_EQ(exitCode, 1u);
}

TEST(WizardFrame, EscapeInTheConfirmationDoesNothingWhileEnterContinues) {
  START_WIZARD(program, sheet);
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, LicencePage));
  HWND confirmation = OpenExitConfirmation(sheet, program.processId);
  ASSERT_NE(confirmation, nullptr);
  WaitUntilIdle(program);

  ASSERT_TRUE(PostKey(confirmation, VK_ESCAPE));
  EXPECT_FALSE(WaitForWindowGone(confirmation, 1500)) << "Escape closed the confirmation";
  EXPECT_TRUE(IsRunning(program));

  // The same way of pressing a key does reach the dialog: Enter chooses Continue.
  ASSERT_TRUE(PostKey(confirmation, VK_RETURN));
  ASSERT_TRUE(WaitForWindowGone(confirmation));
  EXPECT_TRUE(IsRunning(program));
  EXPECT_EQ(CurrentPageIndex(sheet), LicencePage);
  ExpectCancelExitCode1(sheet, program);
}

// ---- Page behaviour that already exists ----

TEST(WizardPages, OptionsShowTheBoxesAsTheUserLeftThem) {
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, OptionsPage));
  HWND page = CurrentPage(sheet);
  EXPECT_EQ(CheckState(page, 122), BST_CHECKED) << "both boxes start ticked";
  EXPECT_EQ(CheckState(page, 124), BST_CHECKED);
  EXPECT_EQ(ControlText(page, 122), "&Associate zip archives with Tarnwick");
  EXPECT_EQ(ControlText(page, 124), "Associate these &other types with Tarnwick");

  ASSERT_TRUE(ClickControl(page, 122));
  for (int i = 0; i < 40 && CheckState(page, 122) != BST_UNCHECKED; ++i) Sleep(50);
  ASSERT_EQ(CheckState(page, 122), BST_UNCHECKED);

  // Back goes to the copy page, which comes back here after its run.
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, CopyPage));
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs));
  WaitUntilIdle(program);
  EXPECT_EQ(CurrentPageIndex(sheet), OptionsPage);
  EXPECT_EQ(CheckState(page, 122), BST_UNCHECKED);
  EXPECT_EQ(CheckState(page, 124), BST_CHECKED);
  ExpectCancelExitCode1(sheet, program);
}

TEST(WizardPages, DestinationFolderTypedIsKeptOverBackAndNext) {
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, DestinationPage));
  ASSERT_TRUE(SetControlText(CurrentPage(sheet), IDC_FOLDER_EDIT, "D:\\Elsewhere\\Tarnwick"));
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetBack, LicencePage));
  ASSERT_TRUE(PressAndWaitForPage(sheet, SheetNext, DestinationPage));
  EXPECT_EQ(ControlText(CurrentPage(sheet), IDC_FOLDER_EDIT), "D:\\Elsewhere\\Tarnwick") << "taken on Back";
  ASSERT_TRUE(SetControlText(CurrentPage(sheet), IDC_FOLDER_EDIT, "C:\\Second"));  // the run installs there
  ASSERT_TRUE(ClickControl(sheet, SheetNext, StartWaitMs));
  ASSERT_TRUE(WaitForPage(sheet, OptionsPage, StartWaitMs));
  ASSERT_TRUE(SelectPage(sheet, DestinationPage));
  ASSERT_TRUE(WaitForPage(sheet, DestinationPage, StartWaitMs));
  EXPECT_EQ(ControlText(CurrentPage(sheet), IDC_FOLDER_EDIT), "C:\\Second") << "taken on Next";
  ExpectCancelExitCode1(sheet, program);
}

TEST(WizardPages, FinishEndsWithExitCode1AndHidesTheUtilitiesSetup) {
  StandInWindow utilities("StandInUtilitiesSetup", "Tarnwick Utilities 98 Setup");
  ASSERT_NE(utilities.window(), nullptr);
  ASSERT_TRUE(IsWindowVisible(utilities.window()));
  START_WIZARD(program, sheet);
  ASSERT_TRUE(WalkToPage(sheet, FinishPage));
  ASSERT_TRUE(ClickControl(sheet, SheetFinish, StartWaitMs));
  DWORD exitCode = 0;
  ASSERT_TRUE(WaitForExit(program, ExitWaitMs, &exitCode));
  EXPECT_EQ(exitCode, 1u);
  EXPECT_FALSE(IsWindowVisible(utilities.window()));
  EXPECT_EQ(FindTopWindow(ExitConfirmCaption), nullptr);
}

}  // namespace
