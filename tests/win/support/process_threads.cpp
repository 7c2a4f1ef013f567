#include "support/process_threads.h"

#include <tlhelp32.h>

#include <algorithm>

std::vector<DWORD> ProcessThreadIds(DWORD processId) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == processId) ids.push_back(entry.th32ThreadID);
  CloseHandle(snapshot);
  return ids;
}

SuspendedThreads::~SuspendedThreads() { Resume(); }

bool SuspendedThreads::SuspendNewThreads(DWORD processId, const std::vector<DWORD>& known) {
  for (DWORD id : ProcessThreadIds(processId)) {
    if (std::find(known.begin(), known.end(), id) != known.end()) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, id);
    if (!thread) continue;
    if (SuspendThread(thread) == DWORD(-1)) {
      CloseHandle(thread);
      continue;
    }
    threads_.push_back(thread);
  }
  return !threads_.empty();
}

void SuspendedThreads::Resume() {
  for (HANDLE thread : threads_) {
    ResumeThread(thread);
    CloseHandle(thread);
  }
  threads_.clear();
}

void SuspendedThreads::Step(DWORD microseconds) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  for (HANDLE thread : threads_) ResumeThread(thread);
  QueryPerformanceCounter(&start);
  do QueryPerformanceCounter(&now);
  while ((now.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart < microseconds);
  for (HANDLE thread : threads_) SuspendThread(thread);
}

bool SuspendedThreads::StandInProgram(DWORD processId) {
  if (programSize_ == 0) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32 program = {};
    program.dwSize = sizeof program;
    BOOL listed = Module32First(snapshot, &program);  // the program itself comes first
    CloseHandle(snapshot);
    if (!listed) return false;
    programBegin_ = reinterpret_cast<DWORD_PTR>(program.modBaseAddr);
    programSize_ = program.modBaseSize;
  }
  for (HANDLE thread : threads_) {
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL;
    if (!GetThreadContext(thread, &context)) return false;
#ifdef _WIN64
    const DWORD_PTR at = context.Rip;
#else
    const DWORD_PTR at = context.Eip;
#endif
    if (at - programBegin_ >= programSize_) return false;
  }
  return !threads_.empty();
}
