// The threads of another process, so that a test can hold a worker thread still at a moment of
// its choosing (a run caught in the middle, whatever the machine's speed) and let it go on.
#pragma once
#include <windows.h>

#include <vector>

// Ids of the threads of processId now (empty when the process cannot be listed).
std::vector<DWORD> ProcessThreadIds(DWORD processId);

// Threads suspended by SuspendNewThreads; the destructor resumes them and closes the handles.
class SuspendedThreads {
 public:
  SuspendedThreads() = default;
  ~SuspendedThreads();
  SuspendedThreads(const SuspendedThreads&) = delete;
  SuspendedThreads& operator=(const SuspendedThreads&) = delete;

  // Suspends every thread of processId whose id is not in known. True when at least one was
  // suspended.
  bool SuspendNewThreads(DWORD processId, const std::vector<DWORD>& known);
  // Resumes and forgets the suspended threads.
  void Resume();
  // Lets the suspended threads run for about microseconds, then suspends them again: a run
  // stepped this way is slowed as much as needed, whatever the machine's speed.
  void Step(DWORD microseconds);
  // True when every held thread stands in processId's own program image. A thread held
  // inside a system DLL may hold one of its locks (the process heap's, the loader's), and
  // the process's other threads would then stop at their next allocation.
  bool StandInProgram(DWORD processId);
  size_t count() const { return threads_.size(); }

 private:
  std::vector<HANDLE> threads_;
  DWORD_PTR programBegin_ = 0;  // the program image, once StandInProgram has found it
  DWORD programSize_ = 0;
};
