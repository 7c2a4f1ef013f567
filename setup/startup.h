// Start-up of the setup program: the platform check, earlier installations, the choice of the
// install folder, the hidden main window, and the window operations the pages use later.
#pragma once
#include <windows.h>

// The whole program after the entry: start-up, the wizard, the tidy-up. Returns the process exit
// code: 1 when the wizard ran (finished or left with Exit), 0 when start-up stopped early (an
// unsupported system, a damaged catalogue, the upgrade declined, no window class).
int RunSetup(HINSTANCE instance);

// 1 when the system is of the Windows 95 or NT family with major version 4 or later, else 0.
// Sets SetupState.isNT (NT family) and SetupState.isNT4 (NT 4.x); never clears them.
int CheckPlatform();

// Looks for version 2.0 ("Software\Fenmoor\Tarnwick\Version2.0", "InstallDir", with
// "TWExplo.exe" in that folder) and, if found, asks whether to upgrade it. Returns 0 when the
// user answered No, else 1. On Yes sets previousVersionFound and installFolder (the version 2.0
// folder without its trailing backslash). A folder whose file name would exceed 259 characters
// counts as no installation.
int OfferUpgradeFromVersion2();

// Reads "InstallDir" from the first of the four earlier-installation keys whose value reads,
// into installFolder without one trailing backslash. Returns 1 when found, else 0 (installFolder
// is then empty).
int FindPreviousInstallFolder();

// Sets installFolder to "<ProgramFilesDir>\KELM\Tarnwick" and creates the Program Files folder
// itself. Falls back to "C:\Tarnwick" when the key does not open and to "C:\KELM\Tarnwick" when
// the value does not read or the joined path would exceed 259 characters.
void ChooseDefaultInstallFolder();

// Sends WM_PRODUCT_CLOSE to a running product window (class "TWMainClass") and then waits
// 3000 ms; returns at once when there is none.
void CloseRunningProduct();

// Moves the window titled "Tarnwick Utilities 98 Setup" and this program's main window (class
// IDS_SETUP_TITLE) to the bottom of the Z order and hides them, each only if it exists.
void HideSetupWindows();

// Window procedure of the hidden main window: WM_DESTROY posts the quit message (code 0).
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
