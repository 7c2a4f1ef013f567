// The inflate-raw command: decodes a raw DEFLATE file into another file; its exit status says
// whether the decode succeeded.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace {

struct ToolFiles : ScratchFolder {
  ToolFiles() : ScratchFolder("inflate-raw-test") {}
  std::string In() const { return (folder / "in").string(); }
  std::string Out() const { return (folder / "out").string(); }
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int RunTool(const std::string& arguments) {
  const std::string command = std::string(TOOLS_DIR) + "/inflate-raw " + arguments + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InflateRawTool, DecodesAValidStream) {
  ToolFiles files;
  std::vector<uint8_t> data;
  for (int i = 0; i < 100000; ++i) data.push_back(static_cast<uint8_t>("Tarnwick setup "[i % 15] + i / 7000));
  std::vector<uint8_t> stream(compressBound(static_cast<uLong>(data.size())));
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  z.next_in = data.data();
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = stream.data();
  z.avail_out = static_cast<uInt>(stream.size());
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  stream.resize(z.total_out);
  deflateEnd(&z);
  WriteFile(files.In(), stream);
  WriteFile(files.Out(), std::vector<uint8_t>(200000, 'x'));  // replaced, not overwritten in place
  EXPECT_EQ(RunTool(files.In() + " " + files.Out()), 0);
  EXPECT_EQ(ReadFile(files.Out()), data);
}

TEST(InflateRawTool, FailsOnAMalformedStream) {
  ToolFiles files;
  WriteFile(files.In(), {0x07, 0x00});  // final block of type 3
  EXPECT_NE(RunTool(files.In() + " " + files.Out()), 0);
  WriteFile(files.In(), {});  // nothing at all
  EXPECT_NE(RunTool(files.In() + " " + files.Out()), 0);
}

TEST(InflateRawTool, FailsWithoutItsFiles) {
  ToolFiles files;
  EXPECT_NE(RunTool(files.folder.string() + "/missing " + files.Out()), 0);
  WriteFile(files.In(), {0x03, 0x00});  // an empty fixed block
  EXPECT_NE(RunTool(files.In() + " " + files.folder.string() + "/no/such/folder/out"), 0);
  EXPECT_NE(RunTool(files.In()), 0);
  EXPECT_EQ(RunTool(files.In() + " " + files.Out()), 0);
  EXPECT_TRUE(ReadFile(files.Out()).empty());
}

}  // namespace
