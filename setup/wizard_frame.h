// The wizard: a property sheet of six pages, and what the pages share (title font, banner,
// Next caption, wizard buttons, notification answers, the exit confirmation).
#pragma once
#include <windows.h>
#include <prsht.h>

#include "setup/wizard_pages.h"

// Runs the six-page wizard modally (welcome, licence, destination, copy, options, finish) with
// the caption IDS_SETUP_TITLE and icon 100; when the sheet has closed, destroys mainWindow. Returns 1.
int RunWizard(HWND mainWindow);

// Fills page (the 40-byte first version of the record) for the dialog template templateId with
// the dialog procedure procedure; no title, no callback.
void InitWizardPage(PROPSHEETPAGEA_V1* page, WORD templateId, DLGPROC procedure);

// Draws SetupState.bannerBitmap into dc with a sunken frame of 164 x 284 pixels, centred
// vertically in page's client area and horizontally in the strip left of the title control
// (104). Draws nothing when no banner is loaded.
void PaintBanner(HDC dc, HWND page);

// Moves window to the centre of the screen without sizing, reordering or activating it.
void CenterWindow(HWND window);

// Runs the exit confirmation (dialog 107, owner SetupState.mainWindow). True for Exit, false
// for Continue.
bool ConfirmExit();

// Dialog procedure of the exit confirmation: only its two buttons end it (Escape is ignored).
INT_PTR CALLBACK ExitConfirmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The pages' dialog procedures, in page order. Each answers what is its own and leaves the rest
// to HandleCommonPageMessage.
INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LicencePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The arms every page shares, for the messages a page procedure does not answer itself. What
// differs between pages comes from the page table row of index: WM_PAINT paints the banner
// (PaintPageBanner) on pages with a banner; WM_ACTIVATEAPP for an activation brings the sheet to
// the front on pages that ask for it. On every page PSN_SETACTIVE and PSN_KILLACTIVE are answered
// 0 (the page may be shown, the sheet may change page), so a page procedure that only has work to
// do for them does it and leaves the answer to this function; PSN_QUERYCANCEL is answered with
// AnswerQueryCancel. Everything else, and WM_PAINT and WM_ACTIVATEAPP too, returns FALSE (not
// handled), so the dialog's own handling goes on.
INT_PTR HandleCommonPageMessage(HWND page, WizardPageIndex index, UINT message, WPARAM wParam, LPARAM lParam);

// Page helpers. "page" is a page window; its parent is the sheet.

// The notification code of WM_NOTIFY's lParam.
inline UINT NotificationCode(LPARAM lParam) { return reinterpret_cast<const NMHDR*>(lParam)->code; }

// Puts SetupState.titleFont on the page's title control (104), without redrawing.
void SetTitleFont(HWND page);
// Replaces SetupState.bannerBitmap by a freshly loaded bitmap 111 (the old one is deleted), so
// at most one banner bitmap exists.
void ReloadBanner();
// WM_PAINT of a page with a banner: paints it when there is an update region. Returns FALSE
// (not handled), so the dialog's own painting goes on.
INT_PTR PaintPageBanner(HWND page);
// Writes SetupState.savedNextCaption back to the sheet's Next button when it is not empty.
void RestoreNextCaption(HWND page);
// Posts PSM_SETWIZBUTTONS (PSWIZB_BACK 1, PSWIZB_NEXT 2, PSWIZB_FINISH 4) to the sheet.
void PostWizardButtons(HWND page, DWORD buttons);
// Enables or disables a control of the sheet (e.g. its Cancel button, id 2).
void EnableSheetControl(HWND page, int id, bool enable);
// Brings the sheet to the foreground.
void BringSheetToFront(HWND page);
// Answers a property-sheet notification with result through DWLP_MSGRESULT; returns TRUE.
INT_PTR AnswerNotification(HWND page, LONG_PTR result);
// PSN_QUERYCANCEL: asks ConfirmExit; answers 0 (let the sheet close) for Exit, 1 for Continue.
INT_PTR AnswerQueryCancel(HWND page);
