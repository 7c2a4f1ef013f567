// The finish page (FinishPage): installation complete. Finish runs the closing steps and ends the
// wizard.
#include <windows.h>
#include <commctrl.h>

#include "install/restart_and_web_page.h"
#include "install/version_probes.h"
#include "registry/product_registration.h"
#include "registry/settings_migration.h"
#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "setup/startup.h"
#include "setup/wizard_frame.h"

namespace {

// 1 from the first Finish on. The restart question is owned by the hidden main window, so the
// sheet stays usable beneath it (and while the steps run, messages still reach it): a second
// Finish must neither run the steps again nor ask again.
int finishing = 0;

void OpenRegistrationPage(HWND page) {
  // Out of the topmost band, so that the browser can come to the front.
  SetWindowPos(GetParent(page), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  OpenWebPage(LoadText(IDS_REGISTRATION_ADDRESS));
}

// The closing steps in their order. The page does not look at their results.
void RunFinishSteps() {
  HideSetupWindows();
  RunCommonControlsUpdate();
  RegisterProduct();
  EnsureDefaultFtpSite();
  if (SetupState.restartNeeded == 1 &&
      MessageBoxA(SetupState.mainWindow, LoadText(IDS_RESTART_QUESTION), LoadText(IDS_RESTART_QUESTION_CAPTION),
                  MB_YESNO | MB_ICONQUESTION) == IDYES)
    RestartWindows(SetupState.isNT);
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
        if (finishing) return AnswerNotification(page, 1);  // the first Finish closes the sheet
        finishing = 1;
        RunFinishSteps();
        return AnswerNotification(page, 0);
      }
      break;
  }
  return HandleCommonPageMessage(page, FinishPage, message, wParam, lParam);
}
