// finish_bench: the time from Finish to the end of the program, without and with the 5-second
// pause of a needed common-controls update.
// 1. The real setup.exe, walked to the finish page: from the click on Finish to the end of the
//    process (Wine's common controls are 5.81: no update). Three rounds, the best counts.
// 2. The same registration steps (RunCommonControlsUpdate, RegisterProduct,
//    EnsureDefaultFtpSite) in tools/finish_probe.exe, once with Wine's library and once beside a
//    4.72 stand-in of it, so that the update runs: only there can the update be needed, since
//    setup.exe itself loads Wine's library for its wizard. Three rounds each, the best counts.
// Exit code 0 when every round completed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "setup/wizard_pages.h"
#include "support/finish_support.h"
#include "support/setup_session.h"

namespace {

constexpr int Rounds = 3;
constexpr char InstallFolder[] = "C:\\Program Files\\KELM\\Tarnwick";

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// One walk through the wizard; the seconds from Finish to the end of setup.exe, or -1.
double FinishSetup() {
  LaunchedProgram program;
  std::string failure;
  HWND sheet = StartWizard(program, &failure);
  if (sheet == nullptr || !WalkToPage(sheet, FinishPage)) return -1;
  WaitForInputIdle(program.process, 3000);
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  if (!ClickControl(sheet, SheetFinish, StartWaitMs)) return -1;
  DWORD exitCode = 0;
  if (!WaitForExit(program, 60000, &exitCode) || exitCode != 1) return -1;
  QueryPerformanceCounter(&end);
  return Seconds(start, end);
}

// The registration steps in finish_probe from folder; the seconds it reports, or -1.
double FinishSteps(const std::string& folder) {
  std::string output;
  DWORD exitCode = 1;
  if (!RunCaptured(folder + "\\finish_probe.exe steps \"" + InstallFolder + "\"", folder.c_str(), 60000, &output,
                   &exitCode) ||
      exitCode != 0)
    return -1;
  return std::atof(output.c_str());
}

template <typename Run>
double Best(Run run) {
  double best = 1e9;
  for (int i = 0; i < Rounds; ++i) {
    double seconds = run();
    if (seconds < 0) return -1;
    best = std::min(best, seconds);
  }
  return best;
}

}  // namespace

int main() {
  MakeWindowsShellKeys();
  const double setup = Best(FinishSetup);
  std::printf("setup.exe, Finish to the end of the program (no update needed): %.3f s, best of %d\n", setup, Rounds);

  // finish_probe beside a 4.72 stand-in of the common-controls library, which Wine is told to load.
  const std::string old = "C:\\bench\\old";
  bool ready = MakeFolders(old.c_str()) &&
               CopyFileA("S:\\finish_probe.exe", (old + "\\finish_probe.exe").c_str(), FALSE) &&
               CopyFileA("S:\\comctl\\v472\\comctl32.dll", (old + "\\comctl32.dll").c_str(), FALSE) &&
               PutRegistryText(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\finish_probe.exe\\DllOverrides",
                               "comctl32", "native,builtin");
  const double plain = Best([] { return FinishSteps("S:"); });
  const double updating = ready ? Best([&] { return FinishSteps(old); }) : -1;
  std::printf("Finish steps without an update: %.3f s, best of %d\n", plain, Rounds);
  std::printf("Finish steps with a needed update (library 4.72): %.3f s, best of %d (the pause is 5 s)\n", updating,
              Rounds);
  return setup < 0 || plain < 0 || updating < 0;
}
