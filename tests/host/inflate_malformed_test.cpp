// Malformed and truncated streams: each kind of fault fails the decode, after exactly the
// writes that the output before it fills, and agrees with the plain reference decoder.
// Damaged copies of valid streams are compared with the reference as well.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>
#include <string>

#include "tests/support/bit_writer.h"
#include "tests/support/random_bytes.h"
#include "inflate_reference.h"
#include "inflate_run.h"

namespace {

// Our decoder and the reference agree on the result, the writes and the file.
void ExpectSameAsReference(const std::vector<uint8_t>& stream, const InflateRun& run) {
  const reference::Outcome expected = reference::Inflate(stream.data(), stream.size());
  ASSERT_EQ(run.result, expected.ok ? 1 : 0);
  const std::vector<WritePiece> writes = ExpectedWrites(expected.output.size(), expected.ok);
  ASSERT_EQ(run.writes, writes);
  const size_t written = writes.empty() ? 0 : writes.back().offset + writes.back().count;
  ASSERT_EQ(run.file, std::vector<uint8_t>(expected.output.begin(), expected.output.begin() + written));
  ASSERT_EQ(run.size, written);
  ASSERT_EQ(run.crc, static_cast<uint32_t>(crc32(0, run.file.data(), static_cast<uInt>(run.file.size()))));
}

// A dynamic block header with an explicit code-length code: clLengths[symbol] for symbols 0 to
// 18, then the code-length items as (symbol, extra bits value).
void PutDynamicHeader(BitWriter& w, unsigned nl, unsigned nd, const std::vector<uint8_t>& clLengths,
                      const std::vector<std::pair<unsigned, unsigned>>& items) {
  w.Put(nl - 257, 5).Put(nd - 1, 5).Put(15, 4);  // HLIT, HDIST, HCLEN (all 19)
  for (uint8_t symbol : codeLengthOrder) w.Put(clLengths[symbol], 3);
  const std::vector<uint32_t> codes = CanonicalCodes(clLengths);
  for (auto [symbol, extra] : items) {
    w.PutCode(codes[symbol], clLengths[symbol]);
    if (symbol == 16) w.Put(extra, 2);
    if (symbol == 17) w.Put(extra, 3);
    if (symbol == 18) w.Put(extra, 7);
  }
}

// Code-length code lengths with 2-bit codes for the four given symbols (a complete set).
std::vector<uint8_t> FourCodeLengthCodes(unsigned a, unsigned b, unsigned c, unsigned d) {
  std::vector<uint8_t> lengths(19, 0);
  lengths[a] = lengths[b] = lengths[c] = lengths[d] = 2;
  return lengths;
}

// A non-final stored block of 40000 distinct bytes: one full window is written, 7232 bytes wait.
void PutFullWindowFirst(BitWriter& w) {
  w.Put(0, 1).Put(0, 2).Align().Put(40000, 16).Put(~40000u, 16).PutBytes(RandomBytes(40000, 1));
}

struct Case {
  const char* what;
  std::function<void(BitWriter&)> build;
  int result;
  size_t written;  // bytes in the file afterwards
};

const Case cases[] = {
    {"empty input", [](BitWriter&) {}, 0, 0},
    {"block type 3", [](BitWriter& w) { w.Put(1, 1).Put(3, 2); }, 0, 0},
    {"block type 3 after a full window", [](BitWriter& w) { PutFullWindowFirst(w); w.Put(1, 1).Put(3, 2); }, 0, 32768},
    {"code-length code over-subscribed",
     [](BitWriter& w) { w.Put(1, 1).Put(2, 2); PutDynamicHeader(w, 257, 1, std::vector<uint8_t>(19, 1), {}); }, 0, 0},
    {"code-length code incomplete",
     [](BitWriter& w) {
       std::vector<uint8_t> cl(19, 0);
       cl[0] = cl[8] = 2;  // two of four 2-bit codes
       w.Put(1, 1).Put(2, 2);
       PutDynamicHeader(w, 257, 1, cl, {{8, 0}});
     }, 0, 0},
    {"code-length code without codes",
     [](BitWriter& w) { w.Put(1, 1).Put(2, 2); PutDynamicHeader(w, 257, 1, std::vector<uint8_t>(19, 0), {}); }, 0, 0},
    {"unused code-length code",
     [](BitWriter& w) {
       std::vector<uint8_t> cl(19, 0);
       cl[8] = 1;  // one 1-bit code: '0' is length 8, '1' is unused
       w.Put(1, 1).Put(2, 2);
       PutDynamicHeader(w, 257, 1, cl, {{8, 0}, {8, 0}});
       w.PutCode(1, 1);
     }, 0, 0},
    {"zeros repeated past the lengths",
     [](BitWriter& w) {
       w.Put(1, 1).Put(2, 2);  // 258 lengths declared; 138 + 127 zeros
       PutDynamicHeader(w, 257, 1, FourCodeLengthCodes(1, 16, 17, 18), {{18, 127}, {18, 116}});
     }, 0, 0},
    {"previous length repeated past the lengths",
     [](BitWriter& w) {
       w.Put(1, 1).Put(2, 2);  // 256 zeros, one 1, then 3 more 1s: 260 of 258
       PutDynamicHeader(w, 257, 1, FourCodeLengthCodes(1, 16, 17, 18), {{18, 127}, {18, 107}, {1, 0}, {16, 0}});
     }, 0, 0},
    {"16 before any length repeats zero",
     [](BitWriter& w) {
       // 'a' (97) and end of block 1 bit each, one 1-bit distance code: 3 + 94 zeros, 1,
       // 138 + 20 zeros, 1, 1.
       w.Put(1, 1).Put(2, 2);
       PutDynamicHeader(w, 257, 1, FourCodeLengthCodes(1, 16, 17, 18),
                        {{16, 0}, {18, 83}, {1, 0}, {18, 127}, {18, 9}, {1, 0}, {1, 0}});
       w.PutCode(0, 1).PutCode(0, 1).PutCode(1, 1);  // "aa", end of block
     }, 1, 2},
    {"literal/length set over-subscribed",
     [](BitWriter& w) { w.Put(1, 1).Put(2, 2).DynamicHeader(std::vector<uint8_t>(257, 8), {1}); }, 0, 0},
    {"literal/length set incomplete",
     [](BitWriter& w) {
       std::vector<uint8_t> literals(257, 0);
       literals['a'] = literals[256] = 2;
       w.Put(1, 1).Put(2, 2).DynamicHeader(literals, {1}).PutCode(3, 2);
     }, 0, 0},
    {"literal/length set without codes",
     [](BitWriter& w) { w.Put(1, 1).Put(2, 2).DynamicHeader(std::vector<uint8_t>(257, 0), {1}).Put(0, 16); }, 0, 0},
    {"distance set without codes, literals only",
     [](BitWriter& w) {
       std::vector<uint8_t> literals(257, 0);
       literals['a'] = literals[256] = 1;
       w.Put(1, 1).Put(2, 2).DynamicHeader(literals, {0}).PutCode(0, 1).PutCode(1, 1);  // "a", end
     }, 1, 1},
    {"distance set without codes, a match",
     [](BitWriter& w) {
       std::vector<uint8_t> literals(258, 0);
       literals['a'] = 1;
       literals[256] = literals[257] = 2;  // 'a' 0, end 10, length 3 11
       w.Put(1, 1).Put(2, 2).DynamicHeader(literals, {0}).PutCode(0, 1).PutCode(3, 2).Put(0, 16);
     }, 0, 0},
    {"distance set incomplete",
     [](BitWriter& w) {
       std::vector<uint8_t> literals(257, 0);
       literals['a'] = literals[256] = 1;
       w.Put(1, 1).Put(2, 2).DynamicHeader(literals, {2, 2, 2}).PutCode(1, 1);
     }, 0, 0},
    {"reference before the first byte",
     [](BitWriter& w) { w.Put(1, 1).Put(1, 2).FixedLiteral('a').FixedMatch(3, 2).FixedEndOfBlock(); }, 0, 0},
    {"reference to the first byte",
     [](BitWriter& w) { w.Put(1, 1).Put(1, 2).FixedLiteral('a').FixedMatch(3, 1).FixedEndOfBlock(); }, 1, 4},
    {"reference before the first byte, inside a long block",
     [](BitWriter& w) {
       w.Put(1, 1).Put(1, 2);
       for (int i = 0; i < 40; ++i) w.FixedLiteral('a' + i % 26);
       w.FixedMatch(3, 41);
       for (int i = 0; i < 40; ++i) w.FixedLiteral('a');
       w.FixedEndOfBlock();
     }, 0, 0},
    // A code cut short must not fill the window: the write it would cause never happens.
    {"literal cut short at the end of a window",
     [](BitWriter& w) {
       w.Put(0, 1).Put(0, 2).Align().Put(32767, 16).Put(~32767u, 16).PutBytes(RandomBytes(32767, 6));
       w.Put(1, 1).Put(1, 2).PutCode(0x190 >> 4, 5);  // the first 5 of 9 bits of literal 144
     }, 0, 0},
    {"match cut short at the end of a window",
     [](BitWriter& w) {
       w.Put(0, 1).Put(0, 2).Align().Put(32767, 16).Put(~32767u, 16).PutBytes(RandomBytes(32767, 6));
       w.Put(1, 1).Put(1, 2).FixedLiteral(257).FixedDistance(24).Put(0, 3);  // 3 of 11 extra bits
     }, 0, 0},
    {"longest reference before a full window",
     [](BitWriter& w) {
       w.Put(0, 1).Put(0, 2).Align().Put(32767, 16).Put(~32767u, 16).PutBytes(RandomBytes(32767, 2));
       w.Put(1, 1).Put(1, 2).FixedMatch(3, 32768).FixedEndOfBlock();
     }, 0, 0},
    {"stored data cut short after a full window",
     [](BitWriter& w) {
       w.Put(1, 1).Put(0, 2).Align().Put(40000, 16).Put(~40000u, 16).PutBytes(RandomBytes(35000, 3));
     }, 0, 32768},
    // Read again and again, the last byte 0xFF would be an endless run of 9-bit literals 255.
    {"stream cut inside literals of all one bits",
     [](BitWriter& w) {
       w.Put(1, 1).Put(1, 2).FixedLiteral(255).FixedLiteral(255);  // 21 bits
       w.Put(0x7FF, 11);  // a third 255 and 2 bits of a fourth: the last byte is 0xFF
       EXPECT_EQ(w.Bytes().back(), 0xFF);
     }, 0, 0},
    {"stored length cut short", [](BitWriter& w) { w.Put(1, 1).Put(0, 2).Align().Put(5, 8); }, 0, 0},
    {"fixed block without its end",
     [](BitWriter& w) { w.Put(1, 1).Put(1, 2).FixedLiteral('a').FixedLiteral('b'); }, 0, 0},
    {"no final block", [](BitWriter& w) { w.Put(0, 1).Put(1, 2).FixedEndOfBlock(); }, 0, 0},
    {"dynamic header cut short", [](BitWriter& w) { w.Put(1, 1).Put(2, 2).Put(0, 5).Put(0, 5); }, 0, 0},
};

TEST(InflateMalformed, EachFaultFailsAfterTheWritesBeforeIt) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BitWriter w;
    c.build(w);
    const InflateRun run = RunInflate(w.Bytes());
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.file.size(), c.written);
    ExpectSameAsReference(w.Bytes(), run);
  }
}

// Streams to damage: zlib's output for several kinds of data and settings, and blocks of every
// type written by hand.
std::vector<std::vector<uint8_t>> ValidStreams() {
  std::vector<std::vector<uint8_t>> streams;
  std::mt19937 random(99);
  std::string text;
  const char* words[] = {"window ", "flush ", "table ", "Tarnwick ", "setup ", "\r\n", "0x1F ", "the "};
  while (text.size() < 6000) text += words[random() % 8];
  const std::vector<uint8_t> textBytes(text.begin(), text.end());
  const std::vector<uint8_t> noise = RandomBytes(1500, 4);
  struct Setting {
    int level, strategy;
    const std::vector<uint8_t>* data;
  };
  const Setting settings[] = {{6, Z_DEFAULT_STRATEGY, &textBytes}, {9, Z_FILTERED, &textBytes},
                              {1, Z_FIXED, &textBytes},            {6, Z_HUFFMAN_ONLY, &textBytes},
                              {6, Z_RLE, &textBytes},              {0, Z_DEFAULT_STRATEGY, &noise},
                              {6, Z_DEFAULT_STRATEGY, &noise}};
  for (const Setting& s : settings) {
    z_stream z{};
    deflateInit2(&z, s.level, Z_DEFLATED, -15, 8, s.strategy);
    std::vector<uint8_t> out(deflateBound(&z, static_cast<uLong>(s.data->size())) + 64);
    z.next_in = const_cast<Bytef*>(s.data->data());
    z.avail_in = static_cast<uInt>(s.data->size() / 2);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_SYNC_FLUSH);  // an empty stored block in the middle
    z.avail_in = static_cast<uInt>(s.data->size() - s.data->size() / 2);
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    streams.push_back(out);
  }
  BitWriter w;
  w.Put(0, 1).Put(1, 2).FixedLiteral('x').FixedMatch(40, 1).FixedLiteral('y').FixedMatch(10, 2).FixedEndOfBlock();
  w.Put(0, 1).Put(0, 2).Align().Put(20, 16).Put(~20u, 16).PutBytes(RandomBytes(20, 5));
  std::vector<uint8_t> literals(258, 0);
  literals['p'] = 2;
  literals['q'] = 2;
  literals[256] = 2;
  literals[257] = 2;
  w.Put(1, 1).Put(2, 2).DynamicHeader(literals, {1});
  const std::vector<uint32_t> codes = CanonicalCodes(literals);
  for (unsigned s : {unsigned{'p'}, unsigned{'q'}, 257u, unsigned{'p'}, 257u, 256u}) {
    w.PutCode(codes[s], 2);
    if (s == 257) w.PutCode(0, 1);  // distance 1
  }
  streams.push_back(w.Bytes());
  return streams;
}

// Every prefix of a valid stream fails, after the writes its output allows: the decoder never
// reads on past the end of the input.
TEST(InflateMalformed, EveryTruncationFails) {
  for (const std::vector<uint8_t>& stream : ValidStreams()) {
    SCOPED_TRACE(testing::Message() << "stream of " << stream.size() << " bytes");
    const InflateRun whole = RunInflate(stream);
    ASSERT_EQ(whole.result, 1);
    ASSERT_EQ(static_cast<size_t>(whole.consumed), stream.size());
    const size_t step = stream.size() > 600 ? 7 : 1;
    for (size_t length = 0; length < stream.size(); length += (length + 64 > stream.size() ? 1 : step)) {
      SCOPED_TRACE(length);
      const std::vector<uint8_t> prefix(stream.begin(), stream.begin() + length);
      const InflateRun run = RunInflate(prefix);
      ASSERT_EQ(run.result, 0);
      ASSERT_LE(run.consumed, static_cast<int32_t>(length));
      ExpectSameAsReference(prefix, run);
    }
  }
}

// Damaged copies of the valid streams: flipped bits, replaced, inserted and deleted bytes.
TEST(InflateMalformed, DamagedStreamsAgreeWithTheReference) {
  const std::vector<std::vector<uint8_t>> streams = ValidStreams();
  std::mt19937 random(31337);
  int failures = 0, successes = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> stream = streams[random() % streams.size()];
    const int damage = 1 + random() % 3;
    for (int d = 0; d < damage; ++d) {
      const size_t at = random() % stream.size();
      switch (random() % 4) {
        case 0: stream[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
        case 1: stream[at] = static_cast<uint8_t>(random()); break;
        case 2: stream.insert(stream.begin() + at, static_cast<uint8_t>(random())); break;
        default: if (stream.size() > 1) stream.erase(stream.begin() + at); break;
      }
    }
    SCOPED_TRACE(round);
    const InflateRun run = RunInflate(stream);
    ExpectSameAsReference(stream, run);
    if (HasFatalFailure()) return;
    (run.result ? successes : failures)++;
  }
  // Both outcomes occur, so the comparison covers both.
  EXPECT_GT(failures, 1000);
  EXPECT_GT(successes, 50);
}

}  // namespace
