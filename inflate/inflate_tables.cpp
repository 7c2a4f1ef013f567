// The decoder's constant tables (RFC 1951 sections 3.2.5 and 3.2.7).
#include <array>
#include <cstdlib>
#include <cstring>

#include "inflate/inflate_internal.h"

// Entry i is 2^i - 1: the mask that takes i bits from the bit buffer.
constexpr uint16_t maskBits[17] = {0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F,
                                   0x003F, 0x007F, 0x00FF, 0x01FF, 0x03FF, 0x07FF,
                                   0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

// Order in which a dynamic block lists the code lengths of the code-length alphabet.
constexpr uint8_t codeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Literal/length symbols 257 to 285: base length and extra bits. Symbols 286 and 287 carry the
// marker InvalidExtra as their extra-bit count, so a fixed block that uses them fails.
constexpr uint16_t lengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                     35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr uint16_t lengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                      3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, InvalidExtra, InvalidExtra};

// Distance symbols 0 to 29: base distance and extra bits.
constexpr uint16_t distanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                       193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint16_t distanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Each base plus its largest extra value reaches the next base: the codes cover 3 to 258 and
// 1 to 32768 without gaps, and no distance exceeds the window.
constexpr bool BasesAreContiguous(const uint16_t* base, const uint16_t* extra, int count) {
  for (int i = 0; i + 1 < count; ++i)
    if (base[i] + (1 << extra[i]) != base[i + 1]) return false;
  return true;
}
static_assert(BasesAreContiguous(lengthBase, lengthExtra, 28) && lengthBase[27] + 31 == 258);
static_assert(BasesAreContiguous(distanceBase, distanceExtra, 30));
static_assert(distanceBase[29] + (1 << distanceExtra[29]) - 1 == WindowSize);
static_assert(maskBits[16] == 0xFFFF && maskBits[5] == 31);

// The symbols' entries without their code's bits.
constexpr std::array<HuffEntry, 288> MakeLiteralLengthEntries() {
  std::array<HuffEntry, 288> entries{};
  for (unsigned symbol = 0; symbol < 288; ++symbol) {
    const unsigned i = symbol - 257;
    entries[symbol] = symbol < 256    ? MakeEntry(EntryLiteral, symbol, 0, 0)
                      : symbol == 256 ? MakeEntry(EntryExceptional | EntryEndOfBlock, 0, 0, 0)
                      : lengthExtra[i] == InvalidExtra ? EntryInvalid
                                                        : MakeEntry(0, lengthBase[i], 0, lengthExtra[i]);
  }
  return entries;
}
constexpr std::array<HuffEntry, 30> MakeDistanceEntries() {
  std::array<HuffEntry, 30> entries{};
  for (unsigned symbol = 0; symbol < 30; ++symbol)
    entries[symbol] = MakeEntry(0, distanceBase[symbol], 0, distanceExtra[symbol]);
  return entries;
}
constexpr std::array<HuffEntry, 19> MakeCodeLengthEntries() {
  std::array<HuffEntry, 19> entries{};
  for (unsigned symbol = 0; symbol < 19; ++symbol) entries[symbol] = MakeEntry(EntryLiteral, symbol, 0, 0);
  return entries;
}
constexpr std::array<HuffEntry, 288> literalLengthArray = MakeLiteralLengthEntries();
constexpr std::array<HuffEntry, 30> distanceArray = MakeDistanceEntries();
constexpr std::array<HuffEntry, 19> codeLengthArray = MakeCodeLengthEntries();
const HuffEntry* const literalLengthEntries = literalLengthArray.data();
const HuffEntry* const distanceEntries = distanceArray.data();
const HuffEntry* const codeLengthEntries = codeLengthArray.data();
static_assert(literalLengthArray[285] == MakeEntry(0, 258, 0, 0) && literalLengthArray[287] == EntryInvalid);

// ---------------------------------------------------------------------------------------------
// Decoding tables.
//
// A table is one allocation: the first-level table of 2^m entries, indexed by the next m
// stream bits, followed by its sub-tables. A code longer than m bits has a link at the index
// of its first m bits; the sub-table is indexed by the bits that follow, and is as wide as the
// longest code that shares those first m bits. Codes are canonical (RFC 1951 section 3.2.2):
// by increasing length, then by symbol, each code one more than the previous one shifted to its
// length. The stream sends a code's first bit first, so indices are the codes bit-reversed.
// A code of k bits in a table of w index bits fills every 2^k-th entry from its index on.

namespace {

// Each byte with its bits in reverse order.
constexpr std::array<uint8_t, 256> MakeReversedBytes() {
  std::array<uint8_t, 256> t{};
  for (unsigned b = 0; b < 256; ++b)
    for (unsigned i = 0; i < 8; ++i) t[b] |= static_cast<uint8_t>(((b >> i) & 1) << (7 - i));
  return t;
}
constexpr std::array<uint8_t, 256> reversedBytes = MakeReversedBytes();

// The low length bits of code (length 1 to 16) in reverse order.
unsigned ReverseBits(unsigned code, unsigned length) {
  const unsigned reversed16 = static_cast<unsigned>(reversedBytes[code & 0xFF]) << 8 | reversedBytes[(code >> 8) & 0xFF];
  return reversed16 >> (16 - length);
}

constexpr unsigned MaxSymbols = 288;  // the fixed literal/length set is the largest

// A symbol's entry with its code's codeBits bits at the entry's level added to the drop and
// the code-bits field; an invalid entry stays as it is.
HuffEntry WithCodeBits(HuffEntry entry, unsigned codeBits) {
  return entry == EntryInvalid ? entry : entry + codeBits * 0x101u;
}

// A first-level entry that sends the codes with its m first bits to the sub-table of 2^width
// entries at index offset.
HuffEntry LinkEntry(unsigned offset, unsigned width, unsigned m) {
  return static_cast<HuffEntry>(offset) << 16 | EntryExceptional | EntryLink | width << 8 | m;
}

// The width of the sub-table that begins with the code at k of length `length` (canonical
// order, first bit highest, prefix the first m bits): the codes that share the prefix follow
// it, and the last of them is the longest.
unsigned SubTableWidth(const uint8_t* lengths, const uint16_t* sorted, unsigned k, unsigned codes, unsigned code,
                       unsigned m) {
  const unsigned prefix = code >> (lengths[sorted[k]] - m);
  for (; k + 1 < codes; ++k) {
    const unsigned length = lengths[sorted[k]], nextLength = lengths[sorted[k + 1]];
    const unsigned next = (code + 1) << (nextLength - length);
    if (next >> (nextLength - m) != prefix) break;
    code = next;
  }
  return lengths[sorted[k]] - m;
}

}  // namespace

int BuildHuffTable(const uint8_t* lengths, unsigned n, const HuffEntry* symbolEntries, HuffEntry** table,
                   unsigned* lookupBits) {
  *table = nullptr;
  if (n > MaxSymbols) return ResultMalformed;
  unsigned count[16] = {};
  for (unsigned i = 0; i < n; ++i) count[lengths[i]]++;
  if (count[0] == n) {
    *lookupBits = 0;
    return ResultOk;
  }

  unsigned shortest = 1, longest = 15;
  while (count[shortest] == 0) ++shortest;
  while (count[longest] == 0) --longest;
  unsigned m = *lookupBits;
  if (m < shortest) m = shortest;
  if (m > longest) m = longest;
  *lookupBits = m;

  // Code space: left counts the unused codes of the current length.
  int left = 1;
  for (unsigned length = 1; length <= 15; ++length) {
    left = 2 * left - static_cast<int>(count[length]);
    if (left < 0) return ResultOverSubscribed;
  }

  // Symbols in canonical order; firstCode[length] is the code of the first of each length.
  unsigned start[17], firstCode[17];
  start[0] = start[1] = 0;
  firstCode[1] = 0;
  for (unsigned length = 1; length < 16; ++length) {
    start[length + 1] = start[length] + count[length];
    firstCode[length + 1] = (firstCode[length] + count[length]) << 1;
  }
  uint16_t sorted[MaxSymbols];
  {
    unsigned next[16];
    std::memcpy(next, start, sizeof next);  // next[0] is never used
    for (unsigned symbol = 0; symbol < n; ++symbol)
      if (lengths[symbol] != 0) sorted[next[lengths[symbol]]++] = static_cast<uint16_t>(symbol);
  }
  const unsigned codes = n - count[0];

  // Sub-tables: one per run of codes longer than m that share their first m bits.
  const unsigned rootEntries = 1u << m;
  unsigned subEntries = 0;
  for (unsigned length = m + 1, k = start[length], prefix = ~0u; length <= longest; ++length)
    for (unsigned i = 0, code = firstCode[length]; i < count[length]; ++i, ++k, ++code)
      if (code >> (length - m) != prefix) {
        prefix = code >> (length - m);
        subEntries += 1u << SubTableWidth(lengths, sorted, k, codes, code, m);
      }
  // With the requested widths m >= 8 whenever a sub-table exists: at most 288 sub-tables of at
  // most 2^(15 - m) entries, so every offset fits the 16-bit value. A set that would not fit
  // (only possible with a narrower request) is refused as malformed.
  if (rootEntries + subEntries > 0x10000) return ResultMalformed;

  HuffEntry* t = static_cast<HuffEntry*>(std::malloc((rootEntries + subEntries) * sizeof(HuffEntry)));
  if (t == nullptr) return ResultNoMemory;

  // First level, one length at a time: the table of the first `length` bits is that of the
  // first length - 1 bits twice over, with the codes of this length placed at their indices.
  // Entries that no code reaches keep the invalid entry they start from.
  t[0] = EntryInvalid;
  unsigned k = 0;
  for (unsigned length = 1; length <= m; ++length) {
    std::memcpy(t + (1u << (length - 1)), t, (1u << (length - 1)) * sizeof(HuffEntry));
    for (unsigned i = 0, code = firstCode[length]; i < count[length]; ++i, ++k, ++code)
      t[ReverseBits(code, length)] = WithCodeBits(symbolEntries[sorted[k]], length);
  }

  // Longer codes, each sub-table filled as its codes come (every 2^rest-th entry).
  unsigned nextSub = rootEntries, subOffset = 0, width = 0, currentPrefix = ~0u;
  for (unsigned length = m + 1; length <= longest; ++length) {
    const unsigned rest = length - m;
    for (unsigned i = 0, code = firstCode[length]; i < count[length]; ++i, ++k, ++code) {
      const unsigned prefix = code >> rest;
      if (prefix != currentPrefix) {
        currentPrefix = prefix;
        width = SubTableWidth(lengths, sorted, k, codes, code, m);
        subOffset = nextSub;
        nextSub += 1u << width;
        for (unsigned j = 0; j < (1u << width); ++j) t[subOffset + j] = EntryInvalid;
        t[ReverseBits(prefix, m)] = LinkEntry(subOffset, width, m);
      }
      const HuffEntry entry = WithCodeBits(symbolEntries[sorted[k]], rest);
      for (unsigned j = ReverseBits(code & maskBits[rest], rest); j < (1u << width); j += 1u << rest)
        t[subOffset + j] = entry;
    }
  }

  *table = t;
  return left > 0 && longest != 1 ? ResultIncompleteSet : ResultOk;
}

void FreeHuffTables(HuffEntry* table) { std::free(table); }
