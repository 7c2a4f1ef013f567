// The installation run: the worker thread behind the copy page, which writes every catalogue
// entry into SetupState.installFolder and reports to SetupState.copyPageWindow.
#pragma once
#include <windows.h>

#include <cstddef>

// Thread procedure of one installation run; the parameter is ignored and the exit code is 0. Before
// the thread starts, the copy page sets SetupState.copyPageWindow to itself,
// SetupState.cancelRequested to 0, and SetupState.installFolder is final. The run starts by
// clearing SetupState.websiteShortcutWritten, which only its own "website.url" sets again.
// Before the first file it removes version 4.0's groups and uninstall keys when "twexplo.exe" is
// already in the folder; after the last it writes "website.url" and "register.url" and the
// "My Tarnwick" links, and after the 100 % report the uninstall entry, the program group, the
// version 3.0 settings and (NT family) the heap option (finishing_steps.h). A cancel request
// while the program group is built makes the group send WM_SETUP_DONE with 0; the run still ends
// with its own WM_SETUP_DONE with 1 after the remaining steps. When the program ends during a run
// (ActiveRun.ending) the run stops at its next file or step. Reports with SendMessage
// (synchronous): WM_SETUP_PROGRESS per entry (IDS_COPYING_FILE with the file name, percentage by
// installed size), then 100 with IDS_UPDATING_REGISTRY and WM_SETUP_DONE with 1. A run cancelled
// between two entries, or abandoned from the copy error message, ends with WM_SETUP_PROGRESS 0 with
// IDS_COPY_CANCELED and WM_SETUP_DONE with 0 and runs no finishing step. A file that cannot be
// written under its own name is written as NAME.new and scheduled with ReplaceAtRestart
// (SetupState.restartNeeded becomes 1); when that fails too, the copy error message
// (IDS_COPY_ERROR, caption IDS_COPY_ERROR_CAPTION, owned by the copy page) offers retry, skip and
// abandon.
DWORD WINAPI InstallWorker(LPVOID);

// Formats the copy error message (IDS_COPY_ERROR: file name, then folder) into buffer. Returns 1
// when the whole message fitted, 0 when it was shortened to fit the buffer; the buffer always ends
// in a NUL and nothing is written beyond size bytes.
int FormatCopyErrorText(char* buffer, size_t size, const char* fileName, const char* folder);
