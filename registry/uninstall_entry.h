// The product's uninstall entry, the folder verbs of older versions, and the retirement of
// version 2.0. All through the registry access layer; nothing is reported.
#pragma once
#include <windows.h>

// The product's entry in the list of installed programs, under HKEY_LOCAL_MACHINE.
inline constexpr char UninstallEntryPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick5.0";

// Room for its "UninstallString", "\"F\uninstal.exe\" F" for a 259-character folder F, with room
// to spare.
inline constexpr size_t UninstallCommandSize = 2 * 260 + 32;
static_assert(UninstallCommandSize > sizeof "\"\\uninstal.exe\" " + 2 * 259);

// Removes the folder verbs "Duro Rezorov 98", "Tarnwick" and "Navigate+" from
// HKEY_CLASSES_ROOT\Folder\shell (with a default verb that names one of them, in any letter
// case, reset to the empty string; another program's verbs and default stay), then writes
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick5.0 with
// "DisplayName" IDS_UNINSTALL_DISPLAY_NAME ("Tarnwick 5.0") and "UninstallString" "\"F\uninstal.exe\" F" for the install folder F.
// The uninstaller's path is quoted so that a folder with blanks cannot make the system run a
// prefix of it ("C:\Program.exe"); its argument stays unquoted. Reads SetupState.installFolder.
// Without the right to write under HKEY_LOCAL_MACHINE nothing of the entry is written.
// Leaves RegistryCursor closed. Runs on the installation worker.
void RegisterUninstall();

// Retires version 2.0 on the wizard's thread: deletes its uninstall entry
// (HKEY_LOCAL_MACHINE\...\Uninstall\Tarnwick2.0), its program group "Tarnwick 2.0", and moves
// "SOFTWARE\Fenmoor\Tarnwick\Version2.0" to "CurrentVersion" under HKEY_LOCAL_MACHINE, then
// under HKEY_CURRENT_USER (MoveKey). A missing key or group changes nothing. Closes
// RegistryCursor.
void RetireVersion2();

// Moves root\parentPath\oldName with all its subkeys and values to root\parentPath\newName. An
// existing newName is kept and merged: its values and subkeys stay unless the copy has one of the
// same name, which wins. True when oldName was copied completely and then deleted. False when
// oldName or the parent does not open (nothing is created), the target cannot be created, or the
// copy is incomplete: then oldName stays as it was, so nothing is lost (what was copied stays in
// newName too). parentPath\oldName must be shorter than 260 characters.
bool MoveKey(HKEY root, const char* parentPath, const char* oldName, const char* newName);
