// Wizard page 2: the destination folder, shown from SetupState.installFolder and taken back
// from the edit control when the page is left.
#include <windows.h>
#include <commctrl.h>

#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "setup/wizard_frame.h"

namespace {

// The edit control's text into installFolder; the limit of 260 bytes keeps at most 259
// characters.
void TakeFolderFromEdit(HWND page) {
  GetDlgItemTextA(page, IDC_FOLDER_EDIT, SetupState.installFolder, sizeof SetupState.installFolder);
}

void ShowFolder(HWND page) {
  SetDlgItemTextA(page, IDC_FOLDER_EDIT, SetupState.installFolder);
  ReloadBanner();
  RestoreNextCaption(page);
  HWND edit = GetDlgItem(page, IDC_FOLDER_EDIT);
  SetFocus(edit);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  PostWizardButtons(page, PSWIZB_BACK | PSWIZB_NEXT);
}

INT_PTR LeavePage(HWND page) {
  TakeFolderFromEdit(page);
  // Here the folder name is checked (IsValidFolderName): an invalid name shows text 13 with
  // caption 14 and the page answers 1 to stay. The check comes with the folder-name work.
  return AnswerNotification(page, 0);
}

}  // namespace

INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetTitleFont(page);
      return FALSE;
    case WM_PAINT:
      return PaintPageBanner(page);
    case WM_COMMAND:
      // Here the Browse button (IDC_BROWSE) opens the folder browser; it comes with the
      // folder-name work.
      break;
    case WM_NOTIFY:
      switch (reinterpret_cast<NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE:
          ShowFolder(page);
          return AnswerNotification(page, 0);
        case PSN_WIZBACK:
          TakeFolderFromEdit(page);
          return AnswerNotification(page, 0);
        case PSN_KILLACTIVE:
          return LeavePage(page);
        case PSN_QUERYCANCEL:
          return AnswerQueryCancel(page);
      }
      break;
  }
  return FALSE;
}
