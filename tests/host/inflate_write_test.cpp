// The decoder's output side: a positioning or write that fails, or writes less than asked,
// ends the decode at once; the CRC-32 and byte count of what was written are kept.
// The failures are real: a pipe cannot be positioned, a read-only descriptor cannot be written,
// and a file-size limit cuts a write short.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <zlib.h>

#include <random>

#include "tests/support/bit_writer.h"
#include "tests/support/random_bytes.h"
#include "inflate_run.h"

namespace {

// 100000 distinct bytes in stored blocks: three full windows and a rest of 1696 bytes.
struct StoredStream {
  std::vector<uint8_t> data = RandomBytes(100000, 5);
  std::vector<uint8_t> stream;
  StoredStream() {
    BitWriter w;
    for (size_t done = 0; done < data.size(); done += 50000) {
      w.Put(done + 50000 == data.size(), 1).Put(0, 2).Align()  // BFINAL, stored
          .Put(50000, 16).Put(~50000u, 16)                      // LEN, NLEN
          .PutBytes(std::vector<uint8_t>(data.begin() + done, data.begin() + done + 50000));
    }
    stream = w.Bytes();
  }
};

uint32_t ZlibCrc(const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(size)));
}

TEST(InflateWrite, FileThatCannotBePositionedFailsAtTheFirstWrite) {
  const StoredStream s;
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const InflateRun run = RunInflate(s.stream.data(), s.stream.size(), ends[1]);
  close(ends[1]);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.writes, (std::vector<WritePiece>{{0, 32768}}));  // no further attempt
  EXPECT_EQ(run.size, 0u);
  EXPECT_EQ(run.crc, 0u);
  char byte;
  EXPECT_EQ(read(ends[0], &byte, 1), 0) << "nothing reached the pipe";
  close(ends[0]);
}

TEST(InflateWrite, FileThatCannotBeWrittenFails) {
  const StoredStream s;
  char path[] = "/tmp/inflate-readonly-XXXXXX";
  const int created = mkstemp(path);
  ASSERT_GE(created, 0);
  close(created);
  const int fd = open(path, O_RDONLY);
  unlink(path);
  const InflateRun run = RunInflate(s.stream.data(), s.stream.size(), fd);
  close(fd);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.writes, (std::vector<WritePiece>{{0, 32768}}));
  EXPECT_EQ(run.size, 0u);
}

// A file-size limit of 40000 bytes lets the first piece through and cuts the second one short.
// The limit would apply to the whole test program, so the decode runs in a child process.
TEST(InflateWrite, ShortWriteFails) {
  const StoredStream s;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit then returns what fitted
    const rlimit limit{40000, 40000};
    setrlimit(RLIMIT_FSIZE, &limit);
    const InflateRun run = RunInflate(s.stream);
    const bool asExpected = run.result == 0 &&
                            run.writes == std::vector<WritePiece>{{0, 32768}, {32768, 32768}} &&
                            run.size == 32768 && run.file.size() == 40000 &&
                            run.crc == ZlibCrc(s.data.data(), 32768);
    _exit(asExpected ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the decode did not stop at the short write";
}

TEST(InflateWrite, CrcAndSizeCoverEverythingWritten) {
  const StoredStream s;
  const InflateRun whole = RunInflate(s.stream);
  EXPECT_EQ(whole.result, 1);
  EXPECT_EQ(whole.size, s.data.size());
  EXPECT_EQ(whole.crc, ZlibCrc(s.data.data(), s.data.size()));

  // Cut inside the third window: two pieces were written before the decode failed.
  const InflateRun cut = RunInflate(s.stream.data(), 80000);
  EXPECT_EQ(cut.result, 0);
  EXPECT_EQ(cut.writes, ExpectedWrites(65536, false));
  EXPECT_EQ(cut.size, 65536u);
  EXPECT_EQ(cut.crc, ZlibCrc(s.data.data(), 65536));

  // The next decode starts from nothing.
  const uint8_t blockType3[] = {0x07};  // BFINAL 1, BTYPE 11
  const InflateRun failed = RunInflate(blockType3, sizeof blockType3);
  EXPECT_EQ(failed.result, 0);
  EXPECT_EQ(failed.size, 0u);
  EXPECT_EQ(failed.crc, 0u);
}

}  // namespace
