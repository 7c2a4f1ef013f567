// The copy page (CopyPage): copying. While a run is active the wizard offers no navigation and the
// sheet's Cancel is disabled; the page's own Cancel asks the run to stop between two files.
#include <windows.h>
#include <commctrl.h>

#include "common/win_handles.h"
#include "install/install_worker.h"
#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "setup/startup.h"
#include "setup/wizard_frame.h"

namespace {

constexpr DWORD WorkerStackSize = 5000;

void ResetProgress(HWND page) {
  SendDlgItemMessageA(page, IDC_COPY_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendDlgItemMessageA(page, IDC_COPY_PROGRESS, PBM_SETPOS, 0, 0);
  SetDlgItemTextA(page, IDC_COPY_STATUS, "");
}

// Activation: resets the page and starts a new installation run from the first file.
void StartRun(HWND page) {
  RestoreNextCaption(page);  // after an upgrade this page follows the licence page directly
  ResetProgress(page);
  EnableSheetControl(page, IDC_SHEET_CANCEL, false);
  EnableWindow(GetDlgItem(page, IDC_COPY_CANCEL), TRUE);
  PostWizardButtons(page, 0);
  SetupState.cancelRequested = 0;
  CloseRunningProduct();
  // The run reports only through WM_SETUP_PROGRESS and WM_SETUP_DONE and ends by itself; its
  // thread is never waited for.
  UniqueHandle worker(CreateThread(nullptr, WorkerStackSize, InstallWorker, nullptr, 0, nullptr));
  if (worker) return;
  // No thread, no run: the page shows an abandoned run, so that Back and Cancel are offered
  // instead of a wizard without any way on.
  SendMessageA(page, WM_SETUP_PROGRESS, 0, reinterpret_cast<LPARAM>(LoadText(IDS_COPY_CANCELED)));
  SendMessageA(page, WM_SETUP_DONE, 0, 0);
  EnableSheetControl(page, IDC_SHEET_CANCEL, true);
}

void FinishRun(HWND page, bool completed) {
  if (completed) {
    SendMessageA(GetParent(page), PSM_SETCURSEL, OptionsPage, 0);
    return;
  }
  SetupState.cancelRequested = 1;
  EnableWindow(GetDlgItem(page, IDC_COPY_CANCEL), FALSE);
  PostWizardButtons(page, PSWIZB_BACK);
}

}  // namespace

INT_PTR CALLBACK CopyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetTitleFont(page);
      ReloadBanner();
      SendDlgItemMessageA(page, IDC_COPY_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      SetupState.cancelRequested = 0;
      SetupState.copyPageWindow = page;
      EnableSheetControl(page, IDC_SHEET_CANCEL, false);
      return FALSE;
    case WM_SETUP_PROGRESS:
      // The status text belongs to the sender and is valid during this call only.
      SendDlgItemMessageA(page, IDC_COPY_PROGRESS, PBM_SETPOS, wParam, 0);
      SetDlgItemTextA(page, IDC_COPY_STATUS, reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_SETUP_DONE:
      FinishRun(page, wParam != 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_COPY_CANCEL) {
        SetupState.cancelRequested = 1;  // the run stops before its next file
        EnableSheetControl(page, IDC_SHEET_CANCEL, true);
        EnableWindow(GetDlgItem(page, IDC_COPY_CANCEL), FALSE);
        return TRUE;
      }
      break;
    case WM_NOTIFY:
      if (NotificationCode(lParam) == PSN_SETACTIVE) StartRun(page);
      if (NotificationCode(lParam) == PSN_KILLACTIVE) EnableSheetControl(page, IDC_SHEET_CANCEL, true);
      break;
  }
  return HandleCommonPageMessage(page, CopyPage, message, wParam, lParam);
}
