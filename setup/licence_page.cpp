// The licence page (LicencePage): the licence agreement. Next is captioned "I &Accept" while the
// page is shown.
#include "setup/licence_page.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <new>

#include "common/bounded_text.h"
#include "registry/registry_cursor.h"
#include "registry/uninstall_entry.h"
#include "resources/resource_ids.h"
#include "setup/setup_state.h"
#include "setup/wizard_frame.h"
#include "shortcuts/progman.h"

namespace {

constexpr char Blank[] = "";

// Length of the joined agreement, so that the buffer's bound is checked when building.
constexpr size_t JoinedLicenceLength(const char* const* lines, int count) {
  size_t total = 0;
  for (int i = 0; i < count; ++i) {
    for (const char* c = lines[i]; *c; ++c) ++total;
    total += 2;  // CR LF
  }
  return total;
}

constexpr char Version3UninstallPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick3.0";

}  // namespace

// Our own agreement: 26 texts, 6394 characters when joined.
constexpr const char* LicenceLines[LicenceLineCount] = {
    "TARNWICK PRO 5.0 LICENCE AGREEMENT",
    Blank,
    "Please read this licence agreement carefully before you install Tarnwick Pro 5.0. It is a "
    "legal agreement between you (either an individual or a single organisation) and KELM, the "
    "publisher of Tarnwick (\"KELM\"), about the software that this setup program installs, the "
    "printed and electronic documentation that comes with it and any updates KELM supplies for it"
    " (together, the \"Software\"). By choosing I Accept you agree to be bound by the terms "
    "below. If you do not agree to them, choose Cancel and then Exit: nothing will be installed, "
    "and you may return the Software to the place where you obtained it.",
    Blank,
    "1. GRANT OF LICENCE",
    Blank,
    "KELM grants you a non-exclusive, non-transferable licence to install and use one copy of the"
    " Software on one computer at a time. If the Software is installed on the permanent storage "
    "of a computer that is shared by several people, each person who uses it regularly needs a "
    "licence of their own. You may also install a copy on a portable computer that is used mainly"
    " by the same person who uses the first copy, as long as the two copies are never used at the"
    " same time.",
    Blank,
    "2. COPYRIGHT AND OWNERSHIP",
    Blank,
    "The Software is owned by KELM and its suppliers and is protected by copyright laws and "
    "international treaty provisions. The Software is licensed to you, not sold. You must treat "
    "it like any other copyrighted material, except that you may make one copy solely for backup "
    "or archival purposes. You may not copy the printed documentation. All rights not expressly "
    "granted in this agreement, including the rights to the Tarnwick name, its logos and the look"
    " of its windows, remain with KELM and its suppliers.",
    Blank,
    "3. OTHER RESTRICTIONS",
    Blank,
    "You may not rent, lease or lend the Software, and you may not reverse engineer, decompile or"
    " disassemble it except to the extent that the law applicable to you expressly permits this "
    "despite this limitation. You may not remove or change any notice of copyright or trade mark "
    "in the Software. You may transfer all of your rights under this agreement once and "
    "permanently, provided that you keep no copies, that you transfer all of the Software "
    "(including every component, the documentation, any upgrades and this agreement) and that the"
    " recipient agrees to these terms.",
    Blank,
    "4. UPGRADES",
    Blank,
    "If the Software is labelled as an upgrade, you must be properly licensed to use a product "
    "that KELM identifies as being eligible for the upgrade. Software labelled as an upgrade "
    "replaces and supplements the product that made you eligible. You may use the resulting "
    "upgraded product only in accordance with the terms of this agreement, and once you have "
    "installed the upgrade you may no longer use the earlier version on a second computer.",
    Blank,
    "5. LIMITED WARRANTY",
    Blank,
    "KELM warrants that the Software will perform substantially in accordance with its "
    "accompanying documentation for a period of ninety days from the date you received it, and "
    "that the media on which it is supplied are free from defects in materials and workmanship "
    "under normal use during the same period. Any implied warranties on the Software are limited "
    "to ninety days, to the extent that the law applicable to you allows such a limit.",
    Blank,
    "6. CUSTOMER REMEDIES",
    Blank,
    "The entire liability of KELM and your exclusive remedy shall be, at the choice of KELM, "
    "either the return of the price paid or the repair or replacement of the Software that does "
    "not meet the limited warranty and that is returned to KELM with a copy of your receipt. This"
    " limited warranty is void if the failure of the Software results from accident, abuse or "
    "misapplication. Any replacement Software is warranted for the remainder of the original "
    "warranty period or for thirty days, whichever is longer.",
    Blank,
    "7. NO OTHER WARRANTIES",
    Blank,
    "To the maximum extent permitted by applicable law, KELM and its suppliers disclaim all other"
    " warranties, either express or implied, including but not limited to implied warranties of "
    "merchantability and fitness for a particular purpose, with regard to the Software. This "
    "limited warranty gives you specific legal rights; you may have others, which vary from "
    "country to country and from state to state.",
    Blank,
    "8. LIMITATION OF LIABILITY",
    Blank,
    "To the maximum extent permitted by applicable law, in no event shall KELM or its suppliers "
    "be liable for any special, incidental, indirect or consequential damages whatsoever "
    "(including damages for loss of business profits, business interruption, loss of business "
    "information or any other financial loss) arising out of the use of or inability to use the "
    "Software, even if KELM has been advised of the possibility of such damages. In any case the "
    "entire liability of KELM shall be limited to the amount you actually paid for the Software.",
    Blank,
    "9. TERMINATION",
    Blank,
    "Without prejudice to any other rights, KELM may end this agreement if you fail to comply "
    "with its terms and conditions. In that case you must destroy all copies of the Software and "
    "all of its component parts, and you may no longer run any of them. The sections on "
    "ownership, warranties and the limitation of liability continue to apply after the end of "
    "this agreement.",
    Blank,
    "10. SUPPORT AND REGISTRATION",
    Blank,
    "Registering your copy entitles you to information about updates and to the support services "
    "that KELM offers at the time, as they are described in the documentation or on the "
    "registration web page. KELM uses the details you give when registering only to provide these"
    " services and does not pass them on. Support services are provided in accordance with the "
    "policies that KELM publishes from time to time.",
    Blank,
    "11. ENTIRE AGREEMENT",
    Blank,
    "This agreement is governed by the laws of the country in which you acquired the Software. It"
    " is the entire agreement between you and KELM relating to the Software and it supersedes all"
    " prior or contemporaneous oral or written communications, proposals and representations with"
    " respect to the Software or any other subject matter covered by this agreement. If any "
    "provision of this agreement is held to be void, invalid or unenforceable, the remaining "
    "provisions remain in full force and effect.",
    Blank,
    "Should you have any questions concerning this agreement, or if you wish to contact KELM for "
    "any reason, please use the addresses given in the documentation that came with the Software "
    "or on the product's web site.",
    Blank,
    "Tarnwick is a registered trade mark of KELM. Other names belong to their respective owners.",
};
static_assert(JoinedLicenceLength(LicenceLines, LicenceLineCount) < LicenceBufferSize);

bool BuildLicenceText(char* buffer, size_t size) {
  if (size == 0) return false;
  buffer[0] = '\0';
  for (const char* line : LicenceLines) {
    if (!AppendText(buffer, size, line) || !AppendText(buffer, size, "\r\n")) {
      buffer[0] = '\0';
      return false;
    }
  }
  return true;
}

namespace {

void ShowLicence(HWND page) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[LicenceBufferSize]);
  if (!buffer) return;
  BuildLicenceText(buffer.get(), LicenceBufferSize);
  SetDlgItemTextA(page, IDC_LICENCE_TEXT, buffer.get());
  SendDlgItemMessageA(page, IDC_LICENCE_TEXT, EM_SETSEL, 0, 1);
}

// Keeps the sheet's Next caption (at most 29 characters) and captions the button "I &Accept".
void CaptionNextAsAccept(HWND page) {
  HWND sheet = GetParent(page);
  GetDlgItemTextA(sheet, IDC_SHEET_NEXT, SetupState.savedNextCaption, sizeof SetupState.savedNextCaption);
  SetDlgItemTextA(sheet, IDC_SHEET_NEXT, "I &Accept");
}

INT_PTR AcceptLicence(HWND page) {
  // Version 3.0's traces go on every press; a missing key or group is no error.
  DeleteKeyTree(HKEY_LOCAL_MACHINE, Version3UninstallPath);
  ProgmanDeleteGroup("Tarnwick 3.0");
  if (SetupState.previousVersionFound) {
    RetireVersion2();
    // The upgrade goes into the version 2.0 folder: straight to the copy page. The answer 1
    // names no page, so the sheet does not move on by itself.
    SendMessageA(GetParent(page), PSM_SETCURSEL, CopyPage, 0);
    return AnswerNotification(page, 1);
  }
  return AnswerNotification(page, 0);
}

}  // namespace

INT_PTR CALLBACK LicencePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_NOTIFY:
      if (NotificationCode(lParam) == PSN_WIZNEXT) return AcceptLicence(page);
      if (NotificationCode(lParam) == PSN_SETACTIVE) {
        ShowLicence(page);
        CaptionNextAsAccept(page);
        PostWizardButtons(page, PSWIZB_BACK | PSWIZB_NEXT);
      }
      break;
  }
  return HandleCommonPageMessage(page, LicencePage, message, wParam, lParam);
}
