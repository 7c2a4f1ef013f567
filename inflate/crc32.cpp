// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320), sixteen bytes per step
// ("slicing by 16"): table k maps a byte to its CRC contribution k bytes further on.
#include <array>
#include <cstring>

#include "inflate/inflate.h"

namespace {

constexpr int Slices = 16;
using CrcTables = std::array<std::array<uint32_t, 256>, Slices>;

constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n)
    for (int k = 1; k < Slices; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  return t;
}
constexpr CrcTables crcTables = MakeCrcTables();
static_assert(crcTables[0][1] == 0x77073096u);

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);  // little-endian targets only (x86 host and Windows)
  return v;
}

// The contribution of the four bytes of word, the last of them k bytes before the end of a
// 16-byte step.
uint32_t Slice4(uint32_t word, int k) {
  return crcTables[k + 3][word & 0xFF] ^ crcTables[k + 2][(word >> 8) & 0xFF] ^
         crcTables[k + 1][(word >> 16) & 0xFF] ^ crcTables[k][word >> 24];
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
  uint32_t c = ~crc;
  while (size >= Slices) {
    c = Slice4(Load32(data) ^ c, 12) ^ Slice4(Load32(data + 4), 8) ^ Slice4(Load32(data + 8), 4) ^
        Slice4(Load32(data + 12), 0);
    data += Slices;
    size -= Slices;
  }
  while (size--) c = crcTables[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
  return ~c;
}
