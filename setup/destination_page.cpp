// The destination page (DestinationPage): the destination folder, shown from
// SetupState.installFolder, typed or picked in the system's folder browser, and taken back from the
// edit control when the page is left. An invalid folder name keeps the wizard on this page, for
// Next and Back alike.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "common/bounded_text.h"
#include "common/format_text.h"
#include "common/path_characters.h"
#include "common/win_handles.h"
#include "resources/resource_ids.h"
#include "setup/folder_name.h"
#include "setup/setup_state.h"
#include "setup/wizard_frame.h"

namespace {

// The destination page while the folder browser runs, so that BrowseCallback can read the
// folder typed in its edit control.
HWND browseOwner = nullptr;

// The edit control's text into installFolder; the limit of 260 bytes keeps at most 259
// characters, a longer text is cut.
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

// Tells the user that installFolder is no valid folder name (IDS_INVALID_FOLDER with the folder,
// caption IDS_INVALID_FOLDER_CAPTION), in a message box owned by the hidden main window.
void ReportInvalidFolder() {
  // IDS_INVALID_FOLDER has 29 characters besides "%s" and the folder at most 259: 320 bytes hold
  // the whole message. FormatText cuts a longer one rather than writing past the buffer.
  char message[320];
  FormatText(message, sizeof message, LoadText(IDS_INVALID_FOLDER), SetupState.installFolder);
  MessageBoxA(SetupState.mainWindow, message, LoadText(IDS_INVALID_FOLDER_CAPTION), MB_ICONEXCLAMATION);
}

// PSN_KILLACTIVE, on Next and on Back: 0 lets the sheet change page, 1 keeps this page. A name
// that passes the check becomes the plain full path it stands for, which the run installs to, the
// field shows and the registry records; a name without one ("C:\", "C:\A \B") is refused like
// an invalid name, and installFolder keeps the text as typed.
INT_PTR LeavePage(HWND page) {
  TakeFolderFromEdit(page);
  char fullPath[MaxPathText];
  if (!IsValidFolderName(SetupState.installFolder) || !MakePlainFullPath(SetupState.installFolder, fullPath)) {
    ReportInvalidFolder();
    return AnswerNotification(page, 1);
  }
  CopyText(SetupState.installFolder, fullPath);
  SetDlgItemTextA(page, IDC_FOLDER_EDIT, fullPath);
  return AnswerNotification(page, 0);
}

// Browser callback: on initialisation, preselects the folder typed on the page. A text that
// names no existing folder leaves the browser's own selection.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM) {
  if (message == BFFM_INITIALIZED) {
    char folder[MaxPathText];
    GetDlgItemTextA(browseOwner, IDC_FOLDER_EDIT, folder, sizeof folder);
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder));
  }
  return 0;
}

// Browse: runs the folder browser and puts the chosen folder's path into the edit control. A
// cancelled browse, or a folder without a file-system path, leaves the edit control as it was.
void BrowseForFolder(HWND page) {
  UniqueCom<IMalloc> allocator;
  if (FAILED(SHGetMalloc(allocator.put())) || !allocator) {
    allocator.release();  // a failed call may leave anything in its out-parameter
    return;
  }
  browseOwner = page;

  // The title buffer is also the browser's display-name buffer, into which the browser writes
  // the chosen folder's display name of up to MAX_PATH characters; it therefore has MAX_PATH
  // bytes although the title needs fewer than 100.
  char title[MAX_PATH];
  if (LoadStringA(SetupState.instance, IDS_BROWSE_TITLE, title, 100) == 0) title[0] = '\0';

  BROWSEINFOA browse = {};
  browse.hwndOwner = page;
  browse.pidlRoot = nullptr;  // the desktop
  browse.pszDisplayName = title;
  browse.lpszTitle = title;
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = BrowseCallback;
  browse.lParam = reinterpret_cast<LPARAM>(page);
  UniqueItemList chosen(allocator.get(), SHBrowseForFolderA(&browse));
  char path[MAX_PATH];
  if (chosen && SHGetPathFromIDListA(chosen.get(), path)) SetDlgItemTextA(page, IDC_FOLDER_EDIT, path);
}

}  // namespace

INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetTitleFont(page);
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_BROWSE && HIWORD(wParam) == BN_CLICKED) {
        BrowseForFolder(page);
        return TRUE;
      }
      break;
    case WM_NOTIFY:
      if (NotificationCode(lParam) == PSN_KILLACTIVE) return LeavePage(page);
      if (NotificationCode(lParam) == PSN_SETACTIVE) ShowFolder(page);
      if (NotificationCode(lParam) == PSN_WIZBACK) {
        TakeFolderFromEdit(page);
        return AnswerNotification(page, 0);
      }
      break;
  }
  return HandleCommonPageMessage(page, DestinationPage, message, wParam, lParam);
}
