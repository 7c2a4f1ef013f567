// Comparisons of texts without regard to letter case, as the C library's "C" locale makes them:
// only A to Z and a to z are one another's case; every other byte stands for itself. Portable.
#pragma once
#include <cstddef>

inline int FoldAsciiCase(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// Below, equal to or above zero as a sorts before, with or after b (at most limit characters).
inline int CompareNoCase(const char* a, const char* b, size_t limit = static_cast<size_t>(-1)) {
  for (; limit > 0; --limit, ++a, ++b) {
    const int x = FoldAsciiCase(static_cast<unsigned char>(*a));
    const int y = FoldAsciiCase(static_cast<unsigned char>(*b));
    if (x != y) return x - y;
    if (x == 0) return 0;
  }
  return 0;
}
