// The catalogue access: locating an entry's data from its local header alone, and the embedded
// tables that the installation run walks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "install/payload_catalogue.h"
#include "tools/zip_writer.h"

namespace {

struct LocalHeader {
  uint16_t method;
  uint32_t crc;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  std::string name;
  uint16_t extraLength;
};

// A local file header, its name and extra field, then compressedSize data bytes (0xD0, 0xD1,
// ...), starting at `skew` bytes into the returned buffer so that fields lie unaligned.
std::vector<uint8_t> MakeArchive(const LocalHeader& h, size_t skew) {
  std::vector<uint8_t> out(skew, 0xEE);
  std::string extra;
  for (uint32_t i = 0; i < h.extraLength; ++i) extra.push_back(static_cast<char>(0x70 + i));
  PutZipLocalHeader(out, {h.name, h.method, 0x2800, 0x26CF, h.crc, h.uncompressedSize, extra}, h.compressedSize);
  for (uint32_t i = 0; i < h.compressedSize; ++i) out.push_back(static_cast<uint8_t>(0xD0 + i));
  return out;
}

TEST(LocatePayloadData, FindsTheDataAfterNameAndExtraField) {
  struct Case {
    const char* what;
    LocalHeader header;
    size_t skew;
  };
  const Case cases[] = {
      {"DEFLATE, no extra field", {8, 0x1234ABCD, 17, 40, "TWExplo.exe", 0}, 0},
      {"an extra field is skipped", {8, 0x0BADF00D, 9, 20, "readme.rtf", 28}, 0},
      {"stored (method 0)", {0, 0xCAFEBABE, 25, 25, "TWick.exe", 0}, 0},
      {"stored with an extra field", {0, 0x01020304, 12, 12, "a", 5}, 3},
      {"fields wider than one byte, unaligned", {0x0108, 0xF1E2D3C4, 0x0102 + 3, 0x89ABCDEF, std::string(300, 'n'), 0x0123}, 1},
      {"empty name", {8, 0, 1, 0, "", 0}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> buffer = MakeArchive(c.header, c.skew);
    const unsigned char* archive = buffer.data() + c.skew;
    const PayloadData d = LocatePayloadData(archive);
    EXPECT_EQ(d.data, archive + 30 + c.header.name.size() + c.header.extraLength);
    EXPECT_EQ(d.data[0], 0xD0);  // the first data byte, not the last byte of the extra field
    EXPECT_EQ(d.length, c.header.compressedSize);
    EXPECT_EQ(d.method, c.header.method);
    EXPECT_EQ(d.crc32, c.header.crc);
    EXPECT_EQ(d.uncompressedSize, c.header.uncompressedSize);
    EXPECT_EQ(d.data + d.length, buffer.data() + buffer.size());
  }
}

bool LessNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const int x = (*a >= 'A' && *a <= 'Z') ? *a - 'A' + 'a' : static_cast<unsigned char>(*a);
    const int y = (*b >= 'A' && *b <= 'Z') ? *b - 'A' + 'a' : static_cast<unsigned char>(*b);
    if (x != y || x == 0) return x < y;
  }
}

bool EqualNoCase(const char* a, const char* b) { return !LessNoCase(a, b) && !LessNoCase(b, a); }

TEST(PayloadCatalogue, NamesAscendWithoutRegardToCaseAndNeverRepeat) {
  for (int i = 1; i < PayloadEntryCount; ++i) {
    EXPECT_TRUE(LessNoCase(payloadNames[i - 1], payloadNames[i])) << payloadNames[i - 1] << " / " << payloadNames[i];
  }
}

TEST(PayloadCatalogue, GetPayloadEntryViewsOneIndexAcrossTheTables) {
  for (int i = 0; i < PayloadEntryCount; ++i) {
    const PayloadEntry e = GetPayloadEntry(i);
    EXPECT_EQ(e.fileName, payloadNames[i]);
    EXPECT_EQ(e.installedSize, payloadSizes[i]);
    EXPECT_EQ(e.archive, payloadArchives[i]);
  }
}

TEST(PayloadCatalogue, EachArchiveHeaderDescribesItsOwnEntry) {
  for (int i = 0; i < PayloadEntryCount; ++i) {
    const PayloadEntry e = GetPayloadEntry(i);
    SCOPED_TRACE(e.fileName);
    const PayloadData d = LocatePayloadData(e.archive);
    const size_t nameLength = std::strlen(e.fileName);
    EXPECT_EQ(std::memcmp(e.archive, "PK\3\4", 4), 0);
    EXPECT_EQ(d.method, 8);
    EXPECT_EQ(d.uncompressedSize, e.installedSize);
    // The stored name equals the table's, letter case included, and no extra field follows it.
    ASSERT_EQ(d.data, e.archive + 30 + nameLength);
    EXPECT_EQ(std::memcmp(e.archive + 30, e.fileName, nameLength), 0);
    // The data end exactly where the central directory record begins.
    EXPECT_EQ(std::memcmp(d.data + d.length, "PK\1\2", 4), 0);
  }
}

TEST(PayloadCatalogue, HoldsTheNamesThatTheSetupProgramUses) {
  const char* const required[] = {"50comupd.exe", "TWExplo.exe", "TWick.exe", "TWWizard.exe", "DiskGau.exe",
                                  "TWSync.exe", "Patchwell.exe", "TrackLister.exe", "TWFind.exe", "UnInstal.exe",
                                  "TWDlgHlp.exe", "TWShExt.dll", "lattice.ocx", "modeng1.dll", "modeng2.dll",
                                  "modeng3.dll", "modeng4.dll", "readme.rtf", "tarnwick.hlp"};
  for (const char* name : required) {
    int found = 0;
    for (int i = 0; i < PayloadEntryCount; ++i) found += std::strcmp(payloadNames[i], name) == 0;
    EXPECT_EQ(found, 1) << name;
  }
  // The run deletes these as stale help index files before copying: never part of the product.
  for (const char* stale : {"tarnwick.cnt", "tarnwick.gid"}) {
    for (int i = 0; i < PayloadEntryCount; ++i) EXPECT_FALSE(EqualNoCase(payloadNames[i], stale)) << stale;
  }
}

TEST(PayloadCatalogue, ProgressArithmeticStaysWithin32Bits) {
  // The run forms cumulativeBefore[i] * 100 in unsigned 32-bit arithmetic.
  uint64_t total = 0;
  for (int i = 0; i < PayloadEntryCount; ++i) total += payloadSizes[i];
  EXPECT_EQ(total, 32735563u);
  EXPECT_LE(total * 100, 0xFFFFFFFFull);
  const uint64_t beforeLast = total - payloadSizes[PayloadEntryCount - 1];
  EXPECT_EQ(beforeLast * 100, 3270279500u);  // the largest product the run forms
  EXPECT_EQ(beforeLast * 100 / total, 99u);
}

// The build's CRC-32 and the check's agree on the 64-bit host too (offsets taken on addresses).
TEST(PayloadCatalogue, IntactCatalogueGivesItsCrc) { EXPECT_EQ(CheckPayloadCatalogue(), 1); }

}  // namespace
