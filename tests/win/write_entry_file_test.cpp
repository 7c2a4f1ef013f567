// WriteEntryFile under Wine: one catalogue entry into one new file, and what it makes of
// damaged archives, existing files and a full disk.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "inflate/inflate.h"
#include "install/install_worker.h"
#include "install/payload_catalogue.h"
#include "install/write_entry_file.h"
#include "setup/setup_state.h"
#include "support/test_files.h"
#include "tests/support/bit_writer.h"
#include "tests/support/random_bytes.h"
#include "tools/zip_writer.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct ArchiveFields {
  uint16_t method;
  uint32_t crc;
  uint32_t size;  // uncompressed
  std::string extra;
};

// A single-entry ZIP archive: local header, data, central directory record, end record.
Bytes MakeArchive(const std::string& name, const Bytes& data, const ArchiveFields& fields) {
  return MakeSingleEntryZip({name, fields.method, 0, 0x5A21, fields.crc, fields.size, fields.extra}, data);
}

uint32_t Crc(const Bytes& data) { return Crc32Update(0, data.data(), data.size()); }
uint32_t Crc(const std::string& text) {
  return Crc32Update(0, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// One final fixed-Huffman block holding text as literals (RFC 1951 section 3.2.6).
Bytes FixedBlockOfLiterals(const std::string& text) {
  BitWriter bits;
  bits.Put(1, 1);  // BFINAL
  bits.Put(1, 2);  // BTYPE 01: fixed Huffman codes
  for (unsigned char c : text) {
    if (c < 144)
      bits.PutCode(0x30 + c, 8);  // literals 0-143: 00110000 upwards
    else
      bits.PutCode(0x190 + c - 144, 9);  // literals 144-255: 110010000 upwards
  }
  bits.PutCode(0, 7);  // end of block (256): 0000000
  return bits.Bytes();
}

PayloadEntry EntryFor(const Bytes& archive, const char* name) {
  return PayloadEntry{name, 0, archive.data()};
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The copy of a catalogue entry's archive, for patching.
Bytes ArchiveCopy(int index) {
  const unsigned char* archive = GetPayloadEntry(index).archive;
  PayloadData data = LocatePayloadData(archive);
  return Bytes(archive, data.data + data.length);
}

// The first catalogue entry whose compressed data lie between min and max bytes.
int EntryWithCompressedSize(uint32_t min, uint32_t max) {
  for (int i = 0; i < PayloadEntryCount; ++i) {
    uint32_t length = LocatePayloadData(GetPayloadEntry(i).archive).length;
    if (length >= min && length <= max) return i;
  }
  return -1;
}

class WriteEntry : public ::testing::Test {
 protected:
  // A fresh folder per test, also when the tests share one prefix.
  void SetUp() override {
    folder_ = std::string("C:\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
  }
  std::string Path(const char* name) const { return folder_ + "\\" + name; }
  std::string folder_;
};

}  // namespace

TEST_F(WriteEntry, StoredEntryIsWrittenAsItsDataBytes) {
  const struct {
    size_t size;
    std::string extra;  // the data start after it
  } cases[] = {{0, ""},
               {1, ""},
               {425, std::string("UT\x05\x00\x01\x12\x34\x56\x78", 9)},
               {65537, ""},
               {1548288, std::string("\x0a\x00\x04\x00" "abcd", 8)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    Bytes data = RandomBytes(c.size, static_cast<uint32_t>(c.size));
    Bytes archive = MakeArchive("Stored.BIN", data, {0, Crc(data), static_cast<uint32_t>(c.size), c.extra});
    std::string path = Path("Stored.BIN");
    DeleteFileA(path.c_str());
    ASSERT_EQ(WriteEntryFile(path.c_str(), EntryFor(archive, "Stored.BIN")), 1);
    EXPECT_EQ(ReadFileBytes(path), std::optional<std::string>(AsText(data)));
  }
}

TEST_F(WriteEntry, DamagedStoredEntryIsAFailedFileAndLeavesNoFile) {
  Bytes data = RandomBytes(5000, 7);
  const uint32_t rightCrc = Crc(data);
  Bytes flipped = data;
  flipped[1234] ^= 0x10;
  const struct {
    const char* what;
    Bytes data;
    uint32_t crc;
    uint32_t size;
  } cases[] = {{"one byte flipped in the data", flipped, rightCrc, 5000},
               {"a wrong CRC-32 in the header", data, rightCrc ^ 1, 5000},
               {"a wrong size in the header", data, rightCrc, 5001}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes archive = MakeArchive("damaged.dll", c.data, {0, c.crc, c.size, ""});
    std::string path = Path("damaged.dll");
    EXPECT_EQ(WriteEntryFile(path.c_str(), EntryFor(archive, "damaged.dll")), 0);
    EXPECT_FALSE(Exists(path));
  }
}

TEST_F(WriteEntry, DeflateLiteralChangedDecodesButIsAFailedFile) {
  const std::string text = "Tarnwick Pro 5.0 installs this line.";
  std::string changed = text;
  changed[9] = 'Q';  // the literal that the damaged stream carries instead
  const struct {
    const char* what;
    std::string streamText;
    int expected;
  } cases[] = {{"the right literals", text, 1}, {"one literal changed", changed, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes archive =
        MakeArchive("readme.txt", FixedBlockOfLiterals(c.streamText), {8, Crc(text), static_cast<uint32_t>(text.size()), ""});
    std::string path = Path("readme.txt");
    DeleteFileA(path.c_str());
    EXPECT_EQ(WriteEntryFile(path.c_str(), EntryFor(archive, "readme.txt")), c.expected);
    if (c.expected)
      EXPECT_EQ(ReadFileBytes(path), std::optional<std::string>(text));
    else
      EXPECT_FALSE(Exists(path));
  }
}

TEST_F(WriteEntry, CatalogueEntryWithDamagedHeaderOrDataIsAFailedFile) {
  int index = EntryWithCompressedSize(20000, 400000);
  ASSERT_GE(index, 0);
  const char* name = GetPayloadEntry(index).fileName;
  Bytes original = ArchiveCopy(index);
  const size_t dataStart = LocatePayloadData(original.data()).data - original.data();
  const struct {
    const char* what;
    size_t offset;
    unsigned char mask;
  } cases[] = {{"CRC-32 field", 14, 0x01},
               {"uncompressed size field", 22, 0x01},
               {"block type of the first block set to the reserved 11", dataStart, 0x06}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes archive = original;
    if (c.offset == dataStart)
      archive[c.offset] |= c.mask;
    else
      archive[c.offset] ^= c.mask;
    std::string path = Path(name);
    EXPECT_EQ(WriteEntryFile(path.c_str(), EntryFor(archive, name)), 0);
    EXPECT_FALSE(Exists(path));
  }
  // The unpatched copy is fine.
  std::string path = Path(name);
  ASSERT_EQ(WriteEntryFile(path.c_str(), EntryFor(original, name)), 1);
  EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(ProductFilePath(name)));
}

// Random single-byte damage in an entry's compressed data: the result is the product's file or a
// failed file, never a wrong one. Some damage decodes without a decoder error; the CRC-32 and
// size comparison is what catches it.
TEST_F(WriteEntry, RandomDamageNeverGivesAWrongFile) {
  int index = EntryWithCompressedSize(4000, 40000);
  ASSERT_GE(index, 0);
  const char* name = GetPayloadEntry(index).fileName;
  std::optional<std::string> product = ReadFileBytes(ProductFilePath(name));
  ASSERT_TRUE(product);
  Bytes original = ArchiveCopy(index);
  PayloadData located = LocatePayloadData(original.data());
  const size_t dataStart = located.data - original.data();

  std::mt19937 random(20240501);
  int failed = 0, decodedButRefused = 0;
  const std::string path = Path(name);
  const std::string scratch = Path("scratch.out");
  for (int trial = 0; trial < 300; ++trial) {
    Bytes archive = original;
    size_t offset = dataStart + random() % located.length;
    archive[offset] ^= static_cast<unsigned char>(1 + random() % 255);
    SCOPED_TRACE(offset);
    if (WriteEntryFile(path.c_str(), EntryFor(archive, name))) {
      EXPECT_EQ(ReadFileBytes(path), product);
      DeleteFileA(path.c_str());
      continue;
    }
    EXPECT_FALSE(Exists(path));
    ++failed;
    // Would the decoder alone have called it a success?
    HANDLE file = CreateFileA(scratch.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    PayloadData damaged = LocatePayloadData(archive.data());
    InflateStream.input = damaged.data;
    InflateStream.consumed = 0;
    InflateStream.inputLength = static_cast<int32_t>(damaged.length);
    InflateStream.outputFile = file;
    if (InflateEntry()) ++decodedButRefused;
    CloseHandle(file);
  }
  EXPECT_GT(failed, 250);
  EXPECT_GT(decodedButRefused, 0);
}

TEST_F(WriteEntry, ExistingFileIsNeitherOverwrittenNorRemoved) {
  const char* name = GetPayloadEntry(0).fileName;
  std::string path = Path(name);
  ASSERT_TRUE(WriteFileBytes(path, "already here"));
  EXPECT_EQ(WriteEntryFile(path.c_str(), GetPayloadEntry(0)), 0);
  EXPECT_EQ(ReadFileBytes(path), std::optional<std::string>("already here"));
}

// Q: is a 4 MiB drive. With about 64 KiB left, a 1 MiB stored entry cannot be written in full,
// whether the system refuses the write or writes part of it; a deflated entry fails in the
// decoder's writes. Either way the file is a failed file and its space is given back.
TEST_F(WriteEntry, FullDiskIsAFailedFileAndLeavesNoFile) {
  ULARGE_INTEGER available, total, free;
  ASSERT_TRUE(GetDiskFreeSpaceExA("Q:\\", &available, &total, &free));
  ASSERT_GT(available.QuadPart, 128u * 1024);
  ASSERT_TRUE(WriteFileBytes("Q:\\filler", std::string(available.QuadPart - 64 * 1024, 'f')));
  ASSERT_TRUE(GetDiskFreeSpaceExA("Q:\\", &available, &total, &free));

  Bytes data = RandomBytes(1 << 20, 11);
  Bytes stored = MakeArchive("big.dll", data, {0, Crc(data), static_cast<uint32_t>(data.size()), ""});
  int deflated = EntryWithCompressedSize(100000, 2000000);
  ASSERT_GE(deflated, 0);
  ASSERT_GT(GetPayloadEntry(deflated).installedSize, 256u * 1024);
  const struct {
    const char* what;
    PayloadEntry entry;
  } cases[] = {{"stored", EntryFor(stored, "big.dll")}, {"deflated", GetPayloadEntry(deflated)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = std::string("Q:\\") + c.entry.fileName;
    EXPECT_EQ(WriteEntryFile(path.c_str(), c.entry), 0);
    EXPECT_FALSE(Exists(path));
    ULARGE_INTEGER after;
    ASSERT_TRUE(GetDiskFreeSpaceExA("Q:\\", &after, &total, &free));
    EXPECT_EQ(after.QuadPart, available.QuadPart);
  }
}

// The copy error message with a long name and folder: shortened to any buffer, never overrun.
TEST(CopyErrorText, IsShortenedToTheBufferNeverBeyond) {
  SetupState.instance = GetModuleHandleA(nullptr);
  const std::string name(200, 'n');
  const std::string folder = "C:\\" + std::string(256, 'f');
  char whole[2048];
  ASSERT_EQ(FormatCopyErrorText(whole, sizeof whole, name.c_str(), folder.c_str()), 1);
  const std::string full = whole;
  EXPECT_EQ(full, "An error occurred copying " + name + " to the folder " + folder +
                      " (this file might be currently in use or the floppy might not be accessible).  "
                      "Would you like to try copying the file again?");

  const size_t sizes[] = {1, 2, 40, 199, 200, 260, full.size(), full.size() + 1, 1024};
  for (size_t size : sizes) {
    SCOPED_TRACE(size);
    std::vector<char> buffer(size + 16, '#');
    int complete = FormatCopyErrorText(buffer.data(), size, name.c_str(), folder.c_str());
    EXPECT_EQ(complete, size > full.size() ? 1 : 0);
    const size_t kept = std::min(size - 1, full.size());
    EXPECT_EQ(std::string(buffer.data()), full.substr(0, kept));
    for (size_t i = size; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], '#') << "written beyond the buffer at " << i;
  }
}
