// hold_file PATH EVENT: opens the existing file PATH for reading and writing with no sharing,
// sets the named event EVENT when the file is held, and keeps it open until the process is
// ended. Exit code 2 when the file cannot be opened, 3 when the event cannot be set.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  if (!held || !SetEvent(held)) return 3;
  Sleep(INFINITE);
  return 0;
}
