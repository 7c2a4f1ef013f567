// The decoder's edge cases: window boundaries, the write sequence, back-references across the
// window, the end of the input, stored blocks, and the limits of the code sets.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/bit_writer.h"
#include "tests/support/random_bytes.h"
#include "inflate_run.h"

namespace {

// One non-final or final stored block holding bytes (at most 65535).
void PutStored(BitWriter& w, const std::vector<uint8_t>& bytes, bool final) {
  w.Put(final, 1)                                        // BFINAL
      .Put(0, 2)                                         // BTYPE 00: stored
      .Align()                                           // to the byte boundary
      .Put(static_cast<uint32_t>(bytes.size()), 16)      // LEN
      .Put(static_cast<uint32_t>(~bytes.size()), 16)     // NLEN
      .PutBytes(bytes);                                  // the data
}

// A final fixed block that makes size bytes of 'a': one literal, then matches at distance 1.
void PutFixedRun(BitWriter& w, size_t size) {
  w.Put(1, 1).Put(1, 2);  // BFINAL, BTYPE 01: fixed codes
  size_t made = 0;
  if (size > 0) w.FixedLiteral('a'), made = 1;
  while (size - made >= 3) {
    size_t length = size - made > 258 ? 258 : size - made;
    if (size - made - length > 0 && size - made - length < 3) length -= 3;  // leave a full match
    w.FixedMatch(static_cast<unsigned>(length), 1);
    made += length;
  }
  for (; made < size; ++made) w.FixedLiteral('a');
  w.FixedEndOfBlock();
}

TEST(InflateEdge, EmptyFixedBlockWritesZeroBytesAtOffsetZero) {
  BitWriter w;
  w.Put(1, 1)             // BFINAL
      .Put(1, 2)          // BTYPE 01: fixed codes
      .FixedEndOfBlock(); // 256
  const InflateRun run = RunInflate(w.Bytes());
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.writes, (std::vector<WritePiece>{{0, 0}}));
  EXPECT_TRUE(run.file.empty());
}

// Output sizes around the window: the full window is written as soon as it fills, the end of
// the stream writes the rest, even when that is nothing.
TEST(InflateEdge, WindowIsWrittenInWholePiecesThenTheRest) {
  struct Case {
    size_t size;
    std::vector<WritePiece> writes;
  };
  const Case cases[] = {
      {32767, {{0, 32767}}},
      {32768, {{0, 32768}, {32768, 0}}},
      {32769, {{0, 32768}, {32768, 1}}},
      {65536, {{0, 32768}, {32768, 32768}, {65536, 0}}},
      {65537, {{0, 32768}, {32768, 32768}, {65536, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    // Through stored blocks (at most 65535 bytes each) of distinct bytes.
    const std::vector<uint8_t> data = RandomBytes(c.size, 7);
    BitWriter stored;
    size_t done = 0;
    do {
      const size_t piece = std::min<size_t>(data.size() - done, 65535);
      PutStored(stored, std::vector<uint8_t>(data.begin() + done, data.begin() + done + piece),
                done + piece == data.size());
      done += piece;
    } while (done < data.size());
    const InflateRun fromStored = RunInflate(stored.Bytes());
    EXPECT_EQ(fromStored.result, 1);
    EXPECT_EQ(fromStored.writes, c.writes);
    EXPECT_EQ(fromStored.file, data);

    // Through literals and matches.
    BitWriter fixed;
    PutFixedRun(fixed, c.size);
    const InflateRun fromCodes = RunInflate(fixed.Bytes());
    EXPECT_EQ(fromCodes.result, 1);
    EXPECT_EQ(fromCodes.writes, c.writes);
    EXPECT_EQ(fromCodes.file, std::vector<uint8_t>(c.size, 'a'));
  }
}

TEST(InflateEdge, DistanceOneLength258RepeatsThePreviousByte) {
  BitWriter w;
  w.Put(1, 1).Put(1, 2)    // BFINAL, fixed codes
      .FixedLiteral('x')   // one 'x'
      .FixedMatch(258, 1)  // 258 copies of the byte before
      .FixedLiteral('y')   // and a marker after
      .FixedEndOfBlock();
  const InflateRun run = RunInflate(w.Bytes());
  std::vector<uint8_t> expected(259, 'x');
  expected.push_back('y');
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.file, expected);
}

// After one full window, references reach back into the previous 32768 bytes of output: from
// just before the window cycle, across its start, with overlap, and at the longest distance.
TEST(InflateEdge, ReferencesReachIntoThePreviousWindow) {
  struct Case {
    unsigned length, distance;
  };
  const Case cases[] = {{200, 150}, {258, 32768}, {100, 32700}, {3, 101}, {258, 1}, {258, 7}, {258, 300}};
  const std::vector<uint8_t> first = RandomBytes(32868, 11);  // window position 100 afterwards
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "length " << c.length << " distance " << c.distance);
    BitWriter w;
    PutStored(w, first, false);
    w.Put(1, 1).Put(1, 2)                   // BFINAL, fixed codes
        .FixedMatch(c.length, c.distance)   // the reference
        .FixedLiteral('z')
        .FixedEndOfBlock();
    std::vector<uint8_t> expected = first;
    for (unsigned i = 0; i < c.length; ++i) expected.push_back(expected[expected.size() - c.distance]);
    expected.push_back('z');
    const InflateRun run = RunInflate(w.Bytes());
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.writes, ExpectedWrites(expected.size(), true));
    EXPECT_EQ(run.file, expected);
  }
}

// Matches that end well before, just before, exactly at, just after and well after the end of
// the window, copied in each way the decoder has (one repeated byte, overlapping runs, 8 and 16
// bytes at a time, long matches), with codes after them: the output and the writes are exact.
TEST(InflateEdge, MatchesAroundTheWindowEndInEveryCopyWay) {
  const unsigned distances[] = {1, 2, 7, 8, 15, 16, 31, 32, 33, 1000};
  const unsigned lengths[] = {3, 8, 15, 16, 17, 32, 33, 100, 258};
  const int pastTheEnd[] = {-40, -1, 0, 1, 40};  // where the match ends, from the second window's end
  const std::vector<uint8_t> data = RandomBytes(65536 + 40, 12);
  for (unsigned distance : distances)
    for (unsigned length : lengths)
      for (int past : pastTheEnd) {
        SCOPED_TRACE(testing::Message() << "distance " << distance << " length " << length << " end " << past);
        const size_t start = 65536 + past - length;  // bytes before the match, from two stored blocks
        std::vector<uint8_t> expected(data.begin(), data.begin() + start);
        BitWriter w;
        PutStored(w, std::vector<uint8_t>(expected.begin(), expected.begin() + 40000), false);
        PutStored(w, std::vector<uint8_t>(expected.begin() + 40000, expected.end()), false);
        w.Put(1, 1).Put(1, 2)                 // BFINAL, fixed codes
            .FixedMatch(length, distance);    // the match
        for (unsigned i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
        for (int i = 0; i < 24; ++i) {        // enough codes after it for the fast loop
          w.FixedLiteral(data[i]);
          expected.push_back(data[i]);
        }
        w.FixedEndOfBlock();
        const InflateRun run = RunInflate(w.Bytes());
        ASSERT_EQ(run.result, 1);
        ASSERT_EQ(run.writes, ExpectedWrites(expected.size(), true));
        ASSERT_EQ(run.file, expected);
      }
}

// The longest codes back to back: 15-bit literals, 15-bit length codes with 5 extra bits and
// 15-bit distance codes with 13 extra bits (28 bits for one distance, more than a 32-bit bit
// buffer holds after a refill), alone and mixed with a 1-bit literal.
TEST(InflateEdge, LongestCodesBackToBack) {
  // Literal/length codes: 'a' to 'l' of 1 to 12 bits, then eight of 15 bits (a complete set).
  std::vector<uint8_t> literals(286, 0);
  for (int i = 0; i < 12; ++i) literals['a' + i] = static_cast<uint8_t>(i + 1);
  for (int symbol : {int{'w'}, int{'x'}, int{'y'}, int{'z'}, 256, 257, 284, 285}) literals[symbol] = 15;
  // Distance codes: symbols 0 to 11 of 1 to 12 bits, 22 to 29 of 15 bits.
  std::vector<uint8_t> distances(30, 0);
  for (int i = 0; i < 12; ++i) distances[i] = static_cast<uint8_t>(i + 1);
  for (int symbol = 22; symbol < 30; ++symbol) distances[symbol] = 15;
  const std::vector<uint32_t> lc = CanonicalCodes(literals), dc = CanonicalCodes(distances);

  enum Item { LongLiteral, ShortLiteral, LongMatch };
  const std::vector<Item> rows[] = {
      {LongLiteral}, {LongMatch}, {LongLiteral, LongMatch}, {ShortLiteral, LongMatch},
      {LongLiteral, LongLiteral, ShortLiteral, LongMatch}};
  const std::vector<uint8_t> history = RandomBytes(33000, 21);
  for (size_t row = 0; row < std::size(rows); ++row) {
    SCOPED_TRACE(row);
    BitWriter w;
    PutStored(w, history, false);
    w.Put(1, 1).Put(2, 2).DynamicHeader(literals, distances);  // BFINAL, dynamic codes
    std::vector<uint8_t> expected = history;
    for (unsigned r = 0; r < 30; ++r)
      for (Item item : rows[row]) {
        if (item == LongLiteral) {
          const uint8_t symbol = static_cast<uint8_t>('w' + r % 4);
          w.PutCode(lc[symbol], 15);
          expected.push_back(symbol);
        } else if (item == ShortLiteral) {
          w.PutCode(lc['a'], 1);
          expected.push_back('a');
        } else {
          const unsigned length = 227 + (r * 7) % 31, distance = 24577 + (r * 1237) % 8192;
          w.PutCode(lc[284], 15).Put(length - 227, 5)          // length symbol 284, 5 extra bits
              .PutCode(dc[29], 15).Put(distance - 24577, 13);  // distance symbol 29, 13 extra bits
          for (unsigned i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
        }
      }
    for (int i = 0; i < 24; ++i) w.PutCode(lc['l'], 12), expected.push_back('l');
    w.PutCode(lc[256], 15);  // end of block
    const InflateRun run = RunInflate(w.Bytes());
    ASSERT_EQ(run.result, 1);
    ASSERT_EQ(run.writes, ExpectedWrites(expected.size(), true));
    ASSERT_EQ(run.file, expected);
  }
}

// Runs of literals around the end of the window, each run of short codes closed by a literal
// with a 15-bit code (found through a sub-table), at every position near the end: the window is
// written exactly when it fills.
TEST(InflateEdge, LiteralRunsAroundTheWindowEnd) {
  // Literal/length codes: 'a' to 'k' of 1 to 11 bits, 'l' of 12, 'm' of 13, then 'w', 'x', 'y'
  // and the end of block of 15 (a complete set).
  std::vector<uint8_t> literals(286, 0);
  for (int i = 0; i < 11; ++i) literals['a' + i] = static_cast<uint8_t>(i + 1);
  literals['l'] = 12, literals['m'] = 13;
  for (int symbol : {int{'w'}, int{'x'}, int{'y'}, 256}) literals[symbol] = 15;
  const std::vector<uint32_t> codes = CanonicalCodes(literals);
  const std::vector<uint8_t> data = RandomBytes(32768, 13);
  for (unsigned run = 0; run <= 5; ++run)
    for (int past = -8; past <= 2; ++past) {
      SCOPED_TRACE(testing::Message() << "run " << run << " end " << past);
      // Stored bytes, then runs of `run` short literals and a long one, the last run ending
      // `past` bytes after the window's end, then more runs.
      const size_t start = 32768 - 4 * (run + 1) + past;
      std::vector<uint8_t> expected(data.begin(), data.begin() + start);
      BitWriter w;
      PutStored(w, expected, false);
      w.Put(1, 1).Put(2, 2).DynamicHeader(literals, {1});  // BFINAL, dynamic codes
      for (int r = 0; r < 12; ++r) {
        for (unsigned i = 0; i < run; ++i) {
          const uint8_t symbol = static_cast<uint8_t>('a' + (r + i) % 8);
          w.PutCode(codes[symbol], literals[symbol]);
          expected.push_back(symbol);
        }
        const uint8_t symbol = static_cast<uint8_t>('w' + r % 3);
        w.PutCode(codes[symbol], 15);
        expected.push_back(symbol);
      }
      w.PutCode(codes[256], 15);  // end of block
      const InflateRun run1 = RunInflate(w.Bytes());
      ASSERT_EQ(run1.result, 1);
      ASSERT_EQ(run1.writes, ExpectedWrites(expected.size(), true));
      ASSERT_EQ(run1.file, expected);
    }
}

// The last code ends exactly at the end of the last byte, while a table lookup asks for more
// bits than remain: the decode succeeds and uses every byte.
TEST(InflateEdge, LastCodeEndingInTheLastByteSucceeds) {
  BitWriter w;
  w.Put(1, 1).Put(1, 2);                                 // 3 bits: BFINAL, fixed codes
  for (int i = 0; i < 6; ++i) w.FixedLiteral(200 + i);   // 6 x 9 bits: literals 200 to 205
  w.FixedEndOfBlock();                                   // 7 bits: 64 in all
  ASSERT_EQ(w.BitLength(), 64u);
  const InflateRun run = RunInflate(w.Bytes());
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.file, (std::vector<uint8_t>{200, 201, 202, 203, 204, 205}));
  EXPECT_EQ(run.consumed, 8);

  // The same through a dynamic block: a 2-bit end-of-block code read through a 3-bit table.
  std::vector<uint8_t> literals(257, 0);
  literals['q'] = 1;
  literals[256] = 2;
  literals['r'] = literals['s'] = 3;
  BitWriter d;
  d.Put(1, 1).Put(2, 2)                       // BFINAL, BTYPE 10: dynamic codes
      .DynamicHeader(literals, {1});          // the codes above; one distance code
  const std::vector<uint32_t> codes = CanonicalCodes(literals);
  while ((d.BitLength() + 2) % 8 != 0) d.PutCode(codes['q'], 1);  // 'q' up to the last 2 bits
  d.PutCode(codes[256], 2);
  const InflateRun dynamic = RunInflate(d.Bytes());
  EXPECT_EQ(dynamic.result, 1);
  EXPECT_EQ(static_cast<size_t>(dynamic.consumed), d.Bytes().size());
}

TEST(InflateEdge, StoredLengthMustMatchItsComplement) {
  BitWriter bad;
  bad.Put(1, 1).Put(0, 2).Align()  // BFINAL, stored
      .Put(5, 16)                  // LEN 5
      .Put(~6u, 16)                // NLEN: the complement of 6
      .PutBytes({1, 2, 3, 4, 5});
  const InflateRun badRun = RunInflate(bad.Bytes());
  EXPECT_EQ(badRun.result, 0);
  EXPECT_TRUE(badRun.writes.empty());

  BitWriter empty;
  empty.Put(1, 1).Put(0, 2).Align()  // BFINAL, stored
      .Put(0, 16)                    // LEN 0
      .Put(0xFFFF, 16);              // NLEN
  const InflateRun emptyRun = RunInflate(empty.Bytes());
  EXPECT_EQ(emptyRun.result, 1);
  EXPECT_EQ(emptyRun.writes, (std::vector<WritePiece>{{0, 0}}));
}

// A stored block after codes: the bits left in the current byte are dropped, and the bytes the
// decoder had already read ahead are the first ones of the block.
TEST(InflateEdge, StoredBlockAfterCodesStartsAtTheNextByte) {
  for (unsigned literals = 0; literals < 12; ++literals) {
    SCOPED_TRACE(literals);
    BitWriter w;
    w.Put(0, 1).Put(1, 2);  // not final, fixed codes
    std::vector<uint8_t> expected;
    for (unsigned i = 0; i < literals; ++i) w.FixedLiteral('0' + i), expected.push_back('0' + i);
    w.FixedEndOfBlock();
    const std::vector<uint8_t> data = RandomBytes(40 + literals, literals);
    PutStored(w, data, true);
    w.PutBytes({0xDE, 0xAD});  // ignored
    expected.insert(expected.end(), data.begin(), data.end());
    const InflateRun run = RunInflate(w.Bytes());
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.file, expected);
    EXPECT_EQ(static_cast<size_t>(run.consumed), w.Bytes().size() - 2);
  }
}

TEST(InflateEdge, TooManyLiteralOrDistanceCodesFail) {
  struct Case {
    unsigned hlit, hdist;
    int result;
  };
  const Case cases[] = {{29, 29, 1}, {30, 0, 0}, {31, 0, 0}, {0, 30, 0}, {0, 31, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "HLIT " << c.hlit << " HDIST " << c.hdist);
    BitWriter w;
    w.Put(1, 1).Put(2, 2);  // BFINAL, dynamic codes
    if (c.result == 1) {
      // The largest complete sets: 226 literal/length codes of 8 bits and 60 of 9; 2 distance
      // codes of 4 bits and 28 of 5.
      std::vector<uint8_t> literals(286, 9), distances(30, 5);
      for (unsigned s = 0; s < 226; ++s) literals[s] = 8;
      distances[0] = distances[1] = 4;
      w.DynamicHeader(literals, distances);
      w.PutCode(CanonicalCodes(literals)[256], literals[256]);  // end of block
    } else {
      w.Put(c.hlit, 5).Put(c.hdist, 5).Put(15, 4);  // HLIT, HDIST, HCLEN
      for (int i = 0; i < 19; ++i) w.Put(4, 3);      // code-length code lengths
    }
    EXPECT_EQ(RunInflate(w.Bytes()).result, c.result);
  }
}

// Fixed blocks: literal/length symbols 286 and 287 and distance symbols 30 and 31 have codes
// but no meaning.
TEST(InflateEdge, UnusedFixedSymbolsFail) {
  for (unsigned symbol : {286u, 287u}) {
    BitWriter w;
    w.Put(1, 1).Put(1, 2).FixedLiteral('a').FixedLiteral(symbol).FixedEndOfBlock();
    EXPECT_EQ(RunInflate(w.Bytes()).result, 0) << symbol;
  }
  for (unsigned symbol : {30u, 31u}) {
    BitWriter w;
    w.Put(1, 1).Put(1, 2)
        .FixedLiteral('a').FixedLiteral('b')
        .FixedLiteral(257)          // length 3
        .FixedDistance(symbol)      // no such distance
        .FixedEndOfBlock();
    const InflateRun run = RunInflate(w.Bytes());
    EXPECT_EQ(run.result, 0) << symbol;
    EXPECT_TRUE(run.writes.empty());
  }
}

// In a dynamic block a set whose only code is 1 bit long decodes; every other incomplete set
// fails.
TEST(InflateEdge, OnlyASingleOneBitCodeMayLeaveCodesUnused) {
  // Literal/length: 'a', 'b', end of block and length 3 (symbol 257), 2 bits each.
  std::vector<uint8_t> literals(258, 0);
  literals['a'] = literals['b'] = literals[256] = literals[257] = 2;
  struct Case {
    std::vector<uint8_t> literals, distances;
    int result;
  };
  std::vector<uint8_t> threeLiterals = literals;
  threeLiterals[257] = 0;
  std::vector<uint8_t> oneLongLiteral(258, 0), oneShortLiteral(258, 0);
  oneLongLiteral[256] = 2;
  oneShortLiteral[256] = 1;
  const Case cases[] = {
      {literals, {1}, 1},          // one distance code of 1 bit
      {literals, {2}, 0},          // one distance code of 2 bits
      {literals, {2, 2}, 0},       // two of four 2-bit codes
      {literals, {1, 2}, 0},       // three quarters
      {literals, {1, 1}, 1},       // complete
      {threeLiterals, {1}, 0},     // three of four literal/length codes
      {oneLongLiteral, {1}, 0},    // one literal/length code of 2 bits
      {oneShortLiteral, {1}, 1},   // one literal/length code of 1 bit: the end of block
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    const std::vector<uint32_t> codes = CanonicalCodes(c.literals), distanceCodes = CanonicalCodes(c.distances);
    BitWriter w;
    w.Put(1, 1).Put(2, 2).DynamicHeader(c.literals, c.distances);  // BFINAL, dynamic codes
    if (c.literals['a'] != 0) {
      w.PutCode(codes['a'], 2).PutCode(codes['b'], 2);               // "ab"
      w.PutCode(codes[257], 2).PutCode(distanceCodes[0], c.distances[0]);  // length 3, distance 1
    }
    w.PutCode(codes[256], c.literals[256]);                          // end of block
    const InflateRun run = RunInflate(w.Bytes());
    EXPECT_EQ(run.result, c.result);
    if (c.result == 1) {
      const std::vector<uint8_t> expected = c.literals['a'] ? std::vector<uint8_t>{'a', 'b', 'b', 'b', 'b'} : std::vector<uint8_t>{};
      EXPECT_EQ(run.file, expected);
    }
  }
}

TEST(InflateEdge, DataAfterTheFinalBlockAreIgnored) {
  BitWriter w;
  w.Put(1, 1).Put(1, 2).FixedLiteral('k').FixedEndOfBlock();  // 3 + 8 + 7 bits: 3 bytes
  std::vector<uint8_t> stream = w.Bytes();
  for (const std::vector<uint8_t>& tail : {std::vector<uint8_t>{}, std::vector<uint8_t>{0xFF},
                                           std::vector<uint8_t>(1000, 0x00), RandomBytes(77, 3)}) {
    std::vector<uint8_t> withTail = stream;
    withTail.insert(withTail.end(), tail.begin(), tail.end());
    const InflateRun run = RunInflate(withTail);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.file, std::vector<uint8_t>{'k'});
    EXPECT_EQ(run.consumed, 3);
  }
}

}  // namespace
