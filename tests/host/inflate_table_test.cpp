// BuildHuffTable: what each kind of code set yields, and that every code decodes to its
// symbol through the table's levels.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/bit_writer.h"
#include "inflate/inflate_internal.h"

namespace {

enum class Kind { Literal, EndOfBlock, LengthOrDistance, Invalid, Other };
struct Found {
  Kind kind;
  unsigned bits;   // the code's length, over both levels
  unsigned extra;  // extra bits of a length or distance
  unsigned value;
};

// A table built for a set of lengths; s names the kind of set: 0 distances, 19 code lengths,
// 257 literals and lengths.
struct Built {
  int result;
  HuffEntry* table = nullptr;
  unsigned width;
  Built(const std::vector<uint8_t>& lengths, unsigned s, unsigned requested) : width(requested) {
    const HuffEntry* entries = s == 0 ? distanceEntries : s == 19 ? codeLengthEntries : literalLengthEntries;
    result = BuildHuffTable(lengths.data(), static_cast<unsigned>(lengths.size()), entries, &table, &width);
  }
  ~Built() { FreeHuffTables(table); }
  // Looks up a code given first bit first, through the links; returns the final entry with
  // the code's whole length.
  Found Lookup(uint32_t code, unsigned length) const {
    uint32_t stream = 0;  // the code's bits in stream order, padded with zeros
    for (unsigned i = 0; i < length; ++i) stream |= ((code >> (length - 1 - i)) & 1) << i;
    HuffEntry e = table[stream & maskBits[width]];
    unsigned used = 0;
    if (e & EntryLink) {
      EXPECT_EQ(EntryDrop(e), width);
      used = width;
      e = table[EntryValue(e) + ((stream >> used) & maskBits[EntryCodeBits(e)])];
    }
    const Kind kind = e & EntryLiteral ? Kind::Literal
                      : e == EntryInvalid ? Kind::Invalid
                      : e & EntryEndOfBlock ? Kind::EndOfBlock
                      : e & EntryExceptional ? Kind::Other
                                             : Kind::LengthOrDistance;
    return {kind, used + EntryCodeBits(e), EntryExtraBits(e), EntryValue(e)};
  }
};

TEST(BuildHuffTable, ResultForEachKindOfSet) {
  struct Case {
    const char* what;
    std::vector<uint8_t> lengths;
    int result;
  };
  const Case cases[] = {
      {"complete", {1, 2, 3, 3}, 0},
      {"single code of 1 bit", {0, 0, 1, 0}, 0},
      {"single code of 2 bits", {0, 2, 0, 0}, 1},
      {"incomplete", {1, 2, 3, 0}, 1},
      {"over-subscribed", {1, 1, 2, 0}, 2},
      {"over-subscribed by one long code", {1, 2, 3, 3, 15}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Built b(c.lengths, 19, 7);
    EXPECT_EQ(b.result, c.result);
    EXPECT_EQ(b.table != nullptr, c.result < 2);
  }
}

TEST(BuildHuffTable, SetWithoutCodesBuildsNoTable) {
  Built b(std::vector<uint8_t>(30, 0), 0, 6);
  EXPECT_EQ(b.result, 0);
  EXPECT_EQ(b.table, nullptr);
  EXPECT_EQ(b.width, 0u);
}

// The first-level width is the request, raised to the shortest and lowered to the longest code.
TEST(BuildHuffTable, WidthIsClampedToTheCodeLengths) {
  EXPECT_EQ(Built({3, 3, 3, 3, 3, 3, 3, 3}, 19, 7).width, 3u);
  std::vector<uint8_t> long_(257, 0);
  for (int i = 0; i < 256; ++i) long_[i] = 9;
  long_[256] = 9;  // 257 codes of 9 bits: incomplete, but built
  EXPECT_EQ(Built(long_, 257, 6).width, 9u);
}

// The unused code of a single 1-bit set and the unused codes of an incomplete set decode as
// invalid; so do symbols whose extra-bit entry is 99.
TEST(BuildHuffTable, UnusedCodesAreInvalid) {
  Built single({0, 0, 0, 0, 0, 0, 0, 0, 1}, 19, 7);
  ASSERT_EQ(single.result, 0);
  EXPECT_EQ(single.Lookup(0, 1).kind, Kind::Literal);
  EXPECT_EQ(single.Lookup(0, 1).value, 8u);
  EXPECT_EQ(single.Lookup(1, 1).kind, Kind::Invalid);

  std::vector<uint8_t> fixedDistances(30, 5);
  Built fixed(fixedDistances, 0, 5);
  EXPECT_EQ(fixed.result, 1);
  EXPECT_EQ(fixed.Lookup(29, 5).kind, Kind::LengthOrDistance);
  EXPECT_EQ(fixed.Lookup(29, 5).extra, 13u);
  EXPECT_EQ(fixed.Lookup(29, 5).value, 24577u);
  EXPECT_EQ(fixed.Lookup(30, 5).kind, Kind::Invalid);
  EXPECT_EQ(fixed.Lookup(31, 5).kind, Kind::Invalid);

  std::vector<uint8_t> literals(288, 8);  // the fixed literal/length set
  for (int i = 144; i < 256; ++i) literals[i] = 9;
  for (int i = 256; i < 280; ++i) literals[i] = 7;
  Built withExtra(literals, 257, 10);
  EXPECT_EQ(withExtra.result, 0);
  EXPECT_EQ(withExtra.Lookup(CanonicalCodes(literals)[287], 8).kind, Kind::Invalid);
  EXPECT_EQ(withExtra.Lookup(CanonicalCodes(literals)[256], 7).kind, Kind::EndOfBlock);
}

// Random complete and incomplete sets with codes up to 15 bits: every code finds its symbol,
// value and extra bits, with its full length, through one or two levels.
TEST(BuildHuffTable, EveryCodeDecodesThroughTheLevels) {
  std::mt19937 random(2024);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const bool distances = round % 2 == 1;
    const unsigned n = distances ? 30 : 286;
    // Random lengths, then shortened where the set would be over-subscribed.
    std::vector<uint8_t> lengths(n);
    for (uint8_t& l : lengths) l = random() % 4 == 0 ? 0 : static_cast<uint8_t>(1 + random() % 15);
    for (;;) {
      uint64_t space = 0;
      for (uint8_t l : lengths)
        if (l) space += uint64_t{1} << (15 - l);
      if (space <= (uint64_t{1} << 15)) break;
      for (uint8_t& l : lengths)
        if (l && l < 15 && random() % 3 == 0) ++l;
    }
    Built b(lengths, distances ? 0 : 257, distances ? distanceLookupBits : literalLookupBits);
    ASSERT_LE(b.result, 1);
    ASSERT_NE(b.table, nullptr);
    const std::vector<uint32_t> codes = CanonicalCodes(lengths);
    for (unsigned s = 0; s < n; ++s) {
      if (lengths[s] == 0) continue;
      const Found e = b.Lookup(codes[s], lengths[s]);
      ASSERT_EQ(e.bits, lengths[s]) << "symbol " << s;
      if (distances) {
        EXPECT_EQ(e.kind, Kind::LengthOrDistance);
        EXPECT_EQ(e.extra, distanceExtra[s]);
        EXPECT_EQ(e.value, distanceBase[s]);
      } else if (s < 256) {
        EXPECT_EQ(e.kind, Kind::Literal);
        EXPECT_EQ(e.extra, 0u);
        EXPECT_EQ(e.value, s);
      } else if (s == 256) {
        EXPECT_EQ(e.kind, Kind::EndOfBlock);
      } else {
        EXPECT_EQ(e.kind, Kind::LengthOrDistance);
        EXPECT_EQ(e.extra, lengthExtra[s - 257]);
        EXPECT_EQ(e.value, lengthBase[s - 257]);
      }
    }
  }
}

}  // namespace
