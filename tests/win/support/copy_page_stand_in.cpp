#include "support/copy_page_stand_in.h"

#include "install/install_worker.h"
#include "resources/resource_ids.h"
#include "setup/setup_state.h"

namespace {

constexpr char SheetClass[] = "TwTestSheet";
constexpr char PageClass[] = "TwTestCopyPage";
constexpr int MessageBoxTextId = 0xFFFF;  // the message box's text control

struct ActiveRun {
  InstallRunRecord* record;
  const InstallRunScript* script;
  LARGE_INTEGER start;
  LARGE_INTEGER frequency;
};
ActiveRun* activeRun = nullptr;

double SecondsSinceStart() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart - activeRun->start.QuadPart) / double(activeRun->frequency.QuadPart);
}

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (activeRun && message == WM_SETUP_PROGRESS) {
    InstallRunRecord& record = *activeRun->record;
    record.progress.push_back(
        {static_cast<uint32_t>(wParam), reinterpret_cast<const char*>(lParam), SecondsSinceStart()});
    if (activeRun->script->onProgress) activeRun->script->onProgress(record.progress.size() - 1, record.progress.back());
    return 0;
  }
  if (activeRun && message == WM_SETUP_DONE) {
    InstallRunRecord& record = *activeRun->record;
    if (record.done.empty()) record.secondsToDone = SecondsSinceStart();
    record.done.push_back(static_cast<int>(wParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterClasses(HINSTANCE instance) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA sheet = {};
  sheet.lpfnWndProc = DefWindowProcA;
  sheet.hInstance = instance;
  sheet.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  sheet.lpszClassName = SheetClass;
  RegisterClassA(&sheet);
  WNDCLASSA page = sheet;
  page.lpfnWndProc = PageProc;
  page.lpszClassName = PageClass;
  RegisterClassA(&page);
  registered = true;
}

BOOL CALLBACK FindDialogOfThread(HWND window, LPARAM found) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpA(className, "#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

std::string WindowText(HWND window) {
  char text[2048] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

}  // namespace

InstallRunRecord RunInstallWorker(const InstallRunScript& script) {
  InstallRunRecord record;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterClasses(instance);
  DWORD style = WS_OVERLAPPEDWINDOW | (script.visible ? WS_VISIBLE : 0);
  record.sheet = CreateWindowExA(0, SheetClass, "Copy page stand-in", style, 40, 40, 520, 360, nullptr, nullptr,
                                 instance, nullptr);
  record.page = CreateWindowExA(0, PageClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 500, 250, record.sheet, nullptr,
                                instance, nullptr);
  HWND sheetCancel = CreateWindowExA(0, "BUTTON", "Cancel", WS_CHILD | WS_VISIBLE | WS_DISABLED, 400, 270, 80, 24,
                                     record.sheet, reinterpret_cast<HMENU>(IDC_SHEET_CANCEL), instance, nullptr);

  SetupState.instance = instance;
  SetupState.copyPageWindow = record.page;
  SetupState.cancelRequested = 0;

  ActiveRun run{&record, &script, {}, {}};
  activeRun = &run;
  QueryPerformanceFrequency(&run.frequency);
  QueryPerformanceCounter(&run.start);
  DWORD workerId = 0;
  HANDLE worker = CreateThread(nullptr, 5000, InstallWorker, nullptr, 0, &workerId);
  DWORD startTick = GetTickCount();
  HWND answeredBox = nullptr;
  size_t nextAnswer = 0;
  while (worker) {
    DWORD wait = MsgWaitForMultipleObjects(1, &worker, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (wait == WAIT_OBJECT_0) {
      record.finished = true;
      break;
    }
    if (GetTickCount() - startTick > script.timeoutMs) {
      TerminateThread(worker, 1);  // a hung run; the test fails on record.finished
      break;
    }
    if (answeredBox && IsWindow(answeredBox)) continue;  // the answered box is still closing
    answeredBox = nullptr;
    HWND box = nullptr;
    EnumThreadWindows(workerId, FindDialogOfThread, reinterpret_cast<LPARAM>(&box));
    if (!box || !IsWindowVisible(box)) continue;
    int answer = nextAnswer < script.answers.size() ? script.answers[nextAnswer++] : IDCANCEL;
    record.boxes.push_back({WindowText(box), WindowText(GetDlgItem(box, MessageBoxTextId)),
                            GetWindow(box, GW_OWNER), record.progress.size(), answer});
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    answeredBox = box;
  }
  if (worker) CloseHandle(worker);
  activeRun = nullptr;
  record.sheetCancelEnabled = IsWindowEnabled(sheetCancel) != 0;
  DestroyWindow(record.sheet);
  SetupState.copyPageWindow = nullptr;
  return record;
}
