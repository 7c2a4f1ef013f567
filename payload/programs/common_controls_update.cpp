// 50comupd.exe: the setup program's stand-in for the platform's common-controls update package.
// It installs nothing. Each run appends its arguments as one line to "50comupd.log" in the
// temporary folder, so that a run can be seen afterwards; with "/Q" it shows nothing and exits,
// without it a message box says what it is.
#include <windows.h>

#include "common/command_line.h"
#include "common/format_text.h"
#include "common/text_file.h"

namespace {

void RecordRun(const char* arguments) {
  char folder[MAX_PATH];
  DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) return;
  char log[MAX_PATH + 16];
  FormatText(log, sizeof log, "%s50comupd.log", folder);
  TextFile file;
  if (!file.Open(log, TextFile::Append)) return;
  file.Put(arguments);
  file.Put('\n');
}

bool IsQuiet(const char* arguments) {
  for (const char* p = arguments; *p != '\0'; ++p)
    if (p[0] == '/' && (p[1] == 'Q' || p[1] == 'q') && (p[2] == '\0' || p[2] == ' ')) return true;
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* arguments = CommandLineArguments(GetCommandLineA());
  RecordRun(arguments);
  if (!IsQuiet(arguments))
    MessageBoxA(nullptr, "This is the Tarnwick setup program's stand-in for the common-controls update package. "
                "It installs nothing.", "Common Controls Update", MB_OK | MB_ICONINFORMATION);
  return 0;
}
