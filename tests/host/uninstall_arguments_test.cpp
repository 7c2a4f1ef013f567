// The uninstaller's command line and the folder the uninstall entry names: what it accepts as
// the folder to remove, and what it refuses.
#include <gtest/gtest.h>

#include <string>

#include "payload/programs/uninstaller/uninstall_arguments.h"

namespace {

struct ArgumentCase {
  const char* arguments;
  bool accepted;
  const char* folder;          // when accepted
  unsigned long handOver;      // when accepted
};

constexpr char Token[] = "0123456789abcdefABCDEF0123456789";

const std::string LongestFolder = "C:\\" + std::string(256, 'f');  // 259 characters
const std::string TooLongFolder = LongestFolder + "g";

const std::string HandOver = std::string("/WAIT:1234:") + Token + " C:\\Tarnwick";
const std::string QuotedHandOver = std::string("/WAIT:7:") + Token + " \"D:\\With Blanks\\\"";
const std::string ShortToken = std::string("/WAIT:12:") + (Token + 1) + " C:\\Tarnwick";
const std::string BadToken = std::string("/WAIT:12:") + std::string(31, 'a') + "g C:\\Tarnwick";
const std::string ZeroHandle = std::string("/WAIT:0:") + Token + " C:\\Tarnwick";

TEST(ParseUninstallArguments, TakesTheFolderAsTheEntryWritesItAndRefusesNoFolder) {
  const ArgumentCase cases[] = {
      {"C:\\Program Files\\KELM\\Tarnwick", true, "C:\\Program Files\\KELM\\Tarnwick", 0},
      {"  C:\\Program Files\\KELM\\Tarnwick \t", true, "C:\\Program Files\\KELM\\Tarnwick", 0},
      {"\"C:\\Program Files\\KELM\\Tarnwick\"", true, "C:\\Program Files\\KELM\\Tarnwick", 0},
      {"C:\\Tarnwick\\", true, "C:\\Tarnwick", 0},
      {"C:\\", true, "C:\\", 0},
      {HandOver.c_str(), true, "C:\\Tarnwick", 1234},
      {QuotedHandOver.c_str(), true, "D:\\With Blanks", 7},
      {LongestFolder.c_str(), true, LongestFolder.c_str(), 0},
      {"", false, nullptr, 0},
      {"   \t ", false, nullptr, 0},
      {"\"\"", false, nullptr, 0},
      {"\\", false, nullptr, 0},
      {"/WAIT:12", false, nullptr, 0},
      {"/WAIT:4 C:\\Tarnwick", false, nullptr, 0},  // no token
      {ShortToken.c_str(), false, nullptr, 0},
      {BadToken.c_str(), false, nullptr, 0},
      {ZeroHandle.c_str(), false, nullptr, 0},
      {"/WAIT: C:\\Tarnwick", false, nullptr, 0},
      {"/WAIT:12x C:\\Tarnwick", false, nullptr, 0},
      {"/WAIT:99999999999 C:\\Tarnwick", false, nullptr, 0},
      {TooLongFolder.c_str(), false, nullptr, 0},
  };
  for (const ArgumentCase& c : cases) {
    SCOPED_TRACE(std::string("arguments [") + c.arguments + "]");
    UninstallArguments parsed;
    ASSERT_EQ(ParseUninstallArguments(c.arguments, &parsed), c.accepted);
    if (!c.accepted) continue;
    EXPECT_STREQ(parsed.folder, c.folder);
    EXPECT_EQ(parsed.handOver, c.handOver);
    EXPECT_STREQ(parsed.token, c.handOver != 0 ? Token : "");
  }
}

struct PathCase {
  const char* folder;
  bool plain;
};

TEST(IsPlainFullPath, TakesFullPathsAndRefusesRelativeOnesAndDotComponents) {
  const PathCase cases[] = {
      {"C:\\Program Files\\KELM\\Tarnwick", true},
      {"d:\\Tarnwick", true},
      {"C:\\", true},
      {"\\\\server\\share\\Tarnwick", true},
      {"C:\\Tarnwick.old\\.hidden", true},
      {"Tarnwick", false},
      {"\\Tarnwick", false},
      {"C:Tarnwick", false},
      {"C:\\Program Files\\KELM\\Tarnwick\\..", false},
      {"C:\\Program Files\\KELM\\Tarnwick\\..\\..\\..\\Windows", false},
      {"C:\\Program Files\\.\\KELM", false},
      {"C:\\Program Files\\...\\KELM", false},
      {"C:\\Program Files\\\\KELM", false},
      {"C:/Program Files/KELM/Tarnwick", false},
      {"\\\\\\server", false},
      {"", false},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(IsPlainFullPath(c.folder), c.plain);
  }
}

struct EntryCase {
  const char* command;  // "UninstallString"
  const char* folder;
  bool names;
};

TEST(UninstallCommandNamesFolder, OnlyTheEntrysOwnArgumentCounts) {
  const EntryCase cases[] = {
      {"\"C:\\Program Files\\KELM\\Tarnwick\\uninstal.exe\" C:\\Program Files\\KELM\\Tarnwick",
       "C:\\Program Files\\KELM\\Tarnwick", true},
      {"\"C:\\Tarnwick\\uninstal.exe\" C:\\Tarnwick", "c:\\TARNWICK\\", true},
      {"C:\\Tarnwick\\uninstal.exe C:\\Tarnwick", "C:\\Tarnwick", true},
      {"\"C:\\Tarnwick\\uninstal.exe\" C:\\Tarnwick", "C:\\Tarnwick2", false},
      {"\"C:\\Tarnwick\\uninstal.exe\" C:\\Tarnwick", "C:\\Tarnwic", false},
      {"\"C:\\Copy\\uninstal.exe\" C:\\Tarnwick", "C:\\Copy", false},
      {"\"C:\\Tarnwick\\uninstal.exe\"", "C:\\Tarnwick", false},
      {"", "C:\\Tarnwick", false},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " / " + c.folder);
    EXPECT_EQ(UninstallCommandNamesFolder(c.command, c.folder), c.names);
  }
}

}  // namespace
