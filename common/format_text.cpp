// Formatted text into a fixed buffer (see format_text.h).
#include "common/format_text.h"

#include <climits>
#include <cstdint>
#include <type_traits>

namespace {

// Numbers are converted at the width of a pointer or of long, whichever is wider: 64 bits on the
// 64-bit targets, 32 on 32-bit Windows, where a wider one would need the compiler's division
// helpers.
using Number = std::conditional_t<(sizeof(void*) > sizeof(unsigned long)), uintptr_t, unsigned long>;

// The output so far: characters past size - 1 are counted, not stored.
struct Output {
  char* buffer;
  size_t size;
  size_t length = 0;

  void Put(char c) {
    if (length + 1 < size) buffer[length] = c;
    ++length;
  }
  void Repeat(char c, int count) {
    for (; count > 0; --count) Put(c);
  }
  void Terminate() {
    if (size > 0) buffer[length < size ? length : size - 1] = '\0';
  }
};

struct Conversion {
  bool left = false;  // '-'
  bool zero = false;  // '0'
  int width = 0;
  int precision = -1;  // none
};

// A number or '*' (an int argument) at *format; -1 for a negative '*' precision (none).
int TakeCount(const char** format, va_list* arguments, bool* negative) {
  *negative = false;
  if (**format == '*') {
    ++*format;
    int value = va_arg(*arguments, int);
    if (value < 0) {
      *negative = true;
      return value == INT_MIN ? INT_MAX : -value;
    }
    return value;
  }
  int value = 0;
  while (**format >= '0' && **format <= '9') {
    if (value < 100000) value = value * 10 + (**format - '0');
    ++*format;
  }
  return value;
}

void PutPadded(Output* out, const Conversion& conversion, const char* text, int length, const char* prefix = "",
               int zeros = 0) {
  int prefixLength = 0;
  while (prefix[prefixLength] != '\0') ++prefixLength;
  const int padding = conversion.width - length - prefixLength - zeros;
  if (!conversion.left) out->Repeat(' ', padding);
  for (int i = 0; i < prefixLength; ++i) out->Put(prefix[i]);
  out->Repeat('0', zeros);
  for (int i = 0; i < length; ++i) out->Put(text[i]);
  if (conversion.left) out->Repeat(' ', padding);
}

void PutNumber(Output* out, Conversion conversion, Number value, bool negative, unsigned base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char text[24];
  int length = 0;
  char* end = text + sizeof text;
  for (; value != 0; value /= base) end[-++length] = digits[value % base];
  int zeros = conversion.precision > length ? conversion.precision - length : 0;
  const char* prefix = negative ? "-" : "";
  const int prefixLength = negative ? 1 : 0;
  if (conversion.precision < 0 && length == 0) zeros = 1;  // a zero without a precision is "0"
  if (conversion.zero && !conversion.left && conversion.precision < 0 && conversion.width > length + zeros + prefixLength)
    zeros = conversion.width - length - prefixLength;
  PutPadded(out, conversion, end - length, length, prefix, zeros);
}

}  // namespace

int FormatTextV(char* buffer, size_t size, const char* format, va_list arguments) {
  Output out{buffer, size};
  va_list args;
  va_copy(args, arguments);
  int result = 0;
  while (*format != '\0') {
    if (*format != '%') {
      out.Put(*format++);
      continue;
    }
    ++format;
    Conversion conversion;
    for (;; ++format) {
      if (*format == '-') conversion.left = true;
      else if (*format == '0') conversion.zero = true;
      else break;
    }
    bool negative;
    conversion.width = TakeCount(&format, &args, &negative);
    if (negative) conversion.left = true;  // a negative '*' width is the '-' flag
    if (*format == '.') {
      ++format;
      conversion.precision = TakeCount(&format, &args, &negative);
      if (negative) conversion.precision = -1;
    }
    // Sizes: h and hh narrow the argument after it is read as an int; l and z are read as such.
    enum { Int, Short, Char, Long, Size } length = Int;
    if (*format == 'h') {
      ++format;
      length = Short;
      if (*format == 'h') ++format, length = Char;
    } else if (*format == 'l') {
      ++format;
      length = Long;
    } else if (*format == 'z') {
      ++format;
      length = Size;
    }
    const char letter = *format++;
    switch (letter) {
      case 'd':
      case 'i': {
        long long value = length == Long ? va_arg(args, long)
                        : length == Size ? static_cast<long long>(va_arg(args, ptrdiff_t))
                                         : va_arg(args, int);
        if (length == Short) value = static_cast<short>(value);
        if (length == Char) value = static_cast<signed char>(value);
        const bool isNegative = value < 0;
        // The magnitude fits Number: long and ptrdiff_t are no wider than it.
        Number magnitude = isNegative ? Number{0} - static_cast<Number>(value) : static_cast<Number>(value);
        PutNumber(&out, conversion, magnitude, isNegative, 10, false);
        break;
      }
      case 'u':
      case 'x':
      case 'X': {
        Number value = length == Long ? va_arg(args, unsigned long)
                     : length == Size ? va_arg(args, size_t)
                                      : va_arg(args, unsigned);
        if (length == Short) value = static_cast<unsigned short>(value);
        if (length == Char) value = static_cast<unsigned char>(value);
        PutNumber(&out, conversion, value, false, letter == 'u' ? 10 : 16, letter == 'X');
        break;
      }
      case 'c': {
        const char c = static_cast<char>(va_arg(args, int));
        PutPadded(&out, conversion, &c, 1);
        break;
      }
      case 's': {
        const char* text = va_arg(args, const char*);
        if (text == nullptr) text = "(null)";
        int textLength = 0;
        while (text[textLength] != '\0' && (conversion.precision < 0 || textLength < conversion.precision)) ++textLength;
        PutPadded(&out, conversion, text, textLength);
        break;
      }
      case '%':
        out.Put('%');
        break;
      default:  // unknown, or the format ended inside the conversion
        result = -1;
        break;
    }
    if (result < 0) break;
  }
  va_end(args);
  out.Terminate();
  if (result < 0) return -1;
  return out.length > INT_MAX ? INT_MAX : static_cast<int>(out.length);
}

int FormatText(char* buffer, size_t size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int length = FormatTextV(buffer, size, format, arguments);
  va_end(arguments);
  return length;
}
