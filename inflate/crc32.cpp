// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320), eight bytes per step
// ("slicing by 8"): table k maps a byte to its CRC contribution k bytes further on.
#include <array>
#include <cstring>

#include "inflate/inflate.h"

namespace {

using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n)
    for (int k = 1; k < 8; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  return t;
}
constexpr CrcTables crcTables = MakeCrcTables();
static_assert(crcTables[0][1] == 0x77073096u);

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
  uint32_t c = ~crc;
  while (size >= 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, data, 4);  // little-endian targets only (x86 host and Windows)
    std::memcpy(&hi, data + 4, 4);
    lo ^= c;
    c = crcTables[7][lo & 0xFF] ^ crcTables[6][(lo >> 8) & 0xFF] ^ crcTables[5][(lo >> 16) & 0xFF] ^
        crcTables[4][lo >> 24] ^ crcTables[3][hi & 0xFF] ^ crcTables[2][(hi >> 8) & 0xFF] ^
        crcTables[1][(hi >> 16) & 0xFF] ^ crcTables[0][hi >> 24];
    data += 8;
    size -= 8;
  }
  while (size--) c = crcTables[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
  return ~c;
}
