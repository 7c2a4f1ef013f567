// Single-entry ZIP archives as the catalogue holds them (PKWARE APPNOTE layout): a local file
// header, the entry's data, one central directory header and the end of central directory
// record. Written by pack-catalogue, and by tests that build archives of their own (also
// damaged ones: no field is checked). Portable.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The fields of the one entry.
struct ZipEntryFields {
  std::string name;
  uint16_t method;             // 8 DEFLATE, 0 stored
  uint16_t dosTime, dosDate;   // MS-DOS form
  uint32_t crc;                // CRC-32 of the uncompressed file
  uint32_t uncompressedSize;
  std::string extra;           // the local header's extra field; the central header has none
};

// Appends a local file header (30 bytes, the name, the extra field) that announces
// compressedSize bytes of data; the data themselves are the caller's to append.
void PutZipLocalHeader(std::vector<uint8_t>& out, const ZipEntryFields& entry, uint32_t compressedSize);

// The whole archive of one entry whose compressed data are data: local header, data, central
// directory header (version 2.0 made by MS-DOS, external attributes FILE_ATTRIBUTE_ARCHIVE,
// local header at offset 0), end record (one disk, one entry, no comment).
std::vector<uint8_t> MakeSingleEntryZip(const ZipEntryFields& entry, const std::vector<uint8_t>& data);
