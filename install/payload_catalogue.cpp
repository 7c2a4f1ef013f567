// Access to the embedded catalogue. Portable: header fields are read byte by byte as
// little-endian values, so neither alignment nor host byte order matters.
#include "install/payload_catalogue.h"

#include "inflate/inflate.h"

namespace {

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t Read32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Local file header offsets.
constexpr int kMethod = 8, kCrc32 = 14, kCompressedSize = 18, kUncompressedSize = 22, kNameLength = 26,
              kExtraLength = 28, kHeaderSize = 30;

void Put32(unsigned char* p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<unsigned char>(v >> (8 * k));
}

// The distance of p from the catalogue's start, taken on the addresses: a damaged pointer gives
// another number and is never followed.
uintptr_t CatalogueDistance(const void* p) {
  return reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(payloadBlob);
}

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

int CheckPayloadCatalogue() {
  const uintptr_t size = CatalogueDistance(payloadCatalogueEnd);
  uint32_t crc = Crc32Update(0, payloadBlob, size);
  for (int i = 0; i < PayloadEntryCount; ++i) {
    const uintptr_t archive = CatalogueDistance(payloadArchives[i]), name = CatalogueDistance(payloadNames[i]);
    // A pointer that leads out of the catalogue is damage, also where the record's 32-bit offsets
    // would not show it (a changed upper half of a 64-bit pointer).
    if (archive >= size || name >= size) return 0;
    unsigned char record[12];
    Put32(record, static_cast<uint32_t>(archive));
    Put32(record + 4, payloadSizes[i]);
    Put32(record + 8, static_cast<uint32_t>(name));
    crc = Crc32Update(crc, record, sizeof record);
  }
  return crc == payloadCatalogueCrc ? 1 : 0;
}
