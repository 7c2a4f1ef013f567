// Builds DEFLATE streams field by field for the tests (host and Windows). The length, distance
// and code-length order tables are the decoder's own (RFC 1951 3.2.5 and 3.2.7); the reference
// decoder of the host tests keeps its own length and distance tables, and the streams that zlib
// makes (inflate_zlib_diff_test) check all of them independently.
#pragma once
#include <cstdint>
#include <vector>

#include "inflate/inflate_internal.h"

class BitWriter {
 public:
  // Appends the low nbits of value, least significant bit first (header fields, extra bits).
  BitWriter& Put(uint32_t value, unsigned nbits) {
    for (unsigned i = 0; i < nbits; ++i) PutBit((value >> i) & 1);
    return *this;
  }
  // Appends a Huffman code of length bits, most significant bit first (RFC 1951 3.1.1).
  BitWriter& PutCode(uint32_t code, unsigned length) {
    for (unsigned i = length; i-- > 0;) PutBit((code >> i) & 1);
    return *this;
  }
  // Pads with zero bits to the next byte boundary.
  BitWriter& Align() {
    while (bitCount_ != 0) PutBit(0);
    return *this;
  }
  // Appends whole bytes; the writer must be at a byte boundary.
  BitWriter& PutBytes(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) Put(b, 8);
    return *this;
  }

  // Fixed-block codes (RFC 1951 3.2.6).
  BitWriter& FixedLiteral(unsigned symbol) {
    if (symbol < 144) return PutCode(0x30 + symbol, 8);
    if (symbol < 256) return PutCode(0x190 + symbol - 144, 9);
    if (symbol < 280) return PutCode(symbol - 256, 7);
    return PutCode(0xC0 + symbol - 280, 8);
  }
  BitWriter& FixedEndOfBlock() { return FixedLiteral(256); }
  BitWriter& FixedDistance(unsigned symbol) { return PutCode(symbol, 5); }
  // A fixed-block match: length 3 to 258, distance 1 to 32768, symbols and extra bits
  // (length symbols 257 to 285 are indices 0 to 28 of lengthBase).
  BitWriter& FixedMatch(unsigned length, unsigned distance) {
    unsigned l = 28;
    while (lengthBase[l] > length) --l;
    FixedLiteral(257 + l).Put(length - lengthBase[l], lengthExtra[l]);
    unsigned d = 29;
    while (distanceBase[d] > distance) --d;
    return FixedDistance(d).Put(distance - distanceBase[d], distanceExtra[d]);
  }

  // A dynamic block's header after BTYPE: HLIT, HDIST, HCLEN, then the code lengths, each sent
  // with a code-length code in which symbols 0 to 15 are 4 bits long (a complete set, so
  // length v goes out as the 4-bit code v) and 16 to 18 are unused.
  BitWriter& DynamicHeader(const std::vector<uint8_t>& literalLengths, const std::vector<uint8_t>& distanceLengths) {
    Put(static_cast<uint32_t>(literalLengths.size() - 257), 5);  // HLIT
    Put(static_cast<uint32_t>(distanceLengths.size() - 1), 5);   // HDIST
    Put(19 - 4, 4);                                               // HCLEN: all 19 follow
    for (uint8_t symbol : codeLengthOrder) Put(symbol < 16 ? 4 : 0, 3);  // code-length code lengths
    for (uint8_t length : literalLengths) PutCode(length, 4);
    for (uint8_t length : distanceLengths) PutCode(length, 4);
    return *this;
  }

  size_t BitLength() const { return bytes_.size() * 8 - (bitCount_ ? 8 - bitCount_ : 0); }
  // The stream so far; a partial last byte is padded with zero bits.
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  void PutBit(unsigned bit) {
    if (bitCount_ == 0) bytes_.push_back(0);
    bytes_.back() |= static_cast<uint8_t>(bit << bitCount_);
    bitCount_ = (bitCount_ + 1) % 8;
  }
  std::vector<uint8_t> bytes_;
  unsigned bitCount_ = 0;
};

// The canonical codes of a code set (RFC 1951 3.2.2), most significant bit first.
inline std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  uint32_t count[16] = {}, next[16] = {};
  for (uint8_t length : lengths) count[length]++;
  count[0] = 0;
  for (unsigned bits = 1, code = 0; bits < 16; ++bits) next[bits] = code = (code + count[bits - 1]) << 1;
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
  return codes;
}
