#include "setup/wizard_frame.h"

#include <commctrl.h>

#include <cstddef>
#include <iterator>

#include "resources/resource_ids.h"
#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "setup/setup_state.h"

namespace {

// The banner picture and its sunken frame, in pixels.
constexpr int BannerWidth = 160;
constexpr int BannerHeight = 280;
constexpr int BannerFrameWidth = BannerWidth + 4;
constexpr int BannerFrameHeight = BannerHeight + 4;

// The wizard's pages in sheet order, with what the frame does for each besides creating it:
// banner, the banner is painted left of the title control; frontOnActivate, the sheet comes to
// the front when the program is activated.
struct WizardPage {
  WizardPageIndex index;
  WORD templateId;
  DLGPROC procedure;
  bool banner;
  bool frontOnActivate;
};
constexpr WizardPage WizardPages[] = {
    // index          template         procedure            banner frontOnActivate
    {WelcomePage,     IDD_WELCOME,     WelcomePageProc,     true,  false},
    {LicencePage,     IDD_LICENCE,     LicencePageProc,     false, true},
    {DestinationPage, IDD_DESTINATION, DestinationPageProc, true,  false},
    {CopyPage,        IDD_COPY,        CopyPageProc,        true,  false},
    {OptionsPage,     IDD_OPTIONS,     OptionsPageProc,     true,  true},
    {FinishPage,      IDD_FINISH,      FinishPageProc,      true,  true},
};
static_assert(std::size(WizardPages) == WizardPageCount, "one row for every page");
constexpr bool RowsInPageOrder() {
  for (size_t i = 0; i < std::size(WizardPages); ++i)
    if (WizardPages[i].index != static_cast<WizardPageIndex>(i)) return false;
  return true;
}
static_assert(RowsInPageOrder(), "row i is page i");

// The sheet is built from the first versions of the header and page records, 40 bytes each in
// 32-bit code (pointer-sized fields make them larger in 64-bit code). The page array is walked by
// each record's size, so its elements are the first-version records themselves.
static_assert(sizeof(void*) != 4 || offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(void*) == 40);
static_assert(sizeof(void*) != 4 || sizeof(PROPSHEETPAGEA_V1) == 40);

}  // namespace

int RunWizard(HWND mainWindow) {
  PROPSHEETPAGEA_V1 pages[std::size(WizardPages)];
  for (size_t i = 0; i < std::size(WizardPages); ++i)
    InitWizardPage(&pages[i], WizardPages[i].templateId, WizardPages[i].procedure);

  char caption[200];
  CopyText(caption, LoadText(IDS_SETUP_TITLE));  // LoadText's results are at most 199 characters

  PROPSHEETHEADERA header = {};
  header.dwSize = PROPSHEETHEADERA_V1_SIZE;
  header.dwFlags = PSH_WIZARD | PSH_PROPSHEETPAGE | PSH_USEICONID | PSH_NOAPPLYNOW;
  header.hwndParent = nullptr;
  header.hInstance = SetupState.instance;
  header.pszIcon = MAKEINTRESOURCEA(IDI_SETUP);
  header.pszCaption = caption;
  header.nPages = std::size(pages);
  header.nStartPage = 0;
  header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
  PropertySheetA(&header);

  DestroyWindow(mainWindow);
  return 1;
}

void InitWizardPage(PROPSHEETPAGEA_V1* page, WORD templateId, DLGPROC procedure) {
  *page = {};
  page->dwSize = sizeof *page;
  page->dwFlags = 0;
  page->hInstance = SetupState.instance;
  page->pszTemplate = MAKEINTRESOURCEA(templateId);
  page->pfnDlgProc = procedure;
}

void PaintBanner(HDC dc, HWND page) {
  RECT client, pageRect, titleRect;
  GetClientRect(page, &client);
  GetWindowRect(page, &pageRect);
  GetWindowRect(GetDlgItem(page, IDC_TITLE), &titleRect);
  int top = (client.bottom - BannerFrameHeight) / 2;  // negative on a page lower than the frame
  int strip = titleRect.left - pageRect.left;
  int left = (strip - BannerFrameWidth) / 2;
  RECT frame = {left, top, left + BannerFrameWidth, top + BannerFrameHeight};

  if (!SetupState.bannerBitmap) return;
  {
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    UniqueSelection banner(memory.get(), SelectObject(memory.get(), SetupState.bannerBitmap));
    BitBlt(dc, left + 2, top + 2, BannerWidth, BannerHeight, memory.get(), 0, 0, SRCCOPY);
  }
  DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
}

void CenterWindow(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  int x = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool ConfirmExit() {
  return DialogBoxParamA(SetupState.instance, MAKEINTRESOURCEA(IDD_EXIT_CONFIRM), SetupState.mainWindow,
                         ExitConfirmProc, 0) == IDC_EXIT;
}

INT_PTR CALLBACK ExitConfirmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      CenterWindow(dialog);
      return TRUE;
    case WM_COMMAND:
      // Escape arrives as IDCANCEL and is ignored with every other command.
      if (LOWORD(wParam) == IDC_EXIT || LOWORD(wParam) == IDC_CONTINUE) EndDialog(dialog, LOWORD(wParam));
      return TRUE;
  }
  return FALSE;
}

void SetTitleFont(HWND page) {
  SendDlgItemMessageA(page, IDC_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(SetupState.titleFont), FALSE);
}

void ReloadBanner() {
  if (SetupState.bannerBitmap) DeleteObject(SetupState.bannerBitmap);
  SetupState.bannerBitmap = LoadBitmapA(SetupState.instance, MAKEINTRESOURCEA(IDB_BANNER));
}

INT_PTR PaintPageBanner(HWND page) {
  if (GetUpdateRect(page, nullptr, TRUE)) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(page, &paint);
    PaintBanner(dc, page);
    EndPaint(page, &paint);
  }
  return FALSE;
}

void RestoreNextCaption(HWND page) {
  if (SetupState.savedNextCaption[0] != '\0')
    SetDlgItemTextA(GetParent(page), IDC_SHEET_NEXT, SetupState.savedNextCaption);
}

void PostWizardButtons(HWND page, DWORD buttons) {
  PostMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0, buttons);
}

void EnableSheetControl(HWND page, int id, bool enable) {
  EnableWindow(GetDlgItem(GetParent(page), id), enable);
}

void BringSheetToFront(HWND page) {
  SetForegroundWindow(GetParent(page));
}

INT_PTR AnswerNotification(HWND page, LONG_PTR result) {
  SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR AnswerQueryCancel(HWND page) {
  return AnswerNotification(page, ConfirmExit() ? 0 : 1);
}

INT_PTR HandleCommonPageMessage(HWND page, WizardPageIndex index, UINT message, WPARAM wParam, LPARAM lParam) {
  const WizardPage& row = WizardPages[index];
  switch (message) {
    case WM_PAINT:
      if (row.banner) PaintPageBanner(page);
      return FALSE;
    case WM_ACTIVATEAPP:
      if (wParam && row.frontOnActivate) BringSheetToFront(page);
      return FALSE;
    case WM_NOTIFY:
      switch (NotificationCode(lParam)) {
        case PSN_SETACTIVE:
        case PSN_KILLACTIVE:
          return AnswerNotification(page, 0);
        case PSN_QUERYCANCEL:
          return AnswerQueryCancel(page);
      }
      return FALSE;
  }
  return FALSE;
}
