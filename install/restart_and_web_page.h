// The two closing services of the finish page: restarting Windows, and showing a vendor web
// page in whatever browser the user has.
#pragma once

// Asks Windows for a normal restart (ExitWindowsEx with EWX_REBOOT, programs are not forced to
// close). With onNT nonzero the process's shutdown privilege is enabled first; on the 95 family
// (onNT 0) no token is touched. Nothing is reported: a refused restart leaves the replacements
// waiting for the next one. The caller goes on and ends as usual while the system shuts down.
void RestartWindows(int onNT);

// Writes "KELM.URL" in the temporary folder (any earlier one is replaced) as the two CR LF lines
// "[InternetShortcut]" and "URL=" + address, with the address unchanged, and has the shell open
// it with the program registered for internet shortcuts, the Windows folder as working folder.
// The file stays afterwards. Nothing is reported; without a temporary folder nothing opens.
void OpenWebPage(const char* address);
