#include "install/active_run.h"

#include <cstring>

ActiveRunRecord ActiveRun;

namespace {

// Waits for handle while letting messages sent to this thread through (a worker blocked in a
// SendMessage to a window of this thread would otherwise wait for us). True when it was signalled.
bool WaitHandlingSentMessages(HANDLE handle, DWORD waitMs) {
  DWORD start = GetTickCount();
  for (;;) {
    DWORD passed = GetTickCount() - start;
    if (passed >= waitMs) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, waitMs - passed, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0) return true;
    if (result != WAIT_OBJECT_0 + 1) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // delivers the sent messages
  }
}

}  // namespace

void KeepWorkerThread(HANDLE worker) {
  if (ActiveRun.worker) CloseHandle(ActiveRun.worker);
  ActiveRun.worker = worker;
}

void NoteFileBeingWritten(const char* path) {
  ActiveRun.fileHandle = nullptr;
  size_t length = strnlen(path, MaxPathText - 1);
  memcpy(ActiveRun.filePath, path, length);
  ActiveRun.filePath[length] = '\0';
}

void NoteFileHandle(HANDLE file) { ActiveRun.fileHandle = file; }

void ForgetFileBeingWritten() {
  ActiveRun.fileHandle = nullptr;
  ActiveRun.filePath[0] = '\0';
}

int EndActiveRun(DWORD waitMs) {
  HANDLE worker = ActiveRun.worker;
  if (!worker || WaitForSingleObject(worker, 0) == WAIT_OBJECT_0) return 1;
  SetupState.cancelRequested = 1;
  ActiveRun.ending = 1;
  if (WaitHandlingSentMessages(worker, waitMs)) return 1;

  // The worker is stuck in its current file or step. Suspended, it no longer touches the
  // record; GetThreadContext returns once the suspension has taken effect.
  SuspendThread(worker);
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_CONTROL;
  GetThreadContext(worker, &context);
  HANDLE file = ActiveRun.fileHandle;
  if (file && ActiveRun.filePath[0] != '\0') {
    CloseHandle(file);
    DeleteFileA(ActiveRun.filePath);
  }
  return 0;
}
