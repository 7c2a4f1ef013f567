#include "install/write_entry_file.h"

#include <windows.h>

#include "inflate/inflate.h"
#include "install/active_run.h"

namespace {

// Writes the entry's data into the open, empty InflateStream.outputFile and checks the result
// against the local header. Returns 1 when the file holds exactly the entry's bytes.
int FillEntryFile(const PayloadData& data) {
  InflateStream.consumed = 0;
  InflateStream.input = data.data;
  InflateStream.inputLength = static_cast<int32_t>(data.length);

  uint32_t writtenCrc = 0;
  uint32_t writtenSize = 0;
  if (data.method == 0) {
    // Stored: the data are the file; one write of the whole compressed size.
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(InflateStream.outputFile), data.data, data.length, &written, nullptr))
      return 0;
    if (written != data.length) return 0;
    writtenCrc = Crc32Update(0, data.data, data.length);
    writtenSize = written;
  } else {
    if (!InflateEntry()) return 0;
    writtenCrc = InflateStream.outputCrc;
    writtenSize = InflateStream.outputSize;
  }
  // A damaged image must not pass as the product's file.
  return writtenCrc == data.crc32 && writtenSize == data.uncompressedSize;
}

}  // namespace

int WriteEntryFile(const char* targetPath, const PayloadEntry& entry) {
  // Noted for the end of the program, which removes a file that a run could not finish.
  NoteFileBeingWritten(targetPath);
  HANDLE file = CreateFileA(targetPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ForgetFileBeingWritten();
    return 0;
  }
  NoteFileHandle(file);
  InflateStream.outputFile = file;

  int written = FillEntryFile(LocatePayloadData(entry.archive));
  if (written) ForgetFileBeingWritten();  // whole: the end of the program leaves it alone
  if (!CloseHandle(file)) written = 0;
  ForgetFileBeingWritten();
  InflateStream.outputFile = nullptr;
  // This call created the file, so removing it takes nothing that was there before.
  if (!written) DeleteFileA(targetPath);
  return written;
}
