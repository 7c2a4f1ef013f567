// uidriver: drives the setup wizard from the command line, one command per invocation, for
// scripts that walk the wizard headlessly (make run; run it in the same Wine prefix as setup.exe).
// The Windows tests use the same functions (ui_driver.h) directly.
//
//   uidriver wait-sheet [SECONDS]           wait for the wizard; print its caption
//   uidriver page                           print the current page index (0 welcome .. 5 finish)
//   uidriver wait-page N [SECONDS]          wait until page N is shown
//   uidriver select-page N                  show page N (PSM_SETCURSEL)
//   uidriver click next|back|finish|cancel [SECONDS]
//                                           wait until that sheet button is enabled and visible,
//                                           then click it (posted)
//   uidriver press ID [SECONDS]             the same for control ID of the current page
//                                           (1065 Browse, 110 copy Cancel, 1069 Register)
//   uidriver buttons                        print the sheet's buttons, e.g.
//                                           "back=disabled next=enabled finish=hidden cancel=enabled"
//   uidriver text ID                        print the text of control ID of the current page, or
//                                           of the sheet (12324 is Next)
//   uidriver set-text ID TEXT               set the text of control ID of the current page
//   uidriver check ID [on|off]              print (or set) the state of check box ID: on, off
//   uidriver wait-window TARGET [SECONDS]   wait for that top-level window
//   uidriver control-text TARGET ID         print the text of control ID of that window
//   uidriver wait-gone CAPTION [SECONDS]    wait until no window has that caption
//   uidriver message CAPTION [SECONDS]      print the text of that message box
//   uidriver answer CAPTION ID [SECONDS]    wait for that window, click its button ID
//                                           (message boxes: 1 OK, 2 Cancel, 6 Yes, 7 No;
//                                           the exit confirmation: 108 Exit, 109 Continue)
//   uidriver key CAPTION escape|return      post a key press to that window
//   uidriver rect [TARGET]                  print WIDTHxHEIGHT+X+Y of the target
//   uidriver screenshot FILE [TARGET]       save a BMP of the target (FILE on a drive, e.g. T:\a.bmp)
//   uidriver set-version EXE VERSION        Windows version Wine reports to EXE (win31, win98,
//                                           nt40, ...; "default" removes the setting)
//   uidriver link PATH                      print what the shell reads from the link file PATH:
//                                           "target|arguments|comment"
//
// CAPTION is a window's exact caption, or its beginning followed by '*' ("Quit Tarnwick*").
// TARGET is @sheet (the default), @screen, @class:NAME (a visible window of that class), or a
// CAPTION. Waits default to 10 seconds.
// Exit code: 0 done, 1 not found / timed out / failed, 2 wrong usage.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/uidriver/ui_driver.h"

namespace {

int Usage() {
  fprintf(stderr, "uidriver: wrong usage; the commands are listed at the top of uidriver.cpp\n");
  return 2;
}

int Fail(const char* what) {
  fprintf(stderr, "uidriver: %s\n", what);
  return 1;
}

DWORD WaitArgument(int argc, char** argv, int index) {
  if (index >= argc) return DefaultWaitMs;
  return DWORD(atof(argv[index]) * 1000);
}

bool ParseNumber(const char* text, int* value) {
  char* end = nullptr;
  long number = strtol(text, &end, 10);
  if (end == text || *end != '\0') return false;
  *value = int(number);
  return true;
}

HWND Sheet(DWORD waitMs = 2000) {
  return WaitForWizardSheet(waitMs);
}

// The current page if it holds control id, else the sheet.
HWND OwnerOfControl(HWND sheet, int id) {
  HWND page = CurrentPage(sheet);
  if (page && GetDlgItem(page, id)) return page;
  return sheet;
}

HWND Target(const char* name, DWORD waitMs = 2000) {
  if (strcmp(name, "@screen") == 0) return nullptr;
  if (strcmp(name, "@sheet") == 0) return Sheet(waitMs);
  constexpr char ClassPrefix[] = "@class:";
  if (strncmp(name, ClassPrefix, sizeof ClassPrefix - 1) == 0) {
    const char* className = name + sizeof ClassPrefix - 1;
    for (DWORD waited = 0;; waited += 50) {
      HWND found = FindWindowA(className, nullptr);
      if (found != nullptr && IsWindowVisible(found)) return found;
      if (waited >= waitMs) return nullptr;
      Sleep(50);
    }
  }
  return WaitForTopWindow(name, waitMs);
}

const char* Describe(ButtonState state) {
  if (!state.exists) return "missing";
  if (!state.visible) return "hidden";
  return state.enabled ? "enabled" : "disabled";
}

int SheetButtonId(const char* name) {
  if (strcmp(name, "next") == 0) return SheetNext;
  if (strcmp(name, "back") == 0) return SheetBack;
  if (strcmp(name, "finish") == 0) return SheetFinish;
  if (strcmp(name, "cancel") == 0) return SheetCancel;
  return 0;
}

// ---- Commands on windows in general (sheet is null) ----

int WaitSheet(int argc, char** argv, HWND) {
  HWND sheet = WaitForWizardSheet(WaitArgument(argc, argv, 2));
  if (!sheet) return Fail("no wizard");
  printf("%s\n", WindowText(sheet).c_str());
  return 0;
}

int SetVersion(int, char** argv, HWND) {
  bool ok = SetWineVersion(argv[2], strcmp(argv[3], "default") == 0 ? nullptr : argv[3]);
  return ok ? 0 : Fail("cannot write the Wine version setting");
}

int WaitWindow(int argc, char** argv, HWND) {
  return Target(argv[2], WaitArgument(argc, argv, 3)) ? 0 : Fail("no such window");
}

int ControlTextCommand(int, char** argv, HWND) {
  int id;
  if (!ParseNumber(argv[3], &id)) return Usage();
  HWND window = Target(argv[2]);
  if (!window || !GetDlgItem(window, id)) return Fail("no such control");
  printf("%s\n", ControlText(window, id).c_str());
  return 0;
}

int WaitGone(int argc, char** argv, HWND) {
  HWND window = FindTopWindow(argv[2]);
  return !window || WaitForWindowGone(window, WaitArgument(argc, argv, 3)) ? 0 : Fail("the window stays");
}

int Message(int argc, char** argv, HWND) {
  HWND box = WaitForTopWindow(argv[2], WaitArgument(argc, argv, 3));
  if (!box) return Fail("no such window");
  printf("%s\n", MessageText(box).c_str());
  return 0;
}

int Answer(int argc, char** argv, HWND) {
  int id;
  if (!ParseNumber(argv[3], &id)) return Usage();
  HWND box = WaitForTopWindow(argv[2], WaitArgument(argc, argv, 4));
  if (!box) return Fail("no such window");
  return ClickControl(box, id, 2000) ? 0 : Fail("the button cannot be clicked");
}

int Key(int, char** argv, HWND) {
  UINT key = strcmp(argv[3], "escape") == 0 ? VK_ESCAPE : strcmp(argv[3], "return") == 0 ? VK_RETURN : 0;
  if (!key) return Usage();
  HWND window = WaitForTopWindow(argv[2], 2000);
  if (!window) return Fail("no such window");
  return PostKey(window, key) ? 0 : Fail("cannot post the key");
}

int Rect(int argc, char** argv, HWND) {
  HWND window = Target(argc >= 3 ? argv[2] : "@sheet");
  if (argc >= 3 && strcmp(argv[2], "@screen") == 0) {
    printf("%dx%d+0+0\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return 0;
  }
  if (!window) return Fail("no such window");
  RECT r = WindowRect(window);
  printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
  return 0;
}

int Screenshot(int argc, char** argv, HWND) {
  const char* target = argc >= 4 ? argv[3] : "@sheet";
  HWND window = Target(target);
  if (!window && strcmp(target, "@screen") != 0) return Fail("no such window");
  return SaveScreenshot(window, argv[2]) ? 0 : Fail("cannot save the picture");
}

int Link(int, char** argv, HWND) {
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return Fail("no shell link object");
  IPersistFile* file = nullptr;
  wchar_t path[MAX_PATH];
  bool loaded = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                MultiByteToWideChar(CP_ACP, 0, argv[2], -1, path, MAX_PATH) && SUCCEEDED(file->Load(path, STGM_READ));
  char target[MAX_PATH] = "", arguments[1024] = "", comment[1024] = "";
  if (loaded) {
    link->GetPath(target, sizeof target, nullptr, 0);
    link->GetArguments(arguments, sizeof arguments);
    link->GetDescription(comment, sizeof comment);
    printf("%s|%s|%s\n", target, arguments, comment);
  }
  if (file) file->Release();
  link->Release();
  return loaded ? 0 : Fail("the link cannot be read");
}

// ---- Commands on the wizard (sheet is the wizard's sheet) ----

int Page(int, char**, HWND sheet) {
  printf("%d\n", CurrentPageIndex(sheet));
  return 0;
}

int WaitPage(int argc, char** argv, HWND sheet) {
  int index;
  if (!ParseNumber(argv[2], &index)) return Usage();
  return WaitForPage(sheet, index, WaitArgument(argc, argv, 3)) ? 0 : Fail("the page is not shown");
}

int SelectPageCommand(int, char** argv, HWND sheet) {
  int index;
  if (!ParseNumber(argv[2], &index)) return Usage();
  return SelectPage(sheet, index) ? 0 : Fail("the sheet refused the page");
}

int Click(int argc, char** argv, HWND sheet) {
  int id = SheetButtonId(argv[2]);
  if (!id) return Usage();
  return ClickControl(sheet, id, WaitArgument(argc, argv, 3)) ? 0 : Fail("the button cannot be clicked");
}

int Press(int argc, char** argv, HWND sheet) {
  int id;
  if (!ParseNumber(argv[2], &id)) return Usage();
  HWND page = CurrentPage(sheet);
  return page && ClickControl(page, id, WaitArgument(argc, argv, 3)) ? 0 : Fail("the button cannot be clicked");
}

int Buttons(int, char**, HWND sheet) {
  printf("back=%s next=%s finish=%s cancel=%s\n", Describe(GetButtonState(sheet, SheetBack)),
         Describe(GetButtonState(sheet, SheetNext)), Describe(GetButtonState(sheet, SheetFinish)),
         Describe(GetButtonState(sheet, SheetCancel)));
  return 0;
}

int Text(int, char** argv, HWND sheet) {
  int id;
  if (!ParseNumber(argv[2], &id)) return Usage();
  HWND owner = OwnerOfControl(sheet, id);
  if (!GetDlgItem(owner, id)) return Fail("no such control");
  printf("%s\n", ControlText(owner, id).c_str());
  return 0;
}

int SetText(int, char** argv, HWND sheet) {
  int id;
  if (!ParseNumber(argv[2], &id)) return Usage();
  return SetControlText(OwnerOfControl(sheet, id), id, argv[3]) ? 0 : Fail("cannot set the text");
}

int Check(int argc, char** argv, HWND sheet) {
  int id;
  if (!ParseNumber(argv[2], &id)) return Usage();
  HWND page = CurrentPage(sheet);
  if (argc == 4) {
    int want = strcmp(argv[3], "on") == 0 ? BST_CHECKED : strcmp(argv[3], "off") == 0 ? BST_UNCHECKED : -1;
    if (want < 0) return Usage();
    if (CheckState(page, id) != want && !ClickControl(page, id, 2000)) return Fail("cannot click the box");
    return 0;
  }
  int state = CheckState(page, id);
  if (state < 0) return Fail("no such check box");
  printf("%s\n", state == BST_CHECKED ? "on" : state == BST_UNCHECKED ? "off" : "indeterminate");
  return 0;
}

// One row a command: the argument counts it takes (argc, the program name and the command
// included; AnyCount for no upper limit) and whether it works on the wizard. A wizard command
// first finds the sheet ("no wizard" when there is none), then checks its arguments.
constexpr int AnyCount = 1 << 30;
struct Command {
  const char* name;
  int minArgc, maxArgc;
  bool onWizard;
  int (*run)(int argc, char** argv, HWND sheet);
};
constexpr Command kCommands[] = {
    {"wait-sheet", 2, AnyCount, false, WaitSheet},
    {"set-version", 4, 4, false, SetVersion},
    {"wait-window", 3, AnyCount, false, WaitWindow},
    {"wait-gone", 3, AnyCount, false, WaitGone},
    {"message", 3, AnyCount, false, Message},
    {"control-text", 4, 4, false, ControlTextCommand},
    {"answer", 4, AnyCount, false, Answer},
    {"key", 4, 4, false, Key},
    {"rect", 2, AnyCount, false, Rect},
    {"screenshot", 3, AnyCount, false, Screenshot},
    {"link", 3, 3, false, Link},
    {"page", 2, AnyCount, true, Page},
    {"wait-page", 3, AnyCount, true, WaitPage},
    {"select-page", 3, 3, true, SelectPageCommand},
    {"click", 3, AnyCount, true, Click},
    {"press", 3, AnyCount, true, Press},
    {"buttons", 2, AnyCount, true, Buttons},
    {"text", 3, 3, true, Text},
    {"set-text", 4, 4, true, SetText},
    {"check", 3, 4, true, Check},
};

int Run(int argc, char** argv) {
  if (argc < 2) return Usage();
  for (const Command& command : kCommands) {
    if (strcmp(argv[1], command.name) != 0) continue;
    HWND sheet = nullptr;
    if (command.onWizard && !(sheet = Sheet())) return Fail("no wizard");
    if (argc < command.minArgc || argc > command.maxArgc) return Usage();
    return command.run(argc, argv, sheet);
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  int code = Run(argc, argv);
  fflush(stdout);
  return code;
}
