// Wizard page 0: the welcome page.
#include <windows.h>
#include <commctrl.h>

#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "setup/wizard_frame.h"

namespace {
constexpr UINT TextWelcome = 48;
}

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetTitleFont(page);
      ReloadBanner();
      SetDlgItemTextA(page, IDC_TITLE, "Tarnwick Pro 5.0");
      SetDlgItemTextA(page, IDC_WELCOME_TEXT, LoadText(TextWelcome));
      // No font: the welcome text is drawn in the system font.
      SendDlgItemMessageA(page, IDC_WELCOME_TEXT, WM_SETFONT, 0, FALSE);
      return FALSE;
    case WM_PAINT:
      return PaintPageBanner(page);
    case WM_NOTIFY:
      switch (reinterpret_cast<NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE:
          PostWizardButtons(page, PSWIZB_NEXT);
          RestoreNextCaption(page);
          InvalidateRect(page, nullptr, TRUE);
          return AnswerNotification(page, 0);
        case PSN_KILLACTIVE:
          return AnswerNotification(page, 0);
        case PSN_QUERYCANCEL:
          return AnswerQueryCancel(page);
      }
      break;
  }
  return FALSE;
}
