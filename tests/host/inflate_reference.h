// A second, deliberately plain DEFLATE decoder: the oracle for streams that zlib cannot judge
// (malformed, truncated, fuzzed). It reads one bit at a time, decodes canonical codes by
// searching length by length, and keeps the whole output in memory. It applies the setup
// decoder's rules, so both must agree on every stream:
//   - an over-subscribed code set fails; an incomplete one fails unless it is the fixed distance
//     set or its only code has length 1; a set without codes is accepted, but decoding a symbol
//     through it fails;
//   - literal/length symbols 286 and 287, distance symbols 30 and 31 and unused codes fail;
//   - HLIT above 286 or HDIST above 30, a repeat past the declared lengths, block type 3 and a
//     stored length that is not the complement of the next 16 bits fail; a 16 before any
//     length repeats 0;
//   - a distance longer than the output so far fails;
//   - a field or code that needs bits beyond the input fails, and so does everything from it on.
// The writes follow from the output: a failed decode has written every whole 32768-byte piece
// of what it produced, a successful one also the rest.
#pragma once
#include <cstdint>
#include <vector>

#include "inflate/inflate_internal.h"  // codeLengthOrder

namespace reference {

struct Outcome {
  bool ok = false;
  std::vector<uint8_t> output;  // every byte produced, including those after the last full piece
};

class Inflater {
 public:
  Inflater(const uint8_t* data, size_t size) : data_(data), totalBits_(size * 8) {}

  Outcome Run() {
    Outcome outcome;
    out_ = &outcome.output;
    uint32_t last = 0, type = 0;
    do {
      if (!Bits(1, &last) || !Bits(2, &type)) return outcome;
      bool ok = false;
      if (type == 0) ok = Stored();
      if (type == 1) ok = Fixed();
      if (type == 2) ok = Dynamic();
      if (!ok) return outcome;
    } while (!last);
    outcome.ok = true;
    return outcome;
  }

 private:
  struct Code {
    uint16_t count[16] = {};
    uint16_t symbol[288] = {};
    int codes = 0;
  };

  bool Bits(unsigned n, uint32_t* value) {
    *value = 0;
    for (unsigned i = 0; i < n; ++i, ++bit_) {
      if (bit_ >= totalBits_) return false;
      *value |= static_cast<uint32_t>((data_[bit_ / 8] >> (bit_ % 8)) & 1) << i;
    }
    return true;
  }

  // Returns the unused code space (0 complete, above 0 incomplete, below 0 over-subscribed).
  static int Construct(Code& h, const uint8_t* lengths, int n) {
    for (int s = 0; s < n; ++s) h.count[lengths[s]]++;
    h.codes = n - h.count[0];
    h.count[0] = 0;
    int left = 1;
    for (int len = 1; len <= 15; ++len) {
      left = 2 * left - h.count[len];
      if (left < 0) return left;
    }
    int offset[16] = {};
    for (int len = 1; len < 15; ++len) offset[len + 1] = offset[len] + h.count[len];
    for (int s = 0; s < n; ++s)
      if (lengths[s] != 0) h.symbol[offset[lengths[s]]++] = static_cast<uint16_t>(s);
    return h.codes == 0 ? 0 : left;
  }
  static bool Accepted(int left, const Code& h) { return left == 0 || (left > 0 && h.codes == 1 && h.count[1] == 1); }

  // The symbol, or -1 for an unused code, a set without codes or exhausted input.
  int Decode(const Code& h) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= 15; ++len) {
      uint32_t bit;
      if (!Bits(1, &bit)) return -1;
      code |= static_cast<int>(bit);
      const int count = h.count[len];
      if (code - count < first) return h.symbol[index + (code - first)];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;
  }

  bool Stored() {
    bit_ = (bit_ + 7) / 8 * 8;
    uint32_t length, complement;
    if (!Bits(16, &length) || !Bits(16, &complement) || length != (~complement & 0xFFFF)) return false;
    for (uint32_t i = 0; i < length; ++i) {
      uint32_t byte;
      if (!Bits(8, &byte)) return false;
      out_->push_back(static_cast<uint8_t>(byte));
    }
    return true;
  }

  bool Codes(const Code& literals, const Code& distances) {
    static const uint16_t lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const uint8_t lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const uint16_t distanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,
                                              33,   49,   65,   97,   129,  193,   257,   385,   513,   769,
                                              1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const uint8_t distanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                              6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    for (;;) {
      const int symbol = Decode(literals);
      if (symbol < 0 || symbol > 285) return false;
      if (symbol < 256) {
        out_->push_back(static_cast<uint8_t>(symbol));
        continue;
      }
      if (symbol == 256) return true;
      uint32_t extra, distanceExtraBits;
      if (!Bits(lengthExtra[symbol - 257], &extra)) return false;
      const uint32_t length = lengthBase[symbol - 257] + extra;
      const int d = Decode(distances);
      if (d < 0 || d > 29 || !Bits(distanceExtra[d], &distanceExtraBits)) return false;
      const uint32_t distance = distanceBase[d] + distanceExtraBits;
      if (distance > out_->size()) return false;
      for (uint32_t i = 0; i < length; ++i) out_->push_back((*out_)[out_->size() - distance]);
    }
  }

  bool Fixed() {
    uint8_t lengths[288];
    for (int s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    Code literals, distances;
    Construct(literals, lengths, 288);
    for (int s = 0; s < 30; ++s) lengths[s] = 5;
    Construct(distances, lengths, 30);  // incomplete, accepted for the fixed block only
    return Codes(literals, distances);
  }

  bool Dynamic() {
    uint32_t nlen, ndist, ncode;
    if (!Bits(5, &nlen) || !Bits(5, &ndist) || !Bits(4, &ncode)) return false;
    nlen += 257;
    ndist += 1;
    ncode += 4;
    if (nlen > 286 || ndist > 30) return false;
    uint8_t lengths[316] = {};
    for (uint32_t i = 0; i < ncode; ++i) {
      uint32_t length;
      if (!Bits(3, &length)) return false;
      lengths[codeLengthOrder[i]] = static_cast<uint8_t>(length);
    }
    Code lengthCode;
    if (!Accepted(Construct(lengthCode, lengths, 19), lengthCode)) return false;
    uint32_t index = 0, previous = 0;
    while (index < nlen + ndist) {
      const int symbol = Decode(lengthCode);
      if (symbol < 0) return false;
      if (symbol < 16) {
        lengths[index++] = static_cast<uint8_t>(symbol);
        previous = static_cast<uint32_t>(symbol);
        continue;
      }
      uint32_t repeat;
      if (symbol == 16 && !Bits(2, &repeat)) return false;
      if (symbol == 17 && !Bits(3, &repeat)) return false;
      if (symbol == 18 && !Bits(7, &repeat)) return false;
      repeat += symbol == 18 ? 11 : 3;
      if (symbol != 16) previous = 0;
      if (index + repeat > nlen + ndist) return false;
      while (repeat-- > 0) lengths[index++] = static_cast<uint8_t>(previous);
    }
    Code literals, distances;
    if (!Accepted(Construct(literals, lengths, static_cast<int>(nlen)), literals)) return false;
    if (!Accepted(Construct(distances, lengths + nlen, static_cast<int>(ndist)), distances)) return false;
    return Codes(literals, distances);
  }

  const uint8_t* data_;
  size_t totalBits_;
  size_t bit_ = 0;
  std::vector<uint8_t>* out_ = nullptr;
};

inline Outcome Inflate(const uint8_t* data, size_t size) { return Inflater(data, size).Run(); }

}  // namespace reference
