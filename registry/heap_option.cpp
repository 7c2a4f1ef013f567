#include "registry/heap_option.h"

#include "registry/registry_cursor.h"

namespace {

constexpr char NtCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char OptionsName[] = "Image File Execution Options";

}  // namespace

void SetHeapLookasideOption() {
  if (!RegistryCursor.OpenForRead(HKEY_LOCAL_MACHINE, NtCurrentVersion, OptionsName))
    RegistryCursor.CreateKey(HKEY_LOCAL_MACHINE, NtCurrentVersion, OptionsName);
  RegistryCursor.Close();
  for (const char* program : HeapOptionPrograms) {
    RegistryCursor.CreateKey(HKEY_LOCAL_MACHINE, ExecutionOptionsPath, program);
    RegistryCursor.SetString(HeapOptionName, "1");  // a text, not a number
    RegistryCursor.Close();
  }
}
