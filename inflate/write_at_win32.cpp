// setup.exe: InflateStream.outputFile is a Win32 file handle.
#include <windows.h>

#include "inflate/inflate.h"

int WriteAt(const uint8_t* buffer, uint32_t offset, uint32_t count) {
  HANDLE file = static_cast<HANDLE>(InflateStream.outputFile);
  if (SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return 0;
  DWORD written = 0;
  if (!WriteFile(file, buffer, count, &written, nullptr)) return 0;
  return written == count;
}
