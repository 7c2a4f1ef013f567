// The destination page's folder-name test: which typed texts are refused.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "setup/folder_name.h"

namespace {

TEST(IsBlankChar, OnlySpaceTabAndLineFeedAreBlank) {
  int blanks = 0;
  for (int value = 0; value < 256; ++value) {
    char c = static_cast<char>(value);
    int expected = (c == ' ' || c == '\t' || c == '\n') ? 1 : 0;
    EXPECT_EQ(IsBlankChar(c), expected) << "character " << value;
    blanks += IsBlankChar(c);
  }
  EXPECT_EQ(blanks, 3);
}

struct NameCase {
  const char* text;
  int valid;
  const char* why;
};

const NameCase NameCases[] = {
    {"", 0, "empty"},
    {" ", 0, "one space"},
    {" \t \t", 0, "spaces and tabs only"},
    {"\n", 0, "a line feed only"},
    {"\t\n ", 0, "all three blanks"},
    {"\r", 1, "a carriage return is no blank"},
    {"\v", 1, "a vertical tab is no blank"},
    {"C:\\Program Files\\KELM\\Tarnwick", 1, "the default folder"},
    {"Tarnwick", 1, "a bare name"},
    {"..\\relative", 1, "a relative name"},
    {"C:", 1, "a drive alone"},
    {"\\", 1, "a backslash alone"},
    {"C:\\Folder\\", 1, "a trailing backslash"},
    {"  C:\\Folder  ", 1, "leading and trailing blanks"},
    {"C:\\a:b", 1, "a second colon"},
    {"C:\\Tarnwick\xAE", 1, "a character above 127"},
    {"C:\\New<Folder", 0, "less-than sign"},
    {"C:\\a/b", 0, "slash"},
    {"C:\\a*", 0, "asterisk"},
    {"?C:\\a", 0, "question mark first"},
    {"C:\\\"quoted\"", 0, "double quotation mark"},
    {"C:\\a>b", 0, "greater-than sign"},
    {"C:\\a|b", 0, "vertical bar"},
    {" |", 0, "vertical bar after a leading space"},
    {"\t/x", 0, "slash after a leading tab"},
    {"x\n|", 0, "vertical bar after a line feed inside"},
};

TEST(IsValidFolderName, Cases) {
  for (const NameCase& c : NameCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(IsValidFolderName(c.text), c.valid) << "\"" << c.text << "\"";
  }
}

// Any of the seven characters anywhere in an otherwise valid name makes it invalid; names of
// other printable characters stay valid. Random names from a fixed seed.
TEST(IsValidFolderName, ForbiddenCharacterAnywhereRefusesTheName) {
  const std::string forbidden = "/*?\"<>|";
  const std::string allowed = "abcXYZ019 \\:._-()[]{}~!@#$%^&+=,;'`\t";
  std::mt19937 random(20261208);
  for (int round = 0; round < 2000; ++round) {
    std::string name = "N";  // not blanks only
    int length = int(random() % 40);
    for (int i = 0; i < length; ++i) name += allowed[random() % allowed.size()];
    SCOPED_TRACE("name \"" + name + "\"");
    ASSERT_EQ(IsValidFolderName(name.c_str()), 1);
    char bad = forbidden[random() % forbidden.size()];
    name.insert(random() % (name.size() + 1), 1, bad);
    ASSERT_EQ(IsValidFolderName(name.c_str()), 0) << "with " << bad;
  }
}

}  // namespace
