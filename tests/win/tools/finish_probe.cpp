// finish_probe: runs the finishing operations in a process of their own, one command each, so
// that a test decides which libraries the process finds beside it. The program imports nothing
// from the common-controls library: its "comctl32.dll" is the one that the probe loads.
//   finish_probe need            prints CommonControlsNeedUpdate(); exit code = the result
//   finish_probe update FOLDER   RunCommonControlsUpdate with FOLDER as install folder; prints ms
//   finish_probe steps FOLDER    the registration steps of Finish (update, RegisterProduct,
//                                EnsureDefaultFtpSite) with FOLDER; prints the seconds taken
//   finish_probe restart 0|1     RestartWindows(0|1), then prints the attributes of the
//                                process's shutdown privilege (2: enabled)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "install/restart_and_web_page.h"
#include "install/version_probes.h"
#include "registry/product_registration.h"
#include "registry/settings_migration.h"
#include "setup/setup_state.h"

namespace {

long ShutdownPrivilegeAttributes() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return -1;
  LUID shutdown = {};
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &shutdown);
  alignas(TOKEN_PRIVILEGES) char buffer[4096];
  DWORD size = 0;
  long attributes = -1;
  if (GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) {
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
      if (privileges->Privileges[i].Luid.LowPart == shutdown.LowPart &&
          privileges->Privileges[i].Luid.HighPart == shutdown.HighPart)
        attributes = static_cast<long>(privileges->Privileges[i].Attributes);
  }
  CloseHandle(token);
  return attributes;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  SetupState.instance = GetModuleHandleA(nullptr);
  if (argc == 2 && std::strcmp(argv[1], "need") == 0) {
    int need = CommonControlsNeedUpdate();
    std::printf("%d\n", need);
    return need;
  }
  if (argc == 3 && (std::strcmp(argv[1], "update") == 0 || std::strcmp(argv[1], "steps") == 0)) {
    std::snprintf(SetupState.installFolder, sizeof SetupState.installFolder, "%s", argv[2]);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    RunCommonControlsUpdate();
    if (argv[1][0] == 's') {
      RegisterProduct();
      EnsureDefaultFtpSite();
    }
    QueryPerformanceCounter(&end);
    std::printf("%.3f\n", Seconds(start, end));
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "restart") == 0) {
    RestartWindows(std::atoi(argv[2]));
    std::printf("%ld\n", ShutdownPrivilegeAttributes());
    return 0;
  }
  std::fprintf(stderr, "usage: finish_probe need | update FOLDER | steps FOLDER | restart 0|1\n");
  return 2;
}
