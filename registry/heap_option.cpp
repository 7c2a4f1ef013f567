#include "registry/heap_option.h"

#include "registry/registry_cursor.h"

namespace {

constexpr char NtCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char OptionsName[] = "Image File Execution Options";
constexpr char OptionsPath[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
// The system reads a program's options from the subkey named by its file name, in lower case.
constexpr const char* ProgramNames[] = {"twexplo.exe", "twick.exe"};

}  // namespace

void SetHeapLookasideOption() {
  if (!RegistryCursor.OpenForRead(HKEY_LOCAL_MACHINE, NtCurrentVersion, OptionsName))
    RegistryCursor.CreateKey(HKEY_LOCAL_MACHINE, NtCurrentVersion, OptionsName);
  RegistryCursor.Close();
  for (const char* program : ProgramNames) {
    RegistryCursor.CreateKey(HKEY_LOCAL_MACHINE, OptionsPath, program);
    RegistryCursor.SetString("DisableHeapLookAside", "1");  // a text, not a number
    RegistryCursor.Close();
  }
}
