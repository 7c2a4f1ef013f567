// Replacement of files in use at the next restart of Windows.
#pragma once

// Asks the system to move replacement over target at the next restart. Both files exist when
// called. With SetupState.isNT set this is MoveAtRestartNt; otherwise the request becomes the
// line "TARGET=REPLACEMENT" (8.3 paths) at the top of the first "[Rename]" section of
// "WININIT.INI" in the Windows folder, written in text mode through the scratch copy
// "TEMPINIT.INI". Every failure is silent and leaves "WININIT.INI" as it was: a short path that
// cannot be had (the request is dropped), a file that cannot be opened, created or written.
// Not for two threads at once (the scratch name is fixed).
void ReplaceAtRestart(const char* target, const char* replacement);

// The NT family's delayed move: MoveFileExA(replacement, target, MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_DELAY_UNTIL_REBOOT) with the long paths. The result is ignored.
void MoveAtRestartNt(const char* target, const char* replacement);

// Asks the system to delete path (an existing file, or an empty folder on the NT family) at the
// next restart: the NT family's delayed move with no target; otherwise the line "NUL=PATH"
// (the 8.3 path) at the top of the first "[Rename]" section of "WININIT.INI", written the way
// ReplaceAtRestart writes its lines. True when the request was recorded; false when the system
// refused the delayed move (no right to record it, a path it cannot take), the 8.3 path could
// not be had, or "WININIT.INI" could not be written (it is then left as it was).
bool DeleteAtRestart(const char* path);
