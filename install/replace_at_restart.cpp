// Replacement at restart: the NT delayed move and the 9x "[Rename]" section of WININIT.INI.
#include "install/replace_at_restart.h"

#include <windows.h>

#include <cstring>

#include "common/format_text.h"
#include "common/path_characters.h"
#include "common/text_compare.h"
#include "common/text_file.h"
#include "setup/setup_state.h"

namespace {

static_assert((MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) == 5);

// The 9x start-up deletes the file of a "[Rename]" line whose target is this device.
constexpr char DeletedTarget[] = "NUL";

constexpr char RenameHeader[] = "[Rename]";
constexpr size_t RenameHeaderLength = sizeof RenameHeader - 1;  // 8: the rest of the line is ignored
constexpr int LineSize = 300;  // a longer line is read and copied in pieces of 299 characters

// "FOLDER\NAME" in the Windows folder; false when it does not fit in 259 characters.
bool WindowsFilePath(const char* name, char* path, size_t size) {
  char folder[MaxPathText];
  UINT length = GetWindowsDirectoryA(folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) return false;
  const char* separator = EndsWithBackslash(folder) ? "" : "\\";
  int written = FormatText(path, size, "%s%s%s", folder, separator, name);
  return written > 0 && static_cast<size_t>(written) < size;
}

// The 8.3 path of an existing file; false when the system gives none that fits.
bool ShortPath(const char* path, char* shortPath) {
  DWORD length = GetShortPathNameA(path, shortPath, MaxPathText);
  return length > 0 && length < MaxPathText;
}

// The entry line "TARGET=REPLACEMENT".
void PutEntry(TextFile* out, const char* target, const char* replacement) {
  out->Put(target);
  out->Put('=');
  out->Put(replacement);
  out->Put('\n');
}

void PutHeader(TextFile* out) {
  out->Put(RenameHeader);
  out->Put('\n');
}

// A new "WININIT.INI" of the header and the entry. One that could not be written whole goes.
// True when it was written whole.
bool CreateWininit(const char* wininit, const char* shortTarget, const char* shortReplacement) {
  TextFile out;
  if (!out.Open(wininit, TextFile::Create)) return false;
  PutHeader(&out);
  PutEntry(&out, shortTarget, shortReplacement);
  if (out.Close()) return true;
  DeleteFileA(wininit);
  return false;
}

// Copies in to out with the entry on the line after the first "[Rename]" header, or appended
// under a new header when there is none. A line longer than 299 characters comes in pieces:
// only a piece that begins a line is tested for the header, and the entry follows the piece
// that ends the header line, so it never lands inside a line. False when reading failed.
bool CopyWithEntry(TextFile* in, TextFile* out, const char* shortTarget, const char* shortReplacement) {
  enum { Searching, InHeaderLine, Written } state = Searching;
  char line[LineSize];
  bool atLineStart = true;
  while (in->ReadLine(line, sizeof line)) {
    out->Put(line);
    if (state == Searching && atLineStart && CompareNoCase(line, RenameHeader, RenameHeaderLength) == 0)
      state = InHeaderLine;
    size_t length = strlen(line);
    atLineStart = length > 0 && line[length - 1] == '\n';
    if (state == InHeaderLine && atLineStart) {
      PutEntry(out, shortTarget, shortReplacement);
      state = Written;
    }
  }
  if (in->Failed()) return false;
  // A header that is the last line and has no line end gets one before the entry.
  if (state == InHeaderLine) {
    out->Put('\n');
    PutEntry(out, shortTarget, shortReplacement);
  }
  // The line end closes a last line without one, or leaves an empty line after one that has it.
  if (state == Searching) {
    out->Put('\n');
    PutHeader(out);
    PutEntry(out, shortTarget, shortReplacement);
  }
  return true;
}

// True when "WININIT.INI" holds the entry afterwards.
bool AddRenameEntry(const char* shortTarget, const char* shortReplacement) {
  char wininit[MaxPathText];
  char tempinit[MaxPathText];
  if (!WindowsFilePath("WININIT.INI", wininit, sizeof wininit)) return false;
  if (!WindowsFilePath("TEMPINIT.INI", tempinit, sizeof tempinit)) return false;
  DeleteFileA(tempinit);  // a leftover of an earlier attempt

  TextFile in;
  if (!in.Open(wininit, TextFile::Read)) return CreateWininit(wininit, shortTarget, shortReplacement);
  TextFile out;
  if (!out.Open(tempinit, TextFile::Create)) return false;
  bool copied = CopyWithEntry(&in, &out, shortTarget, shortReplacement);
  in.Close();
  // An incomplete copy must not take the place of the file: its other entries would be lost.
  if (!out.Close() || !copied) {
    DeleteFileA(tempinit);
    return false;
  }
  DeleteFileA(wininit);
  return MoveFileA(tempinit, wininit) != FALSE;
}

}  // namespace

void MoveAtRestartNt(const char* target, const char* replacement) {
  MoveFileExA(replacement, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
}

void ReplaceAtRestart(const char* target, const char* replacement) {
  if (SetupState.isNT) {
    MoveAtRestartNt(target, replacement);
    return;
  }
  // Both files exist; without their short paths the request is dropped rather than written
  // with long paths that the 9x start-up cannot read.
  char shortTarget[MaxPathText];
  char shortReplacement[MaxPathText];
  if (!ShortPath(target, shortTarget) || !ShortPath(replacement, shortReplacement)) return;
  AddRenameEntry(shortTarget, shortReplacement);
}

bool DeleteAtRestart(const char* path) {
  if (SetupState.isNT) return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  char shortPath[MaxPathText];
  if (!ShortPath(path, shortPath)) return false;
  return AddRenameEntry(DeletedTarget, shortPath);
}
