// The programs' own formatted output against the C library's snprintf: the same text and the
// same result for every conversion the programs use, at every buffer size around the result.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <string>

#include "common/format_text.h"

namespace {

using Formatter = std::function<int(char*, size_t)>;

// Formats with both at sizes 0, 1, the result's length and one more, and a large buffer: the
// results, the stored text and the bytes after the terminator (never touched) must agree.
void ExpectSameAsC(int line, const Formatter& ours, const Formatter& theirs) {
  SCOPED_TRACE("line " + std::to_string(line));
  char probe[512];
  const int length = theirs(probe, sizeof probe);
  ASSERT_GE(length, 0);
  for (size_t size : {size_t{0}, size_t{1}, size_t(length), size_t(length) + 1, sizeof probe}) {
    SCOPED_TRACE("size " + std::to_string(size));
    std::string a(sizeof probe + 8, '#'), b(sizeof probe + 8, '#');
    EXPECT_EQ(ours(a.data(), size), theirs(b.data(), size));
    EXPECT_EQ(a, b);
  }
}

// The table passes the C library formats that GCC finds pointless ('0' with a precision).
#pragma GCC diagnostic ignored "-Wformat"
#define SAME_AS_C(...)                                                                         \
  ExpectSameAsC(                                                                               \
      __LINE__, [&](char* buffer, size_t size) { return FormatText(buffer, size, __VA_ARGS__); }, \
      [&](char* buffer, size_t size) { return std::snprintf(buffer, size, __VA_ARGS__); })

TEST(FormatText, AgreesWithTheCLibrary) {
  const char* const name = "TWExplo.exe";
  SAME_AS_C("plain text, no conversion");
  SAME_AS_C("%s\\%s", "C:\\Program Files\\KELM\\Tarnwick", name);
  SAME_AS_C("\"%s\\uninstal.exe\" %s", "C:\\Tarnwick", "C:\\Tarnwick");
  SAME_AS_C("[AddItem(%s,%s,%s,%u)]", "\"C:\\T\\TWExplo.exe\"", "Tarnwick", "C:\\T\\TWExplo.exe", 4u);
  SAME_AS_C("%%s is %s, 100%%", "kept");
  SAME_AS_C("%s", "");
  SAME_AS_C("[%10s|%-10s|%.3s|%-6.2s|%*s|%-*s|%.*s]", name, name, name, name, 14, name, 14, name, 4, name);
  SAME_AS_C("[%5c|%-3c|%c]", 'a', 'b', 'c');
  SAME_AS_C("%d %d %d %d %i", 0, 7, -7, INT_MAX, INT_MIN);
  SAME_AS_C("%u %u %x %X %x", 0u, UINT_MAX, 0xBEEFu, 0xBEEFu, 0u);
  SAME_AS_C("%ld %ld %lu %lx", LONG_MAX, LONG_MIN, ULONG_MAX, ULONG_MAX);
  SAME_AS_C("%zu %zd %zx", SIZE_MAX, static_cast<ptrdiff_t>(-5), size_t{48879});
  SAME_AS_C("%hd %hu %hhd %hhu %hx", 70000, 70000, 300, 300, 0x12345);
  SAME_AS_C("\\StringFileInfo\\%04X%04X\\ProductVersion", 0x0409u, 0x04B0u);
  SAME_AS_C("[%08X|%8X|%-8X|%08d|%8d|%-8d|%08d]", 0xABu, 0xABu, 0xABu, -42, -42, -42, 42);
  SAME_AS_C("[%.5d|%8.5d|%-8.5d|%08.5d|%.0d|%.0u|%5.0d]", 42, -42, 42, 42, 0, 0u, 0);
  SAME_AS_C("[%0*d|%-*d|%*d|%.*d]", 6, 42, 6, 42, -6, 42, -1, 42);
  SAME_AS_C("/WAIT:%lu:%s %s", 1234ul, "0123456789abcdef0123456789abcdef", "C:\\T");
  SAME_AS_C("%s", std::string(400, 'x').c_str());
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-extra-args"
TEST(FormatText, AnUnknownConversionIsAFailureWithTheTextBeforeIt) {
  struct Case {
    const char* format;
    const char* before;
  };
  const Case cases[] = {{"abc%qdef", "abc"}, {"%s%f", "x"}, {"ends in %", "ends in "}, {"%l", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    char buffer[32] = "untouched";
    EXPECT_EQ(FormatText(buffer, sizeof buffer, c.format, "x", 1.0), -1);
    EXPECT_STREQ(buffer, c.before);
  }
}
#pragma GCC diagnostic pop

TEST(FormatText, ANullTextIsNamedSo) {
  char buffer[16];
  const char* volatile none = nullptr;
  EXPECT_EQ(FormatText(buffer, sizeof buffer, "[%s]", none), 8);
  EXPECT_STREQ(buffer, "[(null)]");
}

}  // namespace
