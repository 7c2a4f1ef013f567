// Raw DEFLATE decoder (RFC 1951): the entry, the three block types and the decoding loop.
//
// Bit access. Bits are consumed from bit 0 of bitBuffer; bitCount counts the valid ones.
// Bits above bitCount are either zero or the input bytes that follow, in place, so OR-ing those
// bytes in again changes nothing: this lets the decoding loop refill with one unaligned load of
// a whole word. Past the end of the input a lookup may be given spare bytes (the last byte
// again); a code or field that ends in a spare byte fails the decode (InputOverrun), before
// any output of it is stored. The input is never read past InflateStream.input + inputLength.
//
// Output. Every byte is stored into the window; a window that fills is written whole at once
// (FlushWindow), before anything else happens, and the end of the stream writes the rest. The
// write sequence is therefore fixed by the output alone: pieces of 32768 bytes at offsets
// 0, 32768, ..., then one piece of the remaining 0 to 32767 bytes.
#include <cstdlib>
#include <cstring>

#include "inflate/inflate_internal.h"

InflateContext InflateStream;

#if INFLATE_COLLECT_STATS
InflateStatistics InflateStats;
#endif

namespace {

void CountBlock([[maybe_unused]] unsigned type) {
#if INFLATE_COLLECT_STATS
  if (type == 0) ++InflateStats.storedBlocks;
  if (type == 1) ++InflateStats.fixedBlocks;
  if (type == 2) ++InflateStats.dynamicBlocks;
#endif
}

// A code set without codes builds no table; decoding through it uses this one, which fails.
constexpr HuffEntry noCodes[1] = {EntryInvalid};

// Stores one output byte; a full window is written at once.
int PutByte(InflateState& s, uint8_t byte) {
  s.window[s.windowPos++] = byte;
  if (s.windowPos < WindowSize) return 1;
  s.windowPos = 0;
  return FlushWindow(s, WindowSize);
}

// Copies length bytes from distance bytes back (the caller has checked the distance), writing
// the window each time it fills. Overlapping runs repeat, as RFC 1951 defines.
int CopyMatch(InflateState& s, uint32_t distance, uint32_t length) {
  while (length > 0) {
    uint8_t* out = s.window + s.windowPos;
    const uint8_t* from = out - distance;
    uint32_t chunk = WindowSize - s.windowPos;
    if (chunk > length) chunk = length;
    if (distance >= chunk) {
      std::memcpy(out, from, chunk);
    } else {
      for (uint32_t i = 0; i < chunk; ++i) out[i] = from[i];
    }
    s.windowPos += chunk;
    length -= chunk;
    if (s.windowPos == WindowSize) {
      s.windowPos = 0;
      if (!FlushWindow(s, WindowSize)) return 0;
    }
  }
  return 1;
}

// Finds the entry of the next code with the record's bit discipline (need, take, drop),
// through a link when there is one. Drops the first-level bits of a link; the caller drops the
// code's own bits (EntryCodeBits) and its extra bits.
HuffEntry FindEntry(InflateState& s, const HuffEntry* table, unsigned width) {
  NeedBits(s, width);
  HuffEntry entry = table[TakeBits(s, width)];
  if (entry & EntryLink) {
    DropBits(s, EntryDrop(entry));
    const unsigned subBits = EntryCodeBits(entry);
    NeedBits(s, subBits);
    entry = table[EntryValue(entry) + TakeBits(s, subBits)];
  }
  return entry;
}

// The value of a length or distance entry whose code bits are dropped: its base plus its
// extra bits.
uint32_t TakeValue(InflateState& s, HuffEntry entry) {
  const unsigned extraBits = EntryExtraBits(entry);
  NeedBits(s, extraBits);
  const uint32_t value = EntryValue(entry) + TakeBits(s, extraBits);
  DropBits(s, extraBits);
  return value;
}

// One literal, match or end of block, decoded through the record with every check: used near
// the end of the input and of the window.
enum class SymbolStep { Stored, Failed, EndOfBlock };  // a literal or match stored; failure; end
SymbolStep InflateOneSymbol(InflateState& s, const CodeTables& tables) {
  HuffEntry entry = FindEntry(s, tables.literals, tables.literalBits);
  if (entry == EntryInvalid) return SymbolStep::Failed;
  DropBits(s, EntryCodeBits(entry));
  if (entry & EntryLiteral) {
    if (InputOverrun(s)) return SymbolStep::Failed;
    return PutByte(s, static_cast<uint8_t>(EntryValue(entry))) ? SymbolStep::Stored : SymbolStep::Failed;
  }
  if (entry & EntryEndOfBlock) return InputOverrun(s) ? SymbolStep::Failed : SymbolStep::EndOfBlock;

  const uint32_t length = TakeValue(s, entry);
  entry = FindEntry(s, tables.distances, tables.distanceBits);
  if (entry & EntryExceptional) return SymbolStep::Failed;
  DropBits(s, EntryCodeBits(entry));
  const uint32_t distance = TakeValue(s, entry);
  if (InputOverrun(s)) return SymbolStep::Failed;
  CountDistance(distance);
  if (distance > static_cast<uint32_t>(s.window + s.windowPos - s.historyStart)) return SymbolStep::Failed;
  return CopyMatch(s, distance, length) ? SymbolStep::Stored : SymbolStep::Failed;
}

// Reads the nl + nd code lengths of a dynamic block through the code-length table (one level:
// its codes are at most 7 bits). Returns ResultOk or ResultMalformed.
int ReadCodeLengths(InflateState& s, const HuffEntry* table, unsigned width, uint8_t* lengths, unsigned total) {
  if (table == nullptr) return ResultMalformed;
  unsigned previous = 0;
  for (unsigned i = 0; i < total;) {
    NeedBits(s, width);
    const HuffEntry entry = table[TakeBits(s, width)];
    if (entry == EntryInvalid) return ResultMalformed;
    DropBits(s, EntryDrop(entry));
    const unsigned symbol = EntryValue(entry);
    if (symbol < 16) {
      if (InputOverrun(s)) return ResultMalformed;
      lengths[i++] = static_cast<uint8_t>(symbol);
      previous = symbol;
      continue;
    }
    // 16: 3 to 6 copies of the previous length (0 before any); 17: 3 to 10 zeros; 18: 11 to 138.
    const unsigned extraBits = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
    NeedBits(s, extraBits);
    unsigned repeat = (symbol == 18 ? 11 : 3) + TakeBits(s, extraBits);
    DropBits(s, extraBits);
    if (InputOverrun(s) || i + repeat > total) return ResultMalformed;
    if (symbol != 16) previous = 0;
    for (; repeat > 0; --repeat) lengths[i++] = static_cast<uint8_t>(previous);
  }
  return ResultOk;
}

}  // namespace

void NextInputByte(InflateState& s) {
  if (InflateStream.consumed < InflateStream.inputLength) {
    s.inputByte = *InflateStream.input++;
    ++InflateStream.consumed;
  } else {
    ++s.spareBytes;
  }
}

int FlushWindow(InflateState& s, uint32_t count) {
  if (!WriteAt(s.window, s.outputOffset, count)) return 0;
  InflateStream.outputCrc = Crc32Update(InflateStream.outputCrc, s.window, count);
  InflateStream.outputSize += count;
  s.outputOffset += count;
  if (count == WindowSize) {
    std::memcpy(s.buffer, s.window, WindowSize);
    s.historyStart = s.buffer;
  }
  return 1;
}

int InflateEntry() {
  InflateStream.outputCrc = 0;
  InflateStream.outputSize = 0;
  InflateState* s = static_cast<InflateState*>(std::malloc(sizeof(InflateState)));
  if (s == nullptr) return 0;
  s->windowPos = 0;
  s->bitBuffer = 0;
  s->bitCount = 0;
  s->inputByte = 0;
  s->outputOffset = 0;
  s->spareBytes = 0;
  const int32_t available = InflateStream.inputLength - InflateStream.consumed;
  s->inputEnd = InflateStream.input + (available > 0 ? available : 0);
  s->window = s->buffer + WindowSize;
  s->historyStart = s->window;

  int finalBlock = 0;
  int result;
  do {
    result = InflateBlock(*s, &finalBlock);
  } while (result == ResultOk && !finalBlock);
  if (result == ResultOk && !FlushWindow(*s, s->windowPos)) result = ResultMalformed;

  // Whole bytes read ahead into the bit buffer go back: consumed ends at the byte that holds
  // the last bit used.
  if (!InputOverrun(*s)) {
    const uint32_t unused = (s->bitCount - 8 * s->spareBytes) / 8;
    InflateStream.input -= unused;
    InflateStream.consumed -= static_cast<int32_t>(unused);
  }
  std::free(s);
  return result == ResultOk ? 1 : 0;
}

// Block header (RFC 1951 section 3.2.3): BFINAL, 1 bit, set on the last block; BTYPE, 2 bits:
// 0 stored, 1 fixed Huffman codes, 2 dynamic Huffman codes, 3 reserved (an error).
int InflateBlock(InflateState& s, int* finalBlock) {
  NeedBits(s, 1);
  *finalBlock = static_cast<int>(TakeBits(s, 1));
  DropBits(s, 1);
  NeedBits(s, 2);
  const unsigned type = TakeBits(s, 2);
  DropBits(s, 2);
  if (InputOverrun(s)) return ResultMalformed;
  CountBlock(type);
  switch (type) {
    case 0: return InflateStored(s);
    case 1: return InflateFixed(s);
    case 2: return InflateDynamic(s);
    default: return ResultOverSubscribed;  // block type 3
  }
}

// Stored block (RFC 1951 section 3.2.4): the rest of the current byte is skipped; then LEN and
// NLEN, 16 bits each, NLEN the one's complement of LEN; then LEN bytes copied as they are.
int InflateStored(InflateState& s) {
  // LEN and NLEN start at a byte boundary: the bits left in the current byte are dropped.
  DropBits(s, s.bitCount % 8);
  NeedBits(s, 16);
  uint32_t length = TakeBits(s, 16);
  DropBits(s, 16);
  NeedBits(s, 16);
  if (length != (~TakeBits(s, 16) & 0xFFFFu)) return ResultMalformed;
  DropBits(s, 16);
  if (InputOverrun(s)) return ResultMalformed;

  // Whole bytes already in the bit buffer come first.
  for (; length > 0 && s.bitCount > 0; --length) {
    const uint8_t byte = static_cast<uint8_t>(TakeBits(s, 8));
    DropBits(s, 8);
    if (InputOverrun(s) || !PutByte(s, byte)) return ResultMalformed;
  }
  if (length == 0) return ResultOk;
  // The bit buffer is empty; what it held above bitCount is the input copied below.
  s.bitBuffer = 0;
  while (length > 0) {
    const uint32_t available = static_cast<uint32_t>(s.inputEnd - InflateStream.input);
    if (available == 0) return ResultMalformed;  // truncated: every byte present has been stored
    uint32_t chunk = WindowSize - s.windowPos;
    if (chunk > length) chunk = length;
    if (chunk > available) chunk = available;
    std::memcpy(s.window + s.windowPos, InflateStream.input, chunk);
    InflateStream.input += chunk;
    InflateStream.consumed += static_cast<int32_t>(chunk);
    s.windowPos += chunk;
    length -= chunk;
    if (s.windowPos == WindowSize) {
      s.windowPos = 0;
      if (!FlushWindow(s, WindowSize)) return ResultMalformed;
    }
  }
  return ResultOk;
}

// Fixed Huffman codes (RFC 1951 section 3.2.6): literal/length codes of 8 bits for 0 to 143,
// 9 for 144 to 255, 7 for 256 to 279, 8 for 280 to 287 (286 and 287 never occur); 30 distance
// codes of 5 bits (30 and 31 never occur). The data follow the header at once (section 3.2.5).
int InflateFixed(InflateState& s) {
  // The fixed tables never change: built at the first fixed block and kept for the process.
  static HuffEntry* literalTable = nullptr;
  static HuffEntry* distanceTable = nullptr;
  static unsigned literalBits = literalLookupBits, distanceBits = 5;
  if (literalTable == nullptr) {
    uint8_t lengths[288];
    for (unsigned i = 0; i < 288; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    HuffEntry* literals = nullptr;
    HuffEntry* distances = nullptr;
    unsigned lBits = literalLookupBits, dBits = 5;
    const int literalResult = BuildHuffTable(lengths, 288, literalLengthEntries, &literals, &lBits);
    for (unsigned i = 0; i < 30; ++i) lengths[i] = 5;
    // 30 codes of 5 bits leave two codes unused: the set is incomplete, which is accepted.
    const int distanceResult = BuildHuffTable(lengths, 30, distanceEntries, &distances, &dBits);
    if (literalResult != ResultOk || (distanceResult != ResultOk && distanceResult != ResultIncompleteSet)) {
      FreeHuffTables(literals);
      FreeHuffTables(distances);
      return literalResult != ResultOk ? literalResult : distanceResult;
    }
    literalTable = literals;
    distanceTable = distances;
    literalBits = lBits;
    distanceBits = dBits;
  }
  return InflateCodes(s, literalTable, distanceTable, literalBits, distanceBits);
}

// Dynamic Huffman codes (RFC 1951 section 3.2.7): HLIT (5 bits, 257 to 286 literal/length
// codes), HDIST (5 bits, 1 to 32 distance codes; above 30 an error), HCLEN (4 bits, 4 to 19
// code-length codes); 3 bits for each code-length code in codeLengthOrder; then the HLIT + HDIST
// code lengths in the code-length code, with 16 (repeat the previous length 3 to 6 times),
// 17 (3 to 10 zeros) and 18 (11 to 138 zeros); then the data (section 3.2.5).
int InflateDynamic(InflateState& s) {
  NeedBits(s, 5);
  const unsigned nl = 257 + TakeBits(s, 5);
  DropBits(s, 5);
  NeedBits(s, 5);
  const unsigned nd = 1 + TakeBits(s, 5);
  DropBits(s, 5);
  NeedBits(s, 4);
  const unsigned nb = 4 + TakeBits(s, 4);
  DropBits(s, 4);
  if (nl > 286 || nd > 30) return ResultMalformed;

  // One array serves the three code sets: 19 code-length lengths first, then nl + nd lengths.
  uint8_t lengths[316];
  for (unsigned j = 0; j < 19; ++j) {
    unsigned length = 0;
    if (j < nb) {
      NeedBits(s, 3);
      length = TakeBits(s, 3);
      DropBits(s, 3);
    }
    lengths[codeLengthOrder[j]] = static_cast<uint8_t>(length);
  }
  if (InputOverrun(s)) return ResultMalformed;
  HuffEntry* lengthTable = nullptr;
  unsigned lengthBits = 7;
  int result = BuildHuffTable(lengths, 19, codeLengthEntries, &lengthTable, &lengthBits);
  if (result == ResultOk) result = ReadCodeLengths(s, lengthTable, lengthBits, lengths, nl + nd);
  FreeHuffTables(lengthTable);
  if (result != ResultOk) return result;

  HuffEntry* literalTable = nullptr;
  unsigned literalBits = literalLookupBits;
  result = BuildHuffTable(lengths, nl, literalLengthEntries, &literalTable, &literalBits);
  if (result != ResultOk) {
    FreeHuffTables(literalTable);
    return result;
  }
  HuffEntry* distanceTable = nullptr;
  unsigned distanceBits = distanceLookupBits;
  result = BuildHuffTable(lengths + nl, nd, distanceEntries, &distanceTable, &distanceBits);
  if (result == ResultOk) result = InflateCodes(s, literalTable, distanceTable, literalBits, distanceBits);
  FreeHuffTables(distanceTable);
  FreeHuffTables(literalTable);
  return result;
}

// The decoding loop: the fast loop (InflateFast) while the input and the window leave room,
// CopyMatch for a match that reaches the end of the window, and one symbol at a time through the
// record near the end of the input.
int InflateCodes(InflateState& s, const HuffEntry* literalTable, const HuffEntry* distanceTable,
                 unsigned literalBits, unsigned distanceBits) {
  CodeTables tables = {literalTable, distanceTable, literalBits, distanceBits};
  if (literalTable == nullptr) tables.literals = noCodes, tables.literalBits = 0;
  if (distanceTable == nullptr) tables.distances = noCodes, tables.distanceBits = 0;
  for (;;) {
    PendingMatch pending;
    const int outcome = InflateFast(s, tables, pending);
    if (outcome == FastMatchPending) {
      if (!CopyMatch(s, pending.distance, pending.length)) return ResultMalformed;
      continue;
    }
    if (outcome != FastStopped) return outcome;
    const SymbolStep step = InflateOneSymbol(s, tables);
    if (step == SymbolStep::Failed) return ResultMalformed;
    if (step == SymbolStep::EndOfBlock) return ResultOk;
  }
}
