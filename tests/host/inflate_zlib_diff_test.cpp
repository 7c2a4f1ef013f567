// Our decoder against zlib: data of many kinds, compressed by zlib with every level, every
// strategy and several window and memory settings, decode to the original bytes, in the
// expected pieces, with zlib's CRC-32, using exactly zlib's compressed bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "inflate_run.h"

namespace {

enum class Kind { Random, Text, Runs, Binary, Mixed };

// Deterministic data of a kind: incompressible bytes, word-like text, long runs of a few
// values, table-like binary records, or all of these in turn.
std::vector<uint8_t> MakeData(Kind kind, size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> data;
  data.reserve(size);
  static const char* words[] = {"the ", "window ", "is ", "flushed ", "whole ", "Tarnwick ", "Pro ", "5.0 ",
                                "setup ", "file ", "registry ", "key ", "value ", "\r\n", "of ", "a "};
  while (data.size() < size) {
    Kind k = kind == Kind::Mixed ? static_cast<Kind>(random() % 4) : kind;
    const size_t piece = kind == Kind::Mixed ? 1 + random() % 20000 : size;
    for (size_t i = 0; i < piece && data.size() < size;) {
      switch (k) {
        case Kind::Random: data.push_back(static_cast<uint8_t>(random())), ++i; break;
        case Kind::Text:
          for (const char* w = words[random() % 16]; *w && data.size() < size; ++w, ++i) data.push_back(*w);
          break;
        case Kind::Runs: {
          const uint8_t value = static_cast<uint8_t>(random() % 3 == 0 ? random() : 0);
          for (size_t run = 1 + random() % 2000; run > 0 && data.size() < size; --run, ++i) data.push_back(value);
          break;
        }
        default: {  // a 16-byte record: counter, small field, pointer-like value
          uint8_t record[16] = {};
          const uint32_t counter = static_cast<uint32_t>(data.size() / 16), field = random() % 7,
                         pointer = 0x00401000u + (random() % 512) * 4;
          std::memcpy(record, &counter, 4);
          std::memcpy(record + 4, &field, 4);
          std::memcpy(record + 8, &pointer, 4);
          for (size_t b = 0; b < 16 && data.size() < size; ++b, ++i) data.push_back(record[b]);
          break;
        }
      }
    }
  }
  return data;
}

std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& data, int level, int strategy, int windowBits = 15,
                                  int memLevel = 8) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -windowBits, memLevel, strategy), Z_OK);
  std::vector<uint8_t> out(deflateBound(&z, static_cast<uLong>(data.size())) + 16);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void ExpectDecodes(const std::vector<uint8_t>& data, const std::vector<uint8_t>& stream) {
  const InflateRun run = RunInflate(stream);
  ASSERT_EQ(run.result, 1);
  ASSERT_EQ(run.writes, ExpectedWrites(data.size(), true));
  ASSERT_TRUE(run.file == data) << "output differs";
  ASSERT_EQ(run.size, data.size());
  ASSERT_EQ(run.crc, static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
  ASSERT_EQ(static_cast<size_t>(run.consumed), stream.size());
}

TEST(InflateZlibDiff, EveryLevelAndStrategy) {
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  const Kind kinds[] = {Kind::Random, Kind::Text, Kind::Runs, Kind::Binary, Kind::Mixed};
  const size_t sizes[] = {0, 1, 100, 32767, 32768, 32769, 65536 + 300};
  uint32_t seed = 1;
  for (int level = 0; level <= 9; ++level)
    for (int strategy : strategies) {
      if (level == 0 && strategy != Z_DEFAULT_STRATEGY) continue;  // stored whatever the strategy
      for (Kind kind : kinds) {
        const size_t size = sizes[seed % 7];
        SCOPED_TRACE(testing::Message() << "level " << level << " strategy " << strategy << " kind "
                                        << static_cast<int>(kind) << " size " << size);
        const std::vector<uint8_t> data = MakeData(kind, size, seed++);
        ExpectDecodes(data, ZlibCompress(data, level, strategy));
        if (HasFatalFailure()) return;
      }
    }
}

TEST(InflateZlibDiff, SizesAroundWindowBoundaries) {
  for (size_t base : {size_t{0}, size_t{32768}, size_t{65536}, size_t{98304}})
    for (int delta : {-2, -1, 0, 1, 2, 258}) {
      if (static_cast<long>(base) + delta < 0) continue;
      const size_t size = base + delta;
      for (Kind kind : {Kind::Text, Kind::Runs}) {
        SCOPED_TRACE(testing::Message() << "size " << size << " kind " << static_cast<int>(kind));
        const std::vector<uint8_t> data = MakeData(kind, size, static_cast<uint32_t>(size));
        ExpectDecodes(data, ZlibCompress(data, 6, Z_DEFAULT_STRATEGY));
        ExpectDecodes(data, ZlibCompress(data, 1, Z_FIXED));
        if (HasFatalFailure()) return;
      }
    }
}

// Small windows and memory levels change the block sizes and the distances zlib uses.
TEST(InflateZlibDiff, WindowAndMemorySettings) {
  const std::vector<uint8_t> data = MakeData(Kind::Mixed, 300000, 77);
  for (int windowBits : {9, 12, 15})
    for (int memLevel : {1, 5, 9}) {
      SCOPED_TRACE(testing::Message() << "windowBits " << windowBits << " memLevel " << memLevel);
      ExpectDecodes(data, ZlibCompress(data, 9, Z_DEFAULT_STRATEGY, windowBits, memLevel));
      if (HasFatalFailure()) return;
    }
}

// Flushes put empty stored blocks and block ends at byte boundaries; changing parameters midway
// mixes block types within one stream.
TEST(InflateZlibDiff, FlushesAndParameterChanges) {
  const std::vector<uint8_t> data = MakeData(Kind::Mixed, 200000, 5);
  z_stream z{};
  ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::vector<uint8_t> out(deflateBound(&z, static_cast<uLong>(data.size())) * 2 + 4096);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  std::mt19937 random(8);
  size_t done = 0;
  const int flushes[] = {Z_NO_FLUSH, Z_SYNC_FLUSH, Z_FULL_FLUSH, Z_BLOCK, Z_PARTIAL_FLUSH};
  while (done < data.size()) {
    const size_t piece = std::min<size_t>(data.size() - done, 1 + random() % 9000);
    z.next_in = const_cast<Bytef*>(data.data() + done);
    z.avail_in = static_cast<uInt>(piece);
    ASSERT_EQ(deflate(&z, flushes[random() % 5]), Z_OK);
    done += piece;
    if (random() % 4 == 0) {
      const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
      ASSERT_EQ(deflateParams(&z, static_cast<int>(random() % 10), strategies[random() % 5]), Z_OK);
    }
  }
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  ExpectDecodes(data, out);
}

TEST(InflateZlibDiff, SeveralMegabytes) {
  const std::vector<uint8_t> data = MakeData(Kind::Mixed, 5 * 1024 * 1024 + 12345, 42);
  ExpectDecodes(data, ZlibCompress(data, 6, Z_DEFAULT_STRATEGY));
  const std::vector<uint8_t> runs = MakeData(Kind::Runs, 3 * 1024 * 1024, 43);
  ExpectDecodes(runs, ZlibCompress(runs, 9, Z_RLE));
}

}  // namespace
