// Single-entry ZIP archives (PKWARE APPNOTE sections 4.3.7, 4.3.12 and 4.3.16).
#include "tools/zip_writer.h"

#include "common/little_endian.h"

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndRecordSignature = 0x06054B50;
constexpr uint16_t kVersion = 20;             // 2.0: needed for DEFLATE; made by MS-DOS (high byte 0)
constexpr uint32_t kArchiveAttribute = 0x20;  // FILE_ATTRIBUTE_ARCHIVE

void PutName(std::vector<uint8_t>& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

// The fields that the local and the central header share, in the same order: version needed to
// extract, flags, method, time, date, CRC-32, sizes, name length.
void PutEntryFields(std::vector<uint8_t>& out, const ZipEntryFields& entry, uint32_t compressedSize) {
  Put16(out, kVersion);
  Put16(out, 0);  // flags: no encryption, sizes and CRC in the headers
  Put16(out, entry.method);
  Put16(out, entry.dosTime);
  Put16(out, entry.dosDate);
  Put32(out, entry.crc);
  Put32(out, compressedSize);
  Put32(out, entry.uncompressedSize);
  Put16(out, static_cast<uint32_t>(entry.name.size()));
}

}  // namespace

void PutZipLocalHeader(std::vector<uint8_t>& out, const ZipEntryFields& entry, uint32_t compressedSize) {
  Put32(out, kLocalHeaderSignature);
  PutEntryFields(out, entry, compressedSize);
  Put16(out, static_cast<uint32_t>(entry.extra.size()));
  PutName(out, entry.name);
  PutName(out, entry.extra);
}

std::vector<uint8_t> MakeSingleEntryZip(const ZipEntryFields& entry, const std::vector<uint8_t>& data) {
  const uint32_t compressedSize = static_cast<uint32_t>(data.size());
  std::vector<uint8_t> out;
  PutZipLocalHeader(out, entry, compressedSize);
  out.insert(out.end(), data.begin(), data.end());

  const uint32_t directoryOffset = static_cast<uint32_t>(out.size());
  Put32(out, kCentralHeaderSignature);
  Put16(out, kVersion);  // made by
  PutEntryFields(out, entry, compressedSize);
  Put16(out, 0);  // extra field length
  Put16(out, 0);  // comment length
  Put16(out, 0);  // disk number
  Put16(out, 0);  // internal attributes
  Put32(out, kArchiveAttribute);
  Put32(out, 0);  // offset of the local header
  PutName(out, entry.name);
  const uint32_t directorySize = static_cast<uint32_t>(out.size()) - directoryOffset;

  Put32(out, kEndRecordSignature);
  Put16(out, 0);  // this disk
  Put16(out, 0);  // the disk with the central directory
  Put16(out, 1);  // entries on this disk
  Put16(out, 1);  // entries in all
  Put32(out, directorySize);
  Put32(out, directoryOffset);
  Put16(out, 0);  // comment length
  return out;
}
