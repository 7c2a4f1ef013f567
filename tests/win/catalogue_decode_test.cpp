// The embedded catalogue through the setup program's own decoder on Windows: every entry,
// decoded by InflateEntry into a new file through WriteAt on a real Win32 handle, is
// byte-identical to the product file (P:\NAME), and the decoder's CRC-32 and size agree with the
// archive's header.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "inflate/inflate.h"
#include "install/payload_catalogue.h"

namespace {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE) return false;
  out.resize(size);
  DWORD got = 0;
  return size == 0 || (ReadFile(file.get(), out.data(), size, &got, nullptr) && got == size);
}

// Writes one entry into a new file as the installation does: created with CREATE_NEW and no
// sharing, stored data (method 0) with one WriteFile, DEFLATE data through InflateEntry.
// Returns the writer's result (1 success, 0 failure).
int WriteEntry(const std::string& path, const PayloadData& data) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return 0;
  if (data.method == 0) {
    DWORD written = 0;
    return WriteFile(file.get(), data.data, data.length, &written, nullptr) ? 1 : 0;
  }
  InflateStream.outputFile = file.get();
  InflateStream.input = data.data;
  InflateStream.inputLength = static_cast<int32_t>(data.length);
  InflateStream.consumed = 0;
  return InflateEntry();
}

size_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i;
}

}  // namespace

TEST(CatalogueDecode, EveryEntryDecodesToItsProductFile) {
  char temp[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
  const std::string folder = std::string(temp) + "catalogue-decode";
  CreateDirectoryA(folder.c_str(), nullptr);
  int identical = 0;
  std::vector<uint8_t> written, product;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    const PayloadEntry entry = GetPayloadEntry(i);
    SCOPED_TRACE(entry.fileName);
    const PayloadData data = LocatePayloadData(entry.archive);
    const std::string path = folder + "\\" + entry.fileName;
    ASSERT_EQ(WriteEntry(path, data), 1);
    if (data.method != 0) {
      EXPECT_EQ(InflateStream.outputCrc, data.crc32);
      EXPECT_EQ(InflateStream.outputSize, data.uncompressedSize);
      EXPECT_EQ(InflateStream.consumed, static_cast<int32_t>(data.length));
    }
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA(path.c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_STREQ(found.cFileName, entry.fileName);  // the catalogue's letter case, unchanged
    ASSERT_TRUE(ReadWholeFile(path, written));
    ASSERT_TRUE(ReadWholeFile(std::string("P:\\") + entry.fileName, product));
    EXPECT_EQ(written.size(), entry.installedSize);
    if (written == product) {
      ++identical;
    } else {
      ADD_FAILURE() << "differs from P:\\" << entry.fileName << " at byte " << FirstDifference(written, product)
                    << " (" << written.size() << " bytes written, " << product.size() << " expected)";
    }
    DeleteFileA(path.c_str());
  }
  RemoveDirectoryA(folder.c_str());
  EXPECT_EQ(identical, PayloadEntryCount);
}
