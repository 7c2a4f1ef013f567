// Version probes on files' version information, and the common-controls update that Finish runs
// when the system's library is older than 5.80 or incomplete.
#pragma once
#include <cstdint>

// The common-controls threshold: the upper half of a file version, major 5 in the upper 16
// bits and minor 80 in the lower; build and revision do not count.
constexpr uint32_t CommonControlsMinimumVersion = 0x50050;

// The file's fixed file version: dwFileVersionMS in the upper 32 bits, dwFileVersionLS in the
// lower. 0 when the file has no version information, is a folder, does not exist, or any
// step fails.
uint64_t GetFixedFileVersion(const char* path);

// 1 when the file's ProductVersion string begins with the digit 5 ("5.0", "5" and "50.1" all
// do), else 0. The string is looked up in the string table that the first entry of the
// translation table names; when that table is missing the result is 0 even if other tables
// exist. Only a file without a translation table falls back to the tables "040904E4", then
// "040904B0". 0 as well for an empty string, a file without version information, a folder, a
// missing file. Reads the file only; safe on any thread (the installation run calls it).
int HasProductVersion5(const char* path);

// 1 when the update package should run: "comctl32.dll" (the system's usual search) does not
// load, lacks "DllGetVersion" or "InitCommonControlsEx", or its file version's upper half is
// below 0x50050 (no version information counts as older). Else 0.
int CommonControlsNeedUpdate();

// When CommonControlsNeedUpdate says so and "50comupd.exe" is in SetupState.installFolder,
// starts it with "/Q" through the shell and pauses 5000 ms whatever came of the start; the
// package then runs on by itself and is not waited for further. Otherwise returns at once.
// Nothing is reported.
void RunCommonControlsUpdate();
