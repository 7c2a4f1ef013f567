// Formatted text into a fixed buffer: the program's own, so that every program of the product
// formats alike and none needs a C runtime library's formatted output. Portable.
#pragma once
#include <cstdarg>
#include <cstddef>

// Formats like C99's snprintf: writes at most size - 1 characters and a terminating zero into
// buffer (nothing when size is 0) and returns the length of the whole result, so a result of
// size or more means the text was cut. Returns -1, with buffer holding what came before (still
// terminated), for a conversion it does not know.
//
// Conversions: %d %i %u %x %X %c %s %%; flags '-' and '0'; a width and, for %s and the
// numbers, a precision, each a number or '*'; sizes h, hh, l, ll, z. A null %s argument is
// "(null)".
[[gnu::format(printf, 3, 4)]] int FormatText(char* buffer, size_t size, const char* format, ...);
int FormatTextV(char* buffer, size_t size, const char* format, va_list arguments);
