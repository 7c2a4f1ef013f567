// The build-time product tools: make-product writes the manifest's files deterministically,
// takes real programs for "program" entries padded to their manifest size, and rejects what it
// cannot honour; pack-catalogue refuses a manifest of other than PayloadEntryCount files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

struct Scratch : ScratchFolder {
  Scratch() : ScratchFolder("product-tools-test") {}
};

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int RunTool(const std::string& tool, const std::string& arguments) {
  const std::string command = std::string(TOOLS_DIR) + "/" + tool + " " + arguments + " 2>/dev/null >/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One file of each recipe, at sizes from tiny to a few hundred kilobytes.
const char kManifest[] =
    "# name size recipe origin\n"
    "TWExplo.exe 262144 app program\n"
    "TWCmd.exe 20480 console gen\n"
    "50comupd.exe 65536 sfx program\n"
    "arczip.dll 53760 library gen\n"
    "lattice.ocx 81920 control program\n"
    "cp1252.dll 6144 codepage gen\n"
    "lngDEU.dll 40960 langpack gen\n"
    "TWTheme.dll 102400 media gen\n"
    "twfsflt.sys 38912 driver gen\n"
    "twvfsd.vxd 27731 vxd gen\n"
    "tarnwick.hlp 91234 help gen\n"
    "readme.rtf 4791 rtf gen\n"
    "twftp.ini 2779 ini gen\n"
    "license.txt 1268 text gen\n"
    "tarnwick.inf 7093 inf gen\n"
    "twtips.dat 1938 tips gen\n"
    "tarnwick.tlb 3548 typelib gen\n"
    "tarnwick.ico 10134 icon gen\n"
    "TWDos.pif 967 pif gen\n"
    "TWQuick.lnk 425 lnk gen\n";

TEST(MakeProduct, WritesEveryFileAtItsSizeAndTheSameBytesEachTime) {
  Scratch s;
  WriteText(s.folder / "manifest.txt", kManifest);
  const std::string manifest = (s.folder / "manifest.txt").string();
  ASSERT_EQ(RunTool("make-product", manifest + " " + (s.folder / "a").string()), 0);
  ASSERT_EQ(RunTool("make-product", manifest + " " + (s.folder / "b").string()), 0);
  std::istringstream lines(kManifest);
  std::string line;
  int files = 0;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name;
    size_t size;
    fields >> name >> size;
    SCOPED_TRACE(name);
    const std::vector<uint8_t> a = ReadBytes(s.folder / "a" / name), b = ReadBytes(s.folder / "b" / name);
    EXPECT_EQ(a.size(), size);
    EXPECT_EQ(a, b);
    const std::string kind = name.substr(name.size() - 4);
    if (kind == ".exe" || kind == ".dll" || kind == ".ocx" || kind == ".sys" || kind == ".vxd") {
      ASSERT_GE(a.size(), 2u);
      EXPECT_EQ(a[0], 'M');
      EXPECT_EQ(a[1], 'Z');
    }
    ++files;
  }
  EXPECT_EQ(files, 20);
}

TEST(MakeProduct, TakesRealProgramsPaddedWithTheGeneratedTail) {
  Scratch s;
  WriteText(s.folder / "manifest.txt", kManifest);
  fs::create_directories(s.folder / "programs");
  const std::string program = "MZ real program built from our sources";
  WriteText(s.folder / "programs" / "TWExplo.exe", program);
  WriteText(s.folder / "programs" / "arczip.dll", "MZ not a program entry: ignored");
  const std::string manifest = (s.folder / "manifest.txt").string();
  ASSERT_EQ(RunTool("make-product", manifest + " " + (s.folder / "plain").string()), 0);
  ASSERT_EQ(RunTool("make-product", manifest + " " + (s.folder / "real").string() + " " + (s.folder / "programs").string()), 0);
  const std::vector<uint8_t> plain = ReadBytes(s.folder / "plain" / "TWExplo.exe");
  const std::vector<uint8_t> real = ReadBytes(s.folder / "real" / "TWExplo.exe");
  ASSERT_EQ(real.size(), 262144u);
  EXPECT_EQ(std::string(real.begin(), real.begin() + program.size()), program);
  EXPECT_TRUE(std::equal(real.begin() + program.size(), real.end(), plain.begin() + program.size()));
  // Generated entries ignore the programs folder; program entries without a program stay generated.
  EXPECT_EQ(ReadBytes(s.folder / "real" / "arczip.dll"), ReadBytes(s.folder / "plain" / "arczip.dll"));
  EXPECT_EQ(ReadBytes(s.folder / "real" / "lattice.ocx"), ReadBytes(s.folder / "plain" / "lattice.ocx"));
}

TEST(MakeProduct, RemovesFilesThatTheManifestNoLongerLists) {
  Scratch s;
  WriteText(s.folder / "manifest.txt", "TWQuick.lnk 425 lnk gen\n");
  fs::create_directories(s.folder / "out");
  WriteText(s.folder / "out" / "tarnwick.gid", "stale");
  ASSERT_EQ(RunTool("make-product", (s.folder / "manifest.txt").string() + " " + (s.folder / "out").string()), 0);
  EXPECT_TRUE(fs::exists(s.folder / "out" / "TWQuick.lnk"));
  EXPECT_FALSE(fs::exists(s.folder / "out" / "tarnwick.gid"));
}

TEST(MakeProduct, RejectsWhatItCannotHonour) {
  struct Case {
    const char* what;
    const char* manifest;
    const char* program;  // TWExplo.exe in the programs folder, or none
  };
  const Case cases[] = {
      {"a name repeated in other letter case", "TWick.exe 4096 app gen\ntwick.exe 4096 app gen\n", nullptr},
      {"an unknown recipe", "TWick.exe 4096 game gen\n", nullptr},
      {"an unknown origin", "TWick.exe 4096 app bought\n", nullptr},
      {"a missing column", "TWick.exe 4096 app\n", nullptr},
      {"a size that is not a number", "TWick.exe 4k app gen\n", nullptr},
      {"a name with a character outside letters, digits, dot and dash", "TW_ick.exe 4096 app gen\n", nullptr},
      {"a program larger than its manifest size", "TWExplo.exe 16 app program\n", "MZ seventeen bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scratch s;
    WriteText(s.folder / "manifest.txt", c.manifest);
    std::string arguments = (s.folder / "manifest.txt").string() + " " + (s.folder / "out").string();
    if (c.program != nullptr) {
      fs::create_directories(s.folder / "programs");
      WriteText(s.folder / "programs" / "TWExplo.exe", c.program);
      arguments += " " + (s.folder / "programs").string();
    }
    EXPECT_EQ(RunTool("make-product", arguments), 1);
  }
}

TEST(PackCatalogue, RefusesAManifestOfOtherThanTheCatalogueSize) {
  Scratch s;
  WriteText(s.folder / "manifest.txt", "TWQuick.lnk 425 lnk gen\nTWDos.pif 967 pif gen\n");
  const std::string manifest = (s.folder / "manifest.txt").string();
  ASSERT_EQ(RunTool("make-product", manifest + " " + (s.folder / "files").string()), 0);
  EXPECT_EQ(RunTool("pack-catalogue", manifest + " " + (s.folder / "files").string() + " " + (s.folder / "out").string()), 1);
  EXPECT_FALSE(fs::exists(s.folder / "out" / "payload_tables.cpp"));
}

}  // namespace
