// The C library's memory and string functions that the compiler and the programs call, for
// programs without a C runtime library. Built with -fno-builtin and
// -fno-tree-loop-distribute-patterns, so that no loop here becomes a call to itself.
#include <cstddef>
#include <cstdint>

extern "C" {

// Copies with the string instructions: on processors since the Pentium Pro a long "rep movsb"
// moves whole cache lines, and on a 486 it is no slower than a byte loop.
void* memcpy(void* target, const void* source, size_t size) {
  void* d = target;
  __asm__ volatile("rep movsb" : "+D"(d), "+S"(source), "+c"(size) : : "memory");
  return target;
}

void* memmove(void* target, const void* source, size_t size) {
  unsigned char* d = static_cast<unsigned char*>(target);
  const unsigned char* s = static_cast<const unsigned char*>(source);
  if (d <= s || d >= s + size) return memcpy(target, source, size);
  // Overlapping with the target after the source: backwards, from the last byte.
  d += size - 1;
  s += size - 1;
  __asm__ volatile("std\n\trep movsb\n\tcld" : "+D"(d), "+S"(s), "+c"(size) : : "memory");
  return target;
}

void* memset(void* target, int value, size_t size) {
  void* d = target;
  __asm__ volatile("rep stosb" : "+D"(d), "+c"(size) : "a"(value) : "memory");
  return target;
}

int memcmp(const void* a, const void* b, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(a);
  const unsigned char* q = static_cast<const unsigned char*>(b);
  for (size_t i = 0; i < size; ++i)
    if (p[i] != q[i]) return p[i] < q[i] ? -1 : 1;
  return 0;
}

void* memchr(const void* block, int value, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(block);
  for (size_t i = 0; i < size; ++i)
    if (p[i] == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(p + i);
  return nullptr;
}

size_t strlen(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

size_t strnlen(const char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length] != '\0') ++length;
  return length;
}

int strcmp(const char* a, const char* b) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  while (*p != '\0' && *p == *q) ++p, ++q;
  return *p == *q ? 0 : (*p < *q ? -1 : 1);
}

int strncmp(const char* a, const char* b, size_t limit) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  for (; limit > 0; --limit, ++p, ++q) {
    if (*p != *q) return *p < *q ? -1 : 1;
    if (*p == '\0') return 0;
  }
  return 0;
}

char* strcpy(char* target, const char* source) {
  char* d = target;
  while ((*d++ = *source++) != '\0') {
  }
  return target;
}

char* strchr(const char* text, int c) {
  for (;; ++text) {
    if (*text == static_cast<char>(c)) return const_cast<char*>(text);
    if (*text == '\0') return nullptr;
  }
}

char* strrchr(const char* text, int c) {
  const char* found = nullptr;
  for (;; ++text) {
    if (*text == static_cast<char>(c)) found = text;
    if (*text == '\0') return const_cast<char*>(found);
  }
}

size_t strspn(const char* text, const char* accepted) {
  size_t length = 0;
  for (; text[length] != '\0'; ++length) {
    const char* a = accepted;
    while (*a != '\0' && *a != text[length]) ++a;
    if (*a == '\0') break;
  }
  return length;
}

char* strpbrk(const char* text, const char* wanted) {
  for (; *text != '\0'; ++text)
    for (const char* w = wanted; *w != '\0'; ++w)
      if (*w == *text) return const_cast<char*>(text);
  return nullptr;
}

}  // extern "C"
