// pack-catalogue MANIFEST FILESDIR OUTDIR
//
// Packs every product file of the manifest into a single-entry ZIP archive (PKWARE APPNOTE
// layout: local file header, raw DEFLATE data, one central directory header, end record) and
// writes, in OUTDIR:
//   archives/NAME.zip    each archive on its own, for independent readers and benchmarks
//   payload_blob.bin     all archives one after the other, in catalogue order
//   payload_blob.S       embeds payload_blob.bin as the symbol payloadBlob (.incbin), followed
//                        by the name text payloadNameText and the end label payloadCatalogueEnd
//   payload_tables.cpp   payloadArchives, payloadSizes, payloadNames and payloadCatalogueCrc
// The catalogue is in ascending order of names compared without regard to case. Prints the
// catalogue's block statistics as zlib's inflate sees them. Exit status 0 on success, 1 on any
// failure (message on stderr), including a manifest of other than PayloadEntryCount files.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "install/payload_catalogue.h"
#include "tools/manifest.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

// The product's release stamp in MS-DOS form: 15 June 1999, 05:00:00.
constexpr uint16_t kDosDate = (1999 - 1980) << 9 | 6 << 5 | 15;
constexpr uint16_t kDosTime = 5 << 11;
constexpr uint16_t kVersion = 20;             // 2.0: needed for DEFLATE; made by MS-DOS (high byte 0)
constexpr uint32_t kArchiveAttribute = 0x20;  // FILE_ATTRIBUTE_ARCHIVE

// DEFLATE settings: the largest hash chains (level 9), and zlib's default 16 Ki-symbol blocks
// (memLevel 8), which split the large files into a few dozen blocks each.
constexpr int kLevel = 9, kMemLevel = 8;

void Put16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool Deflate(const Bytes& in, Bytes& out) {
  z_stream z{};
  if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&z, static_cast<uLong>(in.size())));
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return result == Z_STREAM_END;
}

Bytes MakeArchive(const std::string& name, const Bytes& file, const Bytes& data) {
  const uint32_t crc = static_cast<uint32_t>(crc32(0, file.data(), static_cast<uInt>(file.size())));
  const uint32_t nameLength = static_cast<uint32_t>(name.size());
  Bytes out;
  Put32(out, 0x04034B50);  // local file header
  Put16(out, kVersion);
  Put16(out, 0);  // flags: no encryption, no data descriptor
  Put16(out, 8);  // DEFLATE
  Put16(out, kDosTime);
  Put16(out, kDosDate);
  Put32(out, crc);
  Put32(out, static_cast<uint32_t>(data.size()));
  Put32(out, static_cast<uint32_t>(file.size()));
  Put16(out, nameLength);
  Put16(out, 0);  // no extra field
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), data.begin(), data.end());
  const uint32_t directoryOffset = static_cast<uint32_t>(out.size());
  Put32(out, 0x02014B50);  // central directory file header
  Put16(out, kVersion);    // made by
  Put16(out, kVersion);    // needed
  Put16(out, 0);
  Put16(out, 8);
  Put16(out, kDosTime);
  Put16(out, kDosDate);
  Put32(out, crc);
  Put32(out, static_cast<uint32_t>(data.size()));
  Put32(out, static_cast<uint32_t>(file.size()));
  Put16(out, nameLength);
  Put16(out, 0);  // extra
  Put16(out, 0);  // comment
  Put16(out, 0);  // disk
  Put16(out, 0);  // internal attributes
  Put32(out, kArchiveAttribute);
  Put32(out, 0);  // local header offset
  out.insert(out.end(), name.begin(), name.end());
  const uint32_t directorySize = static_cast<uint32_t>(out.size()) - directoryOffset;
  Put32(out, 0x06054B50);  // end of central directory
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  Put32(out, directorySize);
  Put32(out, directoryOffset);
  Put16(out, 0);  // comment length
  return out;
}

// Block statistics of one raw DEFLATE stream, walked with zlib's inflate block by block.
struct BlockCounts {
  uint32_t stored = 0, fixed = 0, dynamic = 0;
  bool ok = false;
};

void CountType(BlockCounts& c, unsigned type) {
  if (type == 0) ++c.stored;
  else if (type == 1) ++c.fixed;
  else ++c.dynamic;
}

BlockCounts WalkBlocks(const Bytes& data, const Bytes& expected) {
  BlockCounts counts;
  if (data.empty()) return counts;
  Bytes out(expected.size() + 1);
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return counts;
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  CountType(counts, (data[0] >> 1) & 3);  // the first header: bits 1-2 of the first byte
  for (;;) {
    const int result = inflate(&z, Z_BLOCK);
    if (result == Z_STREAM_END) break;
    if (result != Z_OK) {
      inflateEnd(&z);
      return counts;
    }
    // At a block boundary the next header starts in the unused high bits of the last byte taken.
    if ((z.data_type & 128) && !(z.data_type & 64)) {
      const unsigned unused = z.data_type & 7;
      const size_t at = z.total_in;
      uint32_t bits = unused ? data[at - 1] >> (8 - unused) : 0;
      if (at < data.size()) bits |= static_cast<uint32_t>(data[at]) << unused;
      CountType(counts, (bits >> 1) & 3);
    }
  }
  counts.ok = z.total_out == expected.size() && std::equal(expected.begin(), expected.end(), out.begin());
  inflateEnd(&z);
  return counts;
}

bool ReadWhole(const fs::path& path, Bytes& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteWhole(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(out.flush());
}

// Where one entry lies in the catalogue.
struct CatalogueRecord {
  uint32_t archiveOffset, installedSize, nameOffset;  // nameOffset: within the name text
};

// CRC-32 of the whole catalogue as setup.exe checks it before it installs anything: every byte
// from payloadBlob to payloadCatalogueEnd (the archives, then the name text), then for each entry
// the offset from payloadBlob of its archive, its installed size and the offset from payloadBlob
// of its name, each as four little-endian bytes.
uint32_t CatalogueCrc(const Bytes& archives, const std::string& nameText, const std::vector<CatalogueRecord>& entries) {
  uLong crc = crc32(0, archives.data(), static_cast<uInt>(archives.size()));
  crc = crc32(crc, reinterpret_cast<const Bytef*>(nameText.data()), static_cast<uInt>(nameText.size()));
  for (const CatalogueRecord& entry : entries) {
    Bytes record;
    Put32(record, entry.archiveOffset);
    Put32(record, entry.installedSize);
    Put32(record, static_cast<uint32_t>(archives.size()) + entry.nameOffset);
    crc = crc32(crc, record.data(), static_cast<uInt>(record.size()));
  }
  return static_cast<uint32_t>(crc);
}

std::string BlobAssembly(const fs::path& blob, const std::string& nameLines) {
  std::string s =
      "/* Generated by pack-catalogue: the catalogue's archives, embedded whole, and their names. */\n"
      "#if defined(_WIN32)\n"
      "  .section .rdata,\"dr\"\n"
      "#else\n"
      "  .section .rodata\n"
      "#endif\n"
      "  .globl payloadBlob\n"
      "  .globl _payloadBlob\n"
      "  .balign 16\n"
      "payloadBlob:\n"  // the C name on ELF
      "_payloadBlob:\n"  // the C name on i686 Windows, where C symbols carry a leading underscore
      "  .incbin \"" + blob.string() + "\"\n"
      "  .globl payloadNameText\n"
      "  .globl _payloadNameText\n"
      "payloadNameText:\n"
      "_payloadNameText:\n" + nameLines +
      "  .globl payloadCatalogueEnd\n"
      "  .globl _payloadCatalogueEnd\n"
      "payloadCatalogueEnd:\n"
      "_payloadCatalogueEnd:\n"
      "#if defined(__ELF__)\n"
      "  .section .note.GNU-stack,\"\",@progbits\n"
      "#endif\n";
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: pack-catalogue MANIFEST FILESDIR OUTDIR\n");
    return 1;
  }
  std::vector<ManifestEntry> entries;
  if (!ReadManifest(argv[1], entries)) return 1;
  if (entries.size() != static_cast<size_t>(PayloadEntryCount)) {
    std::fprintf(stderr, "pack-catalogue: the manifest lists %zu files; the catalogue holds exactly %d\n",
                 entries.size(), PayloadEntryCount);
    return 1;
  }
  std::sort(entries.begin(), entries.end(),
            [](const ManifestEntry& a, const ManifestEntry& b) { return NameLessNoCase(a.name, b.name); });
  const fs::path filesDir = argv[2], outDir = argv[3], archiveDir = outDir / "archives";
  std::error_code error;
  fs::create_directories(archiveDir, error);
  if (error) {
    std::fprintf(stderr, "%s: %s\n", archiveDir.c_str(), error.message().c_str());
    return 1;
  }
  const fs::path blobPath = fs::absolute(outDir / "payload_blob.bin");
  std::ofstream blob(blobPath, std::ios::binary | std::ios::trunc);
  std::ostringstream archives, sizes, names, nameLines;
  Bytes allArchives;  // the blob again, for the catalogue's CRC-32
  std::vector<CatalogueRecord> records;
  std::string nameText;
  uint64_t offset = 0, installed = 0;
  uint32_t withStored = 0, withFixed = 0, withDynamic = 0, maxBlocks = 0;
  std::set<std::string> written;
  for (const ManifestEntry& entry : entries) {
    Bytes file, data;
    if (!ReadWhole(filesDir / entry.name, file) || file.size() != entry.size) {
      std::fprintf(stderr, "%s: missing, or not %u bytes as the manifest says\n", entry.name.c_str(), entry.size);
      return 1;
    }
    if (!Deflate(file, data)) {
      std::fprintf(stderr, "%s: deflate failed\n", entry.name.c_str());
      return 1;
    }
    const BlockCounts blocks = WalkBlocks(data, file);
    if (!blocks.ok) {
      std::fprintf(stderr, "%s: zlib does not read back its own stream\n", entry.name.c_str());
      return 1;
    }
    withStored += blocks.stored > 0;
    withFixed += blocks.fixed > 0;
    withDynamic += blocks.dynamic > 0;
    maxBlocks = std::max(maxBlocks, blocks.stored + blocks.fixed + blocks.dynamic);
    const Bytes archive = MakeArchive(entry.name, file, data);
    std::ofstream single(archiveDir / (entry.name + ".zip"), std::ios::binary | std::ios::trunc);
    single.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    blob.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    if (!single.flush() || !blob) {
      std::fprintf(stderr, "%s: cannot write its archive\n", entry.name.c_str());
      return 1;
    }
    written.insert(entry.name + ".zip");
    archives << "    payloadBlob + " << offset << ",  // " << entry.name << "\n";
    sizes << "    " << entry.size << "u,\n";
    names << "    payloadNameText + " << nameText.size() << ",  // " << entry.name << "\n";
    nameLines << "  .asciz \"" << entry.name << "\"\n";
    allArchives.insert(allArchives.end(), archive.begin(), archive.end());
    records.push_back({static_cast<uint32_t>(offset), entry.size, static_cast<uint32_t>(nameText.size())});
    nameText += entry.name;
    nameText.push_back('\0');
    offset += archive.size();
    installed += entry.size;
  }
  if (!blob.flush() || offset > 0xFFFFFFFFu) {
    std::fprintf(stderr, "%s: cannot write\n", blobPath.c_str());
    return 1;
  }
  blob.close();
  char crcLine[96];
  std::snprintf(crcLine, sizeof crcLine, "const uint32_t payloadCatalogueCrc = 0x%08Xu;\n",
                static_cast<unsigned>(CatalogueCrc(allArchives, nameText, records)));
  for (const auto& item : fs::directory_iterator(archiveDir, error)) {
    if (!written.count(item.path().filename().string())) fs::remove(item.path(), error);
  }
  const std::string tables =
      "// Generated by pack-catalogue from the product manifest: do not edit.\n"
      "#include \"install/payload_catalogue.h\"\n\n"
      "extern \"C\" const char payloadNameText[];  // payload_blob.S\n\n"
      "const unsigned char* const payloadArchives[PayloadEntryCount] = {\n" + archives.str() + "};\n\n"
      "const uint32_t payloadSizes[PayloadEntryCount] = {\n" + sizes.str() + "};\n\n"
      "const char* const payloadNames[PayloadEntryCount] = {\n" + names.str() + "};\n\n"
      "// Over the archives, the name text and the three tables; checked at start-up.\n" + crcLine;
  if (!WriteWhole(outDir / "payload_tables.cpp", tables) ||
      !WriteWhole(outDir / "payload_blob.S", BlobAssembly(blobPath, nameLines.str()))) {
    std::fprintf(stderr, "%s: cannot write the tables\n", outDir.c_str());
    return 1;
  }
  std::printf("pack-catalogue: %zu entries, %llu bytes installed, %llu bytes of archives; blocks: "
              "dynamic in %u entries, fixed in %u, stored in %u, at most %u per entry\n",
              entries.size(), static_cast<unsigned long long>(installed), static_cast<unsigned long long>(offset),
              withDynamic, withFixed, withStored, maxBlocks);
  return 0;
}
