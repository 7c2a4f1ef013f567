// The memory and string functions of the programs without a C runtime library, compiled here
// under other names (cmake/host.cmake), against the C library's: same results, same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

extern "C" {
void* Tested_memcpy(void*, const void*, size_t);
void* Tested_memmove(void*, const void*, size_t);
void* Tested_memset(void*, int, size_t);
int Tested_memcmp(const void*, const void*, size_t);
void* Tested_memchr(const void*, int, size_t);
size_t Tested_strlen(const char*);
size_t Tested_strnlen(const char*, size_t);
int Tested_strcmp(const char*, const char*);
int Tested_strncmp(const char*, const char*, size_t);
char* Tested_strcpy(char*, const char*);
char* Tested_strchr(const char*, int);
char* Tested_strrchr(const char*, int);
size_t Tested_strspn(const char*, const char*);
char* Tested_strpbrk(const char*, const char*);
}

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

// Every length up to 40 and every placement of target and source within 8 bytes of each
// other, overlapping either way: the whole buffer must come out as the C library's.
TEST(RuntimeStrings, CopiesMovesAndFillsAsTheCLibrary) {
  std::vector<unsigned char> pattern(64);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<unsigned char>(i * 37 + 11);
  for (size_t size = 0; size <= 40; ++size)
    for (size_t target = 0; target <= 8; ++target)
      for (size_t source = 0; source <= 8; ++source) {
        SCOPED_TRACE(testing::Message() << "size " << size << ", target " << target << ", source " << source);
        std::vector<unsigned char> ours = pattern, theirs = pattern;
        EXPECT_EQ(Tested_memmove(ours.data() + target, ours.data() + source, size), ours.data() + target);
        std::memmove(theirs.data() + target, theirs.data() + source, size);
        EXPECT_EQ(ours, theirs) << "memmove";
        ours = theirs = pattern;
        Tested_memcpy(ours.data() + target, pattern.data() + 16 + source, size);
        std::memcpy(theirs.data() + target, pattern.data() + 16 + source, size);
        EXPECT_EQ(ours, theirs) << "memcpy";
        ours = theirs = pattern;
        Tested_memset(ours.data() + target, 0x1A5 + static_cast<int>(source), size);
        std::memset(theirs.data() + target, 0x1A5 + static_cast<int>(source), size);
        EXPECT_EQ(ours, theirs) << "memset";
      }
}

TEST(RuntimeStrings, ComparesAndSearchesAsTheCLibrary) {
  struct Case {
    std::string a, b;
  };
  const Case cases[] = {{"", ""},         {"a", ""},          {"", "a"},       {"abc", "abc"},
                        {"abc", "abd"},   {"abd", "abc"},     {"ab", "abc"},   {"\xE9t\xE9", "ete"},
                        {"A", "a"},       {"TWExplo.exe", "TWExplo.ex"},       {"x\\y", "x/y"}};
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.a + "' and '" + c.b + "'");
    const char* a = c.a.c_str();
    const char* b = c.b.c_str();
    EXPECT_EQ(Sign(Tested_strcmp(a, b)), Sign(std::strcmp(a, b)));
    for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{20}}) {
      EXPECT_EQ(Sign(Tested_strncmp(a, b, n)), Sign(std::strncmp(a, b, n))) << n;
      if (n <= c.a.size() + 1 && n <= c.b.size() + 1) {
        EXPECT_EQ(Sign(Tested_memcmp(a, b, n)), Sign(std::memcmp(a, b, n))) << n;
      }
      EXPECT_EQ(Tested_strnlen(a, n), strnlen(a, n)) << n;
    }
    EXPECT_EQ(Tested_strlen(a), std::strlen(a));
    EXPECT_EQ(Tested_strspn(a, b), std::strspn(a, b));
    EXPECT_EQ(Tested_strpbrk(a, b), std::strpbrk(a, b));
    for (int ch : std::initializer_list<int>{0, 'a', 'b', 'c', 'e', '\\', 0xE9, 0x100 + 'a'}) {
      EXPECT_EQ(Tested_strchr(a, ch), std::strchr(a, ch)) << ch;
      EXPECT_EQ(Tested_strrchr(a, ch), std::strrchr(a, ch)) << ch;
      EXPECT_EQ(Tested_memchr(a, ch, c.a.size()), std::memchr(a, ch, c.a.size())) << ch;
    }
    char copy[32];
    EXPECT_EQ(Tested_strcpy(copy, a), copy);
    EXPECT_STREQ(copy, a);
  }
}

}  // namespace
