// Access to the embedded catalogue. Portable: header fields are read byte by byte as
// little-endian values, so neither alignment nor host byte order matters.
#include "install/payload_catalogue.h"

namespace {

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t Read32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Local file header offsets.
constexpr int kMethod = 8, kCrc32 = 14, kCompressedSize = 18, kUncompressedSize = 22, kNameLength = 26,
              kExtraLength = 28, kHeaderSize = 30;

}  // namespace

PayloadEntry GetPayloadEntry(int index) {
  return PayloadEntry{payloadNames[index], payloadSizes[index], payloadArchives[index]};
}

PayloadData LocatePayloadData(const unsigned char* archive) {
  PayloadData d;
  d.method = Read16(archive + kMethod);
  d.crc32 = Read32(archive + kCrc32);
  d.length = Read32(archive + kCompressedSize);
  d.uncompressedSize = Read32(archive + kUncompressedSize);
  d.data = archive + kHeaderSize + Read16(archive + kNameLength) + Read16(archive + kExtraLength);
  return d;
}
