// The options page (OptionsPage): the setup options, two check boxes for the archive associations.
#include <windows.h>
#include <commctrl.h>

#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "setup/wizard_frame.h"

namespace {

void ShowOptions(HWND page) {
  CheckDlgButton(page, IDC_ASSOCIATE_ZIP, SetupState.associateZip ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(page, IDC_ASSOCIATE_OTHERS, SetupState.associateOthers ? BST_CHECKED : BST_UNCHECKED);
  ReloadBanner();
  SetFocus(GetDlgItem(page, IDC_ASSOCIATE_ZIP));
  PostWizardButtons(page, PSWIZB_BACK | PSWIZB_NEXT);
}

// On Next and on Back alike; a box in any state but clear counts as ticked.
void TakeOptions(HWND page) {
  SetupState.registerContextMenus = 1;
  SetupState.associateZip = IsDlgButtonChecked(page, IDC_ASSOCIATE_ZIP) != BST_UNCHECKED;
  SetupState.associateOthers = IsDlgButtonChecked(page, IDC_ASSOCIATE_OTHERS) != BST_UNCHECKED;
}

}  // namespace

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetTitleFont(page);
      BringSheetToFront(page);
      return FALSE;
    case WM_NOTIFY:
      if (NotificationCode(lParam) == PSN_SETACTIVE) ShowOptions(page);
      if (NotificationCode(lParam) == PSN_KILLACTIVE) TakeOptions(page);
      break;
  }
  return HandleCommonPageMessage(page, OptionsPage, message, wParam, lParam);
}
