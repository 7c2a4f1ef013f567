// The C and C++ allocation functions of a program without a C runtime library, on the process
// heap. The programs never throw: operator new answers a failure with a null pointer, as its
// nothrow form does, and the callers check for it.
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
