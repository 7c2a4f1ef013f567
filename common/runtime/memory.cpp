// The C and C++ allocation functions of a program without a C runtime library, on the process
// heap. Nothing here throws: the programs allocate with the nothrow forms of new and check for a
// null pointer; the plain forms, which the compiler may assume never fail, answer the same way.
#include <windows.h>

#include <cstddef>
#include <new>

extern "C" void* malloc(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1); }

extern "C" void free(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

namespace std {
const nothrow_t nothrow{};
}

void* operator new(size_t size) { return malloc(size); }
void* operator new[](size_t size) { return malloc(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return malloc(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return malloc(size); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }
