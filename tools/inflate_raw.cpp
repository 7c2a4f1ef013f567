// inflate-raw IN OUT: decodes the raw DEFLATE stream in file IN with the setup program's decoder
// into file OUT (created or truncated). Exit status 0 on success, 1 when the decode fails,
// 2 when a file cannot be read or created.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "inflate/inflate.h"

namespace {

bool ReadWholeFile(const char* path, std::vector<uint8_t>& data) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + got);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: inflate-raw IN OUT\n");
    return 2;
  }
  std::vector<uint8_t> input;
  if (!ReadWholeFile(argv[1], input) || input.size() > INT32_MAX) {
    std::fprintf(stderr, "inflate-raw: cannot read %s\n", argv[1]);
    return 2;
  }
  const int fd = open(argv[2], O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "inflate-raw: cannot create %s\n", argv[2]);
    return 2;
  }
  InflateStream.input = input.data();
  InflateStream.consumed = 0;
  InflateStream.inputLength = static_cast<int32_t>(input.size());
  InflateStream.outputFile = reinterpret_cast<OutputFileHandle>(static_cast<intptr_t>(fd));
  const int ok = InflateEntry();
  close(fd);
  if (!ok) {
    std::fprintf(stderr, "inflate-raw: %s is not a valid raw DEFLATE stream\n", argv[1]);
    return 1;
  }
  return 0;
}
