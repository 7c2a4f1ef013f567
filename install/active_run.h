// The installation run as the end of the program sees it. The sheet can close while a run is
// still active (the page's Cancel enables the sheet's Cancel while the worker finishes its
// current file); the program then must not end in the middle of that file and leave it
// truncated under its real name.
#pragma once
#include <windows.h>

#include <atomic>

#include "setup/setup_state.h"

struct ActiveRunRecord {
  // The latest run's worker thread, kept by the copy page (null before the first run).
  HANDLE worker = nullptr;
  // Set when the program ends: the worker stops at its next file or finishing step and shows
  // no more messages.
  std::atomic<int> ending{0};
  // The file the worker is writing (WriteEntryFile), empty between files, and its handle once
  // created. Written by the worker, read by the interface thread only after the worker has been
  // suspended.
  char filePath[MaxPathText] = {};
  std::atomic<HANDLE> fileHandle{nullptr};
};
extern ActiveRunRecord ActiveRun;

// Keeps worker as the active run's thread, closing the previous run's handle.
void KeepWorkerThread(HANDLE worker);

// Marks path as the file being written (before it is created) and then its handle (once
// created); ForgetFileBeingWritten clears both, before the handle is closed.
void NoteFileBeingWritten(const char* path);
void NoteFileHandle(HANDLE file);
void ForgetFileBeingWritten();

// The time the program gives a run to finish its current file or step when the sheet closes.
constexpr DWORD RunEndWaitMs = 5000;

// Called by the entry once the sheet has closed. When a run is still active: sets
// SetupState.cancelRequested and ActiveRun.ending, then waits up to waitMs (handling messages
// sent to this thread meanwhile) for the worker to end. A worker that did not end is suspended,
// and the file it was writing is closed and deleted, so no partly written file stays under its
// real name. Returns 1 when no run was active or it ended in time, 0 when it was stopped.
int EndActiveRun(DWORD waitMs);
