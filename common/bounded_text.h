// Bounded text operations on fixed buffers. A text that would not fit is refused whole: the
// buffer is then left as it was, so a cut path never stands in for the real one.
#pragma once
#include <cstddef>
#include <cstring>

// Copies text into buffer (size bytes). False, buffer unchanged, when text has size or more
// characters.
inline bool CopyText(char* buffer, size_t size, const char* text) {
  size_t length = strlen(text);
  if (length >= size) return false;
  memcpy(buffer, text, length + 1);
  return true;
}

// Appends text to the text in buffer (size bytes). False, buffer unchanged, when the result
// would have size or more characters.
inline bool AppendText(char* buffer, size_t size, const char* text) {
  size_t used = strnlen(buffer, size);
  if (used >= size) return false;
  return CopyText(buffer + used, size - used, text);
}

template <size_t N>
bool CopyText(char (&buffer)[N], const char* text) { return CopyText(buffer, N, text); }
template <size_t N>
bool AppendText(char (&buffer)[N], const char* text) { return AppendText(buffer, N, text); }
