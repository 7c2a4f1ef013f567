// The embedded product: PayloadEntryCount single-entry ZIP archives with their installed sizes
// and file names, in case-insensitive name order. The tables are generated at build time
// (tools/pack_catalogue.cpp) and are read-only.
#pragma once
#include <cstdint>

constexpr int PayloadEntryCount = 318;

extern const unsigned char* const payloadArchives[PayloadEntryCount];  // each at its local header
extern const uint32_t payloadSizes[PayloadEntryCount];                 // installed sizes
extern const char* const payloadNames[PayloadEntryCount];              // installed names

// The catalogue's bytes lie in one run: from payloadBlob, the archives one after the other, then
// every name with its terminating zero, up to payloadCatalogueEnd. payloadCatalogueCrc is the
// CRC-32 that the build computed over that run followed by one 12-byte record per entry: the
// offsets from payloadBlob of its archive and of its name, and its installed size, each as four
// little-endian bytes. The run's ends are addresses, so the check reads no stored length.
extern "C" const unsigned char payloadBlob[];
extern "C" const unsigned char payloadCatalogueEnd[];
extern const uint32_t payloadCatalogueCrc;

// 1 when the catalogue in memory (its bytes and the three tables) gives payloadCatalogueCrc,
// else 0: the setup program is damaged. Reads nothing through the tables' pointers, so any
// damage to them is reported, never followed.
int CheckPayloadCatalogue();

struct PayloadEntry {
  const char* fileName;
  uint32_t installedSize;
  const unsigned char* archive;
};

// Entry i (0 to PayloadEntryCount - 1) as one view across the three tables.
PayloadEntry GetPayloadEntry(int index);

// What the file writer takes from an archive's local header.
struct PayloadData {
  const unsigned char* data;  // first data byte: archive + 30 + name length + extra length
  uint32_t length;            // compressed size (offset 18)
  uint16_t method;            // 0 stored, anything else raw DEFLATE (offset 8)
  uint32_t crc32;             // CRC-32 of the file (offset 14)
  uint32_t uncompressedSize;  // size of the file (offset 22)
};
PayloadData LocatePayloadData(const unsigned char* archive);
