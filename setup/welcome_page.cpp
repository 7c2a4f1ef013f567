// The welcome page (WelcomePage).
#include <windows.h>
#include <commctrl.h>

#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "setup/wizard_frame.h"

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetTitleFont(page);
      ReloadBanner();
      SetDlgItemTextA(page, IDC_TITLE, "Tarnwick Pro 5.0");
      SetDlgItemTextA(page, IDC_WELCOME_TEXT, LoadText(IDS_WELCOME_TEXT));
      // No font: the welcome text is drawn in the system font.
      SendDlgItemMessageA(page, IDC_WELCOME_TEXT, WM_SETFONT, 0, FALSE);
      return FALSE;
    case WM_NOTIFY:
      if (NotificationCode(lParam) == PSN_SETACTIVE) {
        PostWizardButtons(page, PSWIZB_NEXT);
        RestoreNextCaption(page);
        InvalidateRect(page, nullptr, TRUE);
      }
      break;
  }
  return HandleCommonPageMessage(page, WelcomePage, message, wParam, lParam);
}
