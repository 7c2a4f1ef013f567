// The decoder's working record, table entries, constant tables and block routines, shared by
// inflate.cpp (the block routines) and inflate_tables.cpp (the tables and their builder).
// Not part of the decoder's interface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "inflate/inflate.h"

// The largest DEFLATE distance, the size of the sliding window and of every full write.
constexpr uint32_t WindowSize = 32768;
// Bytes after the window that a word-wise match copy may overwrite (at most 31 past a match
// that ends inside the window).
constexpr uint32_t CopySlack = 64;

// The bit buffer is one machine word: 64 bits on the host, 32 bits in setup.exe. A host build
// with INFLATE_NARROW_BITS (a fuzz target) takes the 32-bit paths of setup.exe.
#if INFLATE_NARROW_BITS
using BitBuffer = uint32_t;
#else
using BitBuffer = uintptr_t;
#endif
constexpr unsigned BitBufferBits = sizeof(BitBuffer) * 8;

// One entry of a decoding table: 32 bits, read as one word.
//   bits 0-7    drop: the stream bits the entry accounts for at its level: the code's bits
//               plus, for a length or distance, its extra bits; for a link the first-level width
//   bits 8-11   the code's bits at its level (its extra bits follow them in the stream); for a
//               link the width of its sub-table
//   bits 12-15  kind: EntryLiteral; or EntryExceptional, alone (an invalid code) or with
//               EntryLink or EntryEndOfBlock; or none (a length or distance)
//   bits 16-31  value: the literal byte or code-length symbol, the length or distance base,
//               or for a link the index of its sub-table's first entry
// A decoding loop drops an entry's bits whatever its kind and takes the extra bits from the
// bits it held before: (before & (2^drop - 1)) >> codeBits.
using HuffEntry = uint32_t;

constexpr HuffEntry EntryLiteral = 0x8000;
constexpr HuffEntry EntryExceptional = 0x4000;
constexpr HuffEntry EntryLink = 0x2000;
constexpr HuffEntry EntryEndOfBlock = 0x1000;
constexpr HuffEntry EntryInvalid = EntryExceptional;

constexpr HuffEntry MakeEntry(HuffEntry kind, unsigned value, unsigned codeBits, unsigned extraBits) {
  return static_cast<HuffEntry>(value) << 16 | kind | codeBits << 8 | (codeBits + extraBits);
}
constexpr unsigned EntryDrop(HuffEntry entry) { return entry & 0xFF; }
constexpr unsigned EntryCodeBits(HuffEntry entry) { return (entry >> 8) & 0xF; }
constexpr unsigned EntryExtraBits(HuffEntry entry) { return EntryDrop(entry) - EntryCodeBits(entry); }
constexpr unsigned EntryValue(HuffEntry entry) { return entry >> 16; }
// The longest drop: a 15-bit distance code with 13 extra bits. Every field fits its bits.
static_assert(EntryDrop(MakeEntry(0, 24577, 15, 13)) == 28 && EntryValue(MakeEntry(0, 0xFFFF, 15, 13)) == 0xFFFF);
static_assert(EntryCodeBits(MakeEntry(EntryLiteral, 255, 15, 0)) == 15 &&
              (MakeEntry(EntryLiteral, 255, 15, 0) & EntryExceptional) == 0);

// Result codes of the block routines, InflateCodes, ReadCodeLengths and BuildHuffTable.
// InflateEntry turns every code but ResultOk into its result 0.
constexpr int ResultOk = 0;              // the block ended; the table was built
constexpr int ResultMalformed = 1;       // malformed or truncated data, or a failed write
constexpr int ResultIncompleteSet = 1;   // BuildHuffTable: a set that leaves codes unused (malformed
                                         // data, except for the fixed distance set)
constexpr int ResultOverSubscribed = 2;  // a code set with more codes than its lengths allow,
                                         // and block type 3
constexpr int ResultNoMemory = 3;        // a table could not be allocated

// RFC 1951 section 3.2.5 and 3.2.7 tables (inflate_tables.cpp).
extern const uint16_t maskBits[17];          // entry i is 2^i - 1
extern const uint8_t codeLengthOrder[19];    // order of the code-length code lengths
extern const uint16_t lengthBase[31];        // literal/length symbols 257 to 287
extern const uint16_t lengthExtra[31];       // 286 and 287: InvalidExtra, so they decode as invalid
extern const uint16_t distanceBase[30];      // distance symbols 0 to 29
extern const uint16_t distanceExtra[30];
// An extra-bit count that marks a symbol as invalid (literal/length symbols 286 and 287).
constexpr uint16_t InvalidExtra = 99;
// Each symbol's entry before its code is known (BuildHuffTable adds the code's bits): literal/
// length symbols 0 to 287 (286 and 287 invalid), distance symbols 0 to 29, code-length symbols
// 0 to 18 (literal entries with the symbol as value).
extern const HuffEntry* const literalLengthEntries;
extern const HuffEntry* const distanceEntries;
extern const HuffEntry* const codeLengthEntries;

// Requested first-level widths of a block's tables. Wider than the classic 9 and 6: one table
// access then decodes nearly every code, and the first levels (8 KB and 1 KB) still fit the L1
// cache beside the window.
constexpr unsigned literalLookupBits = 11;
constexpr unsigned distanceLookupBits = 8;

// The working record of one InflateEntry call, one heap allocation.
// buffer holds the previous 32768 output bytes (the history, valid from historyStart on)
// followed by the window, the 32768 bytes of output not yet written, and CopySlack spare bytes.
// When the window fills it is written and moved into the history, so every back-reference
// reads a contiguous run ending before the window position.
struct InflateState {
  uint32_t windowPos;     // index of the next free byte in window, 0 to 32768
  BitBuffer bitBuffer;    // bits read and not yet used; the next stream bit is bit 0
  uint32_t bitCount;      // valid bits in bitBuffer; bits above them are zero or later input
  uint16_t inputByte;     // the byte NextInputByte read last (repeated past the end)
  uint32_t outputOffset;  // file offset of the next window write
  uint32_t spareBytes;    // bytes supplied past the end of the input (a few: each field is checked)
  const uint8_t* inputEnd;     // InflateStream.input + inputLength at the start
  const uint8_t* historyStart; // the first output byte; a reference before it fails
  uint8_t* window;             // buffer + WindowSize
  uint8_t buffer[2 * WindowSize + CopySlack];
};

// Reads the next input byte into s.inputByte and advances InflateStream.input and consumed.
// Past the end it changes neither and counts a spare byte; s.inputByte keeps the last byte.
void NextInputByte(InflateState& s);

// True when the stream has used bits that the input does not hold (spare bytes consumed).
inline bool InputOverrun(const InflateState& s) { return s.bitCount < 8 * s.spareBytes; }

// Bit access on the record: need n bits (n at most 16), take them, drop them. Needing bits
// takes a whole word of input while the input holds one, else one byte at a time.
inline void NeedBits(InflateState& s, unsigned n) {
  if (s.bitCount >= n) return;
  if (s.inputEnd - InflateStream.input >= static_cast<ptrdiff_t>(sizeof(BitBuffer))) {
    BitBuffer word;
    std::memcpy(&word, InflateStream.input, sizeof word);  // little-endian targets only
    s.bitBuffer |= word << s.bitCount;
    const unsigned taken = (BitBufferBits - 1 - s.bitCount) >> 3;
    InflateStream.input += taken;
    InflateStream.consumed += static_cast<int32_t>(taken);
    s.bitCount += 8 * taken;
    return;
  }
  do {
    NextInputByte(s);
    s.bitBuffer |= static_cast<BitBuffer>(s.inputByte) << s.bitCount;
    s.bitCount += 8;
  } while (s.bitCount < n);
}
inline unsigned TakeBits(const InflateState& s, unsigned n) {
  return static_cast<unsigned>(s.bitBuffer & maskBits[n]);
}
inline void DropBits(InflateState& s, unsigned n) {
  s.bitBuffer >>= n;
  s.bitCount -= n;
}

// Keeps the longest back-reference in InflateStats (catalogue-stats' build only).
inline void CountDistance([[maybe_unused]] uint32_t distance) {
#if INFLATE_COLLECT_STATS
  if (distance > InflateStats.maxDistance) InflateStats.maxDistance = distance;
#endif
}

// Writes the first count bytes of the window at outputOffset, adds count to outputOffset and
// folds the bytes into InflateStream.outputCrc and outputSize. A full window (count 32768)
// then moves into the history. Returns 1, or 0 when the positioning or write failed.
int FlushWindow(InflateState& s, uint32_t count);

// Builds the decoding table of a code set. lengths holds n code lengths (0 to 15, 0 for an
// unused symbol); symbolEntries the entry of each symbol without its code's bits (one of the
// three tables above; an invalid symbol decodes as invalid). lookupBits is the requested first-level width on entry, raised to the shortest
// and lowered to the longest code length, and the width used on return.
// Returns ResultOk with *table set (or with no table, *table null and width 0, when every
// length is 0); ResultIncompleteSet for an incomplete set, whose table is built and must be
// released, unless its only code has length 1 (then ResultOk); ResultOverSubscribed (no table);
// ResultNoMemory.
// The unused codes of an incomplete set decode as invalid (EntryInvalid).
int BuildHuffTable(const uint8_t* lengths, unsigned n, const HuffEntry* symbolEntries, HuffEntry** table,
                   unsigned* lookupBits);

// Releases a table made by BuildHuffTable; a null table does nothing.
void FreeHuffTables(HuffEntry* table);

// Block routines: each returns ResultOk when the block ended, or ResultMalformed,
// ResultOverSubscribed or ResultNoMemory.
int InflateBlock(InflateState& s, int* finalBlock);
int InflateStored(InflateState& s);
int InflateFixed(InflateState& s);
int InflateDynamic(InflateState& s);

// The two tables of a block and their first-level widths. A set without codes has a table
// whose one entry is invalid, and width 0.
struct CodeTables {
  const HuffEntry* literals;
  const HuffEntry* distances;
  unsigned literalBits;
  unsigned distanceBits;
};

// Decodes literals and matches with the two tables until the end-of-block code: ResultOk
// then, ResultMalformed on an invalid code, a table with no codes, a reference before the
// first output byte, input exhausted or a failed write. A null table stands for a code set
// without codes.
int InflateCodes(InflateState& s, const HuffEntry* literalTable, const HuffEntry* distanceTable,
                 unsigned literalBits, unsigned distanceBits);

// A match that the fast loop decoded but left to CopyMatch: it reaches the end of the window.
struct PendingMatch {
  uint32_t length;
  uint32_t distance;  // checked against the output so far
};

// The fast part of InflateCodes (inflate_fast.cpp): decodes while at least FastInputMargin
// input bytes remain and the window has room for the literals of one step, working on local
// copies of the record's bit buffer, input and window position, and stores them back when it
// stops. Returns FastStopped at the first symbol it leaves undecoded; FastMatchPending after a
// match that reaches the end of the window, with the match in pending and nothing of it copied;
// ResultOk after the end-of-block code; ResultMalformed on an invalid code or a reference before
// the first output byte. Nothing is written to the file: the window never fills inside it.
constexpr int FastStopped = -1;
constexpr int FastMatchPending = -2;
constexpr ptrdiff_t FastInputMargin = 16;
int InflateFast(InflateState& s, const CodeTables& tables, PendingMatch& pending);
