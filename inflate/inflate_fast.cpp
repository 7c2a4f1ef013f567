// The decoder's fast loop (InflateFast): literals and matches decoded on local copies of the
// record's bit buffer, input and window position while the input and the window leave room
// for a whole step, so that no step checks for the end of either.
//
// Bit buffer. `bits` holds the stream's next bits from bit 0; Counted(count) of them are counted,
// that is taken from the input before `in`. A refill loads the whole word at `in` (unaligned), ORs it
// in above the counted bits and advances `in` by the whole bytes that fitted: count is then
// BitBufferBits - 8 to BitBufferBits - 1, and all the word's bits hold input, the counted ones
// and, above them, the first bits of the bytes at `in`. Bits above count are therefore always
// either zero or input in place, as the record's bit buffer requires.
//
// Entries. Each entry's bits are dropped as soon as it is read, whatever its kind; the extra
// bits of a length or distance are taken from the word as it was before (see HuffEntry).
//
// Bit budget. A literal found in the first-level table takes at most literalLookupBits (11)
// bits; a literal/length code with its extra bits at most 20, a distance code with its extra
// bits at most 28.
// 64-bit buffer: a refill leaves at least 56 counted bits. Three first-level literals (33 bits),
// or a length and a distance (48), fit one refill, and the lookup of the code after them reads
// the 16 or more bits left of the word, which hold input whether counted or not.
// 32-bit buffer (setup.exe): a refill leaves at least 24 counted bits: two first-level literals
// (22 bits), then a refill; or a length (20 bits), a refill, and a distance: 8 + 13 bits from
// the first-level table, or after a link of 8 bits another refill and at most 7 + 13; then a
// refill before the lookup of the next code.
#include <array>
#include <cstring>

#include "inflate/inflate_internal.h"

namespace {

constexpr bool WideBuffer = BitBufferBits >= 64;
// The most literals one step stores.
constexpr ptrdiff_t LiteralsPerStep = WideBuffer ? 3 : 2;

// Refills per step: one on the 64-bit buffer (8 bytes loaded); at most four on the 32-bit one
// (3 bytes taken each, 4 loaded).
static_assert(FastInputMargin >= (WideBuffer ? 8 : 4 * 3 + 4));
// The bit budget above.
constexpr unsigned MaxLengthCodeBits = 15 + 5, MaxDistanceCodeBits = 15 + 13;
constexpr unsigned RefilledBits = BitBufferBits - 8;
static_assert(WideBuffer ? 3 * literalLookupBits <= RefilledBits &&
                               MaxLengthCodeBits + MaxDistanceCodeBits <= RefilledBits &&
                               BitBufferBits - MaxLengthCodeBits - MaxDistanceCodeBits >= literalLookupBits
                         : 2 * literalLookupBits <= RefilledBits && MaxLengthCodeBits <= RefilledBits &&
                               distanceLookupBits + 13 <= RefilledBits &&
                               MaxDistanceCodeBits - distanceLookupBits <= RefilledBits &&
                               BitBufferBits - literalLookupBits >= literalLookupBits);

BitBuffer LoadWord(const uint8_t* p) {
  BitBuffer word;
  std::memcpy(&word, p, sizeof word);  // little-endian targets only (x86 host and Windows)
  return word;
}

// The count lives in the low byte of `count`: a drop subtracts the whole entry, whose low byte
// is its drop, so the borrows only reach the bits above, which nothing reads.
inline unsigned Counted(unsigned count) { return count & 0xFF; }

// Fills the counted bits up to BitBufferBits - 8 .. BitBufferBits - 1; needs sizeof(BitBuffer)
// readable bytes at in. The bits already there, counted or not, stay as they are.
inline void Refill(BitBuffer& bits, unsigned& count, const uint8_t*& in) {
  bits |= LoadWord(in) << static_cast<uint8_t>(count);
  in += sizeof(BitBuffer) - 1 - ((count >> 3) & (sizeof(BitBuffer) - 1));
  count |= BitBufferBits - 8;
}

inline void DropEntryBits(BitBuffer& bits, unsigned& count, HuffEntry entry) {
  bits >>= static_cast<uint8_t>(entry);
  count -= entry;
}

// The next code's first-level entry, with the buffer refilled: the 64-bit buffer holds enough
// for the lookup before the refill (which leaves the low bits as they are), so the two overlap;
// the 32-bit one must refill first.
inline HuffEntry RefillAndLookUp(BitBuffer& bits, unsigned& count, const uint8_t*& in, const HuffEntry* literals,
                                 BitBuffer literalMask) {
  if constexpr (WideBuffer) {
    const HuffEntry entry = literals[bits & literalMask];
    Refill(bits, count, in);
    return entry;
  }
  Refill(bits, count, in);
  return literals[bits & literalMask];
}

// Entry n is 2^n - 1, for the bits of a code with its extra bits (at most 28).
constexpr std::array<uint32_t, 32> MakeLowMasks() {
  std::array<uint32_t, 32> masks{};
  for (unsigned n = 1; n < 32; ++n) masks[n] = 2 * masks[n - 1] + 1;
  return masks;
}
constexpr std::array<uint32_t, 32> lowMasks = MakeLowMasks();

// The extra bits of a length or distance entry, from the bits as they were before its drop.
// Such an entry has no kind bits, so (entry >> 8) & 0x1F is its code's bits; that mask is the
// one the processor applies to a 32-bit shift anyway, so it costs no instruction.
inline uint32_t ExtraValue(BitBuffer before, HuffEntry entry) {
  const uint32_t codeAndExtra = static_cast<uint32_t>(before) & lowMasks[EntryDrop(entry)];
  return codeAndExtra >> ((entry >> 8) & 0x1F);
}

inline uint8_t LiteralByte(HuffEntry entry) { return static_cast<uint8_t>(EntryValue(entry)); }

// Copies length bytes from distance bytes back (at least 1, checked by the caller) to out, in
// words where the distance allows; may write up to 31 bytes past the end of the match. The
// first 32 bytes are copied whatever the length: nearly every match is that short, and the
// copy then takes no branch on its length.
// Overlapping runs repeat, as RFC 1951 defines: a word is copied only from bytes already
// written, so the distance must be at least the word's size.
inline void CopyMatchFast(uint8_t* out, uint32_t distance, uint32_t length) {
  const uint8_t* from = out - distance;
  uint8_t* const end = out + length;
  if (distance >= 16) {
    std::memcpy(out, from, 16);
    std::memcpy(out + 16, from + 16, 16);
    if (length > 32) {
      out += 32;
      from += 32;
      do {
        std::memcpy(out, from, 16);
        out += 16;
        from += 16;
      } while (out < end);
    }
  } else if (distance >= 8) {
    do {
      std::memcpy(out, from, 8);
      out += 8;
      from += 8;
    } while (out < end);
  } else if (distance == 1) {
    const uint64_t repeated = 0x0101010101010101ull * *from;
    do {
      std::memcpy(out, &repeated, 8);
      out += 8;
    } while (out < end);
  } else {
    do *out++ = *from++;
    while (out < end);
  }
}

}  // namespace

// One long loop, registers kept across it (make bench, catalogue: 0.80 to 0.91+ of libdeflate).
int InflateFast(InflateState& s, const CodeTables& tables, PendingMatch& pending) {
  const uint8_t* in = InflateStream.input;
  uint8_t* out = s.window + s.windowPos;
  uint8_t* const windowEnd = s.window + WindowSize;
  uint8_t* const outLimit = windowEnd - LiteralsPerStep;  // a step's literals fit below the end
  if (s.inputEnd - in < FastInputMargin || out >= outLimit) return FastStopped;
  const uint8_t* const inLimit = s.inputEnd - FastInputMargin;
  const HuffEntry* const literals = tables.literals;
  const HuffEntry* const distances = tables.distances;
  const BitBuffer literalMask = (BitBuffer{1} << tables.literalBits) - 1;
  const BitBuffer distanceMask = (BitBuffer{1} << tables.distanceBits) - 1;
  const uint8_t* const historyStart = s.historyStart;
  BitBuffer bits = s.bitBuffer;
  unsigned count = s.bitCount;
  int outcome = FastStopped;

  Refill(bits, count, in);
  HuffEntry entry = literals[bits & literalMask];
  do {
    // Here the buffer has been refilled and entry is the next code's first-level entry.
    if (entry & EntryLiteral) {
      DropEntryBits(bits, count, entry);
      *out++ = LiteralByte(entry);
      entry = literals[bits & literalMask];
      if (entry & EntryLiteral) {
        DropEntryBits(bits, count, entry);
        *out++ = LiteralByte(entry);
        if constexpr (!WideBuffer) {
          Refill(bits, count, in);
          entry = literals[bits & literalMask];
          continue;
        }
        entry = literals[bits & literalMask];
        if (entry & EntryLiteral) {
          DropEntryBits(bits, count, entry);
          *out++ = LiteralByte(entry);
          entry = literals[bits & literalMask];
        }
      }
      Refill(bits, count, in);  // leaves the low bits, and so the entry, unchanged
      continue;
    }

    BitBuffer before = bits;
    DropEntryBits(bits, count, entry);
    if (entry & EntryExceptional) {
      if (entry & EntryLink) {
        entry = literals[EntryValue(entry) + (bits & lowMasks[EntryCodeBits(entry)])];
        before = bits;
        DropEntryBits(bits, count, entry);
        if (entry & EntryLiteral) {
          *out++ = LiteralByte(entry);
          entry = RefillAndLookUp(bits, count, in, literals, literalMask);
          continue;
        }
      }
      if (entry & EntryExceptional) {
        outcome = entry & EntryEndOfBlock ? ResultOk : ResultMalformed;
        break;
      }
    }
    const uint32_t length = EntryValue(entry) + ExtraValue(before, entry);

    if constexpr (!WideBuffer) Refill(bits, count, in);
    entry = distances[bits & distanceMask];
    before = bits;
    DropEntryBits(bits, count, entry);
    if (entry & EntryExceptional) {
      if (!(entry & EntryLink)) {
        outcome = ResultMalformed;
        break;
      }
      if constexpr (!WideBuffer) Refill(bits, count, in);
      entry = distances[EntryValue(entry) + (bits & lowMasks[EntryCodeBits(entry)])];
      before = bits;
      DropEntryBits(bits, count, entry);
      if (entry & EntryExceptional) {
        outcome = ResultMalformed;
        break;
      }
    }
    const uint32_t distance = EntryValue(entry) + ExtraValue(before, entry);
    CountDistance(distance);
    if (distance > static_cast<size_t>(out - historyStart)) {
      outcome = ResultMalformed;
      break;
    }
    if (out + length >= windowEnd) {
      pending = {length, distance};
      outcome = FastMatchPending;
      break;
    }
    CopyMatchFast(out, distance, length);
    out += length;
    entry = RefillAndLookUp(bits, count, in, literals, literalMask);
  } while (in <= inLimit && out < outLimit);

  InflateStream.consumed += static_cast<int32_t>(in - InflateStream.input);
  InflateStream.input = in;
  s.bitBuffer = bits;
  s.bitCount = Counted(count);
  s.windowPos = static_cast<uint32_t>(out - s.window);
  return outcome;
}
