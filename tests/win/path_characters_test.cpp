// Trailing backslashes read by characters of a code page: the system's own lead-byte tables for
// the double-byte code pages decide, so these run under Wine. In code pages 932, 936 and 950 the
// second byte of a character may be 0x5C, the backslash's byte.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/path_characters.h"

namespace {

struct TrailingCase {
  const char* what;
  UINT codePage;
  const char* text;
  int endsWithBackslash;
  const char* withoutIt;     // after RemoveTrailingBackslash
  const char* withOne;       // after AppendBackslash
};

// U+8868 in 932 is 0x95 0x5C; in 936 0x81 0x5C is a character too; in 950 U+8A31 is 0xB3 0x5C.
const TrailingCase TrailingCases[] = {
    {"932: a character ending in 0x5C", 932, "C:\\\x95\x5C", 0, "C:\\\x95\x5C", "C:\\\x95\x5C\\"},
    {"932: that character and a backslash", 932, "C:\\\x95\x5C\\", 1, "C:\\\x95\x5C", "C:\\\x95\x5C\\"},
    {"932: two such characters", 932, "C:\\\x95\x5C\x95\x5C", 0, "C:\\\x95\x5C\x95\x5C", "C:\\\x95\x5C\x95\x5C\\"},
    {"932: a single-byte katakana before a backslash", 932, "C:\\\xB1\\", 1, "C:\\\xB1", "C:\\\xB1\\"},
    {"932: a lead byte at the very end", 932, "C:\\A\x95", 0, "C:\\A\x95", "C:\\A\x95\\"},
    {"936: a character ending in 0x5C", 936, "C:\\\x81\x5C", 0, "C:\\\x81\x5C", "C:\\\x81\x5C\\"},
    {"950: a character ending in 0x5C", 950, "C:\\\xB3\x5C", 0, "C:\\\xB3\x5C", "C:\\\xB3\x5C\\"},
    {"950: that character and a backslash", 950, "C:\\\xB3\x5C\\", 1, "C:\\\xB3\x5C", "C:\\\xB3\x5C\\"},
    {"1252: the same bytes are two characters", 1252, "C:\\\x95\x5C", 1, "C:\\\x95", "C:\\\x95\x5C"},
    {"1252: a plain folder", 1252, "C:\\Tarnwick", 0, "C:\\Tarnwick", "C:\\Tarnwick\\"},
    {"1252: one backslash goes, not two", 1252, "C:\\Tarnwick\\\\", 1, "C:\\Tarnwick\\", "C:\\Tarnwick\\\\"},
    {"1252: empty", 1252, "", 0, "", "\\"},
};

TEST(PathCharacters, TrailingBackslashIsACharacterNotAByte) {
  for (const TrailingCase& c : TrailingCases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(IsValidCodePage(c.codePage));
    EXPECT_EQ(EndsWithBackslash(c.text, c.codePage), c.endsWithBackslash);
    char text[32];
    std::strcpy(text, c.text);
    RemoveTrailingBackslash(text, c.codePage);
    EXPECT_EQ(std::string(text), c.withoutIt);
    std::strcpy(text, c.text);
    EXPECT_EQ(AppendBackslash(text, sizeof text, c.codePage), 1);
    EXPECT_EQ(std::string(text), c.withOne);
  }
}

TEST(PathCharacters, AppendBackslashRefusesWhatDoesNotFit) {
  char text[4] = "C:A";
  EXPECT_EQ(AppendBackslash(text, sizeof text, 1252), 0);
  EXPECT_STREQ(text, "C:A");
  char full[4] = "C:\\";
  EXPECT_EQ(AppendBackslash(full, sizeof full, 1252), 1) << "already ends with one";
}

}  // namespace
