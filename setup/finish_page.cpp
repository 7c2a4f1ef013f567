// The finish page (FinishPage): installation complete. Finish runs the closing steps and ends the
// wizard.
#include <windows.h>
#include <commctrl.h>

#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "setup/startup.h"
#include "setup/wizard_frame.h"

namespace {

void OpenRegistrationPage(HWND page) {
  // Out of the topmost band, so that the browser can come to the front.
  SetWindowPos(GetParent(page), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  // Here the registration page (IDS_REGISTRATION_ADDRESS) is opened with OpenWebPage; it comes with the restart
  // and web-page actions.
}

void RunFinishSteps() {
  HideSetupWindows();
  // Here the closing steps follow in this order: RunCommonControlsUpdate, RegisterProduct,
  // EnsureDefaultFtpSite, and when SetupState.restartNeeded is 1 the restart question (IDS_RESTART_QUESTION,
  // caption IDS_RESTART_QUESTION_CAPTION, owner SetupState.mainWindow) with RestartWindows on Yes. They come with the
  // registration and restart work.
}

}  // namespace

INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetTitleFont(page);
      ReloadBanner();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_REGISTER) {
        OpenRegistrationPage(page);
        return TRUE;
      }
      break;
    case WM_NOTIFY:
      if (NotificationCode(lParam) == PSN_SETACTIVE) PostWizardButtons(page, PSWIZB_FINISH);
      if (NotificationCode(lParam) == PSN_WIZFINISH) {
        RunFinishSteps();
        return AnswerNotification(page, 0);
      }
      break;
  }
  return HandleCommonPageMessage(page, FinishPage, message, wParam, lParam);
}
