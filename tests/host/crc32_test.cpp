// Crc32Update against zlib's crc32: every way of computing it (bytes and slices of 16 below 64
// bytes, 64-byte folding from 64, 128-byte folding from 256 where the processor has it), at
// every alignment, whole and fed in pieces.
#include <gtest/gtest.h>
#include <zlib.h>

#include "inflate/inflate.h"
#include "tests/support/random_bytes.h"

namespace {

uint32_t ZlibCrc(const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(size)));
}

TEST(Crc32, AgreesWithZlibForEverySizeAndAlignment) {
  const std::vector<uint8_t> data = RandomBytes(70000, 3);
  for (size_t size = 0; size <= 1100; ++size)
    for (size_t offset : {0, 1, 3, 8, 15}) {
      SCOPED_TRACE(testing::Message() << "size " << size << " offset " << offset);
      ASSERT_EQ(Crc32Update(0, data.data() + offset, size), ZlibCrc(data.data() + offset, size));
    }
  for (size_t size : {32767, 32768, 32769, 65536, 69999}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(Crc32Update(0, data.data(), size), ZlibCrc(data.data(), size));
  }
}

// Pieces continue the CRC of the pieces before them, whatever their sizes.
TEST(Crc32, PiecesContinueTheCrc) {
  const std::vector<uint8_t> data = RandomBytes(100000, 4);
  const size_t pieceSizes[] = {1, 15, 16, 63, 64, 100, 255, 256, 1000, 32768};
  for (size_t piece : pieceSizes) {
    SCOPED_TRACE(piece);
    uint32_t crc = 0;
    for (size_t at = 0; at < data.size(); at += piece)
      crc = Crc32Update(crc, data.data() + at, std::min(piece, data.size() - at));
    EXPECT_EQ(crc, ZlibCrc(data.data(), data.size()));
  }
}

}  // namespace
