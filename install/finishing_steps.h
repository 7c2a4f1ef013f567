// The stages of the installation run around the copying: the removal of what version 4.0
// registered, before the first file; the internet shortcut files and the "My Tarnwick" links
// after the last; then the uninstall entry, the program group, the version 3.0 settings and the
// heap option. All on the worker thread, all best effort: nothing is reported.
#pragma once

// When "twexplo.exe" is already in SetupState.installFolder: deletes the groups "Tarnwick 4.0",
// "Tarnwick 4.0 BETA", "Tarnwick 4.0 Pro" (text 51) and the uninstall keys
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick4.0" and
// "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Uninstall\Tarnwick4.0" under HKEY_LOCAL_MACHINE.
// Otherwise touches nothing.
void RemoveVersion4Registrations();

// Writes "website.url" (text 43) and "register.url" (text 47) into the install folder, each
// "[InternetShortcut]" CR LF "URL=address" with no line end after the address, replacing an
// existing file. SetupState.websiteShortcutWritten becomes 1 when "website.url" was written
// whole; a file that could not be written whole is removed again.
void WriteInternetShortcuts();

// Initialises COM on this thread (never uninitialised: the thread ends with the run), removes the
// earlier versions' product links (RemoveOutdatedShortcuts), then saves "My Tarnwick.lnk"
// (text 30) to "TWExplo.exe" in the install folder in the user's desktop folder and Start Menu
// folder. A folder without a path, or a target path that would not fit, makes no link.
void CreateProductShortcuts();

// RegisterUninstall, CreateProgramGroup, MigrateVersion3Settings and, on the NT family,
// SetHeapLookasideOption, in this order. When the program is ending (ActiveRun.ending) the
// remaining steps are left out.
void RunRegistrationSteps();
