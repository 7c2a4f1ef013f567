// Builds DEFLATE streams field by field for the decoder tests.
#pragma once
#include <cstdint>
#include <vector>

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
  // A fixed-block match: length 3 to 258, distance 1 to 32768, symbols and extra bits.
  BitWriter& FixedMatch(unsigned length, unsigned distance) {
    static const uint16_t lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const uint8_t lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const uint16_t distanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,
                                              33,   49,   65,   97,   129,  193,   257,   385,   513,   769,
                                              1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const uint8_t distanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                              6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
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
    static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    Put(static_cast<uint32_t>(literalLengths.size() - 257), 5);  // HLIT
    Put(static_cast<uint32_t>(distanceLengths.size() - 1), 5);   // HDIST
    Put(19 - 4, 4);                                               // HCLEN: all 19 follow
    for (uint8_t symbol : order) Put(symbol < 16 ? 4 : 0, 3);      // code-length code lengths
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
