// libFuzzer target: any byte string is a stream for InflateEntry, decoded into a real temporary
// file. The decoder must not crash, hang or leak, and must agree with the plain reference
// decoder on the result, every write and the file's contents.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/host/inflate_reference.h"
#include "tests/host/inflate_run.h"

namespace {

int OutputFile() {
  static const int fd = OpenTemporaryFile();
  return fd;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const int fd = OutputFile();
  Check(fd >= 0 && ftruncate(fd, 0) == 0);
  const InflateRun run = RunInflate(data, size, fd);

  const reference::Outcome expected = reference::Inflate(data, size);
  Check(run.result == (expected.ok ? 1 : 0));
  const std::vector<WritePiece> writes = ExpectedWrites(expected.output.size(), expected.ok);
  Check(run.writes == writes);
  const size_t written = writes.empty() ? 0 : writes.back().offset + writes.back().count;
  Check(run.size == written);
  Check(run.consumed >= 0 && static_cast<size_t>(run.consumed) <= size);
  std::vector<uint8_t> file(written);
  Check(pread(fd, file.data(), written, 0) == static_cast<ssize_t>(written));
  Check(std::equal(file.begin(), file.end(), expected.output.begin()));
  return 0;
}
