// The uninstaller's command line and the folder the uninstall entry names: plain text, no
// system calls.
#pragma once
#include <cstddef>

constexpr size_t FolderTextSize = 260;  // a folder of at most 259 characters
constexpr size_t HandOverTokenLength = 32;  // hexadecimal digits

struct UninstallArguments {
  // The install folder as given: blanks and one pair of double quotes around it dropped, and a
  // trailing backslash dropped unless it follows a drive ("C:\").
  char folder[FolderTextSize];
  // The hand-over from the uninstaller that started this copy of itself: "/WAIT:N:TOKEN", N the
  // inherited handle (decimal) of the shared memory that holds the same one-time TOKEN (32
  // hexadecimal digits) and what the copy needs of the original. handOver is 0 when there is none.
  unsigned long handOver;
  char token[HandOverTokenLength + 1];
};

// Reads "[/WAIT:N:TOKEN] FOLDER" (the arguments after the program's name). False when the folder
// is missing, empty or longer than 259 characters, or the hand-over is malformed; *out is then
// undefined.
bool ParseUninstallArguments(const char* arguments, UninstallArguments* out);

// True when the uninstall command of the entry ("\"F\uninstal.exe\" F" as setup writes it)
// names folder as its argument. Letter case and a trailing backslash do not count.
bool UninstallCommandNamesFolder(const char* command, const char* folder);

// True when folder is a full path ("C:\..." or "\\server\share\...") with no component of dots
// only ("." or "..") and no forward slash: the uninstall entry names its folder so, and nothing
// else is taken for the folder to empty.
bool IsPlainFullPath(const char* folder);

// Compares two folder paths without regard to ASCII letter case and one trailing backslash.
bool SameFolder(const char* a, const char* b);
