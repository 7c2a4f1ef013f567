// The constructor list and the atexit table of a program without a C runtime library.
#include "common/runtime/static_objects.h"

#include <cstddef>

// The linker's script frames the compilers' ".ctors" entries: the list starts with -1 (or the
// count) and ends with 0, and the entries run from the last to the first.
using StaticFunction = void (*)();
extern "C" StaticFunction __CTOR_LIST__[];

namespace {

// The program's destructors: a few static objects at most; a registration past the last place
// fails, as atexit may.
constexpr int ExitFunctionPlaces = 32;
StaticFunction exitFunctions[ExitFunctionPlaces];
int exitFunctionCount = 0;

}  // namespace

extern "C" int atexit(StaticFunction function) {
  if (exitFunctionCount == ExitFunctionPlaces) return -1;
  exitFunctions[exitFunctionCount++] = function;
  return 0;
}

void MakeStaticObjects() {
  size_t count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  for (size_t i = count; i > 0; --i) __CTOR_LIST__[i]();
}

void EndStaticObjects() {
  while (exitFunctionCount > 0) exitFunctions[--exitFunctionCount]();
}
