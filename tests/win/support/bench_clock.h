// The benchmarks' clock: seconds from the performance counter.
#pragma once
#include <windows.h>

inline double NowSeconds() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return double(counter.QuadPart) / double(frequency.QuadPart);
}
