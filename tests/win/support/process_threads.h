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
  size_t count() const { return threads_.size(); }

 private:
  std::vector<HANDLE> threads_;
};
