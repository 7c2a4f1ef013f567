// catalogue-stats [--entries]: figures of the embedded catalogue, one "name: value" line each:
//   entries, installed_total, compressed_total (sum of the archives' compressed sizes),
//   smallest, largest (installed sizes), entries_with_dynamic, entries_with_fixed,
//   entries_with_stored (entries holding at least one block of that type), max_blocks (most
//   blocks in one entry), max_distance (longest back-reference).
// Every entry is decoded with the setup program's decoder into a temporary file, which is read
// back and must match the archive's CRC-32 and uncompressed size and the installed size of the
// tables. With --entries, one line per entry goes first: "entry NAME: stored S fixed F dynamic D
// distance M" (block counts and longest back-reference). Exit status 0 when all entries decode correctly, 1 otherwise (names on stderr).
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "inflate/inflate.h"
#include "install/payload_catalogue.h"

namespace {

// Decodes one entry into the file fd (emptied first). Returns true when the file read back
// matches the archive's CRC-32 and size and the decoder's own account of what it wrote.
bool DecodeEntry(const PayloadEntry& entry, int fd, std::vector<uint8_t>& buffer) {
  const PayloadData d = LocatePayloadData(entry.archive);
  if (ftruncate(fd, 0) != 0) return false;
  InflateStream.input = d.data;
  InflateStream.consumed = 0;
  InflateStream.inputLength = static_cast<int32_t>(d.length);
  InflateStream.outputFile = reinterpret_cast<OutputFileHandle>(static_cast<intptr_t>(fd));
  int ok;
  if (d.method == 0) {
    ok = WriteAt(d.data, 0, d.length);
  } else {
    ok = InflateEntry();
    ok = ok && InflateStream.outputCrc == d.crc32 && InflateStream.outputSize == d.uncompressedSize;
  }
  buffer.resize(static_cast<size_t>(d.uncompressedSize) + 1);
  const ssize_t got = pread(fd, buffer.data(), buffer.size(), 0);
  return ok && got == static_cast<ssize_t>(d.uncompressedSize) && d.uncompressedSize == entry.installedSize &&
         Crc32Update(0, buffer.data(), static_cast<size_t>(got)) == d.crc32;
}

}  // namespace

int main(int argc, char** argv) {
  const bool perEntry = argc == 2 && std::strcmp(argv[1], "--entries") == 0;
  if (argc > 2 || (argc == 2 && !perEntry)) {
    std::fprintf(stderr, "usage: catalogue-stats [--entries]\n");
    return 1;
  }
  FILE* scratch = std::tmpfile();
  if (scratch == nullptr) {
    std::perror("catalogue-stats: temporary file");
    return 1;
  }
  const int fd = fileno(scratch);
  std::vector<uint8_t> buffer;
  uint64_t installed = 0, compressed = 0;
  uint32_t smallest = UINT32_MAX, largest = 0, withDynamic = 0, withFixed = 0, withStored = 0;
  uint32_t maxBlocks = 0, maxDistance = 0;
  int failures = 0;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    const PayloadEntry entry = GetPayloadEntry(i);
    InflateStats = InflateStatistics{};
    if (!DecodeEntry(entry, fd, buffer)) {
      std::fprintf(stderr, "catalogue-stats: %s does not decode to its archive's contents\n", entry.fileName);
      ++failures;
    }
    const InflateStatistics& s = InflateStats;
    if (perEntry) {
      std::printf("entry %s: stored %u fixed %u dynamic %u distance %u\n", entry.fileName, s.storedBlocks,
                  s.fixedBlocks, s.dynamicBlocks, s.maxDistance);
    }
    installed += entry.installedSize;
    compressed += LocatePayloadData(entry.archive).length;
    smallest = std::min(smallest, entry.installedSize);
    largest = std::max(largest, entry.installedSize);
    withDynamic += s.dynamicBlocks > 0;
    withFixed += s.fixedBlocks > 0;
    withStored += s.storedBlocks > 0;
    maxBlocks = std::max(maxBlocks, s.storedBlocks + s.fixedBlocks + s.dynamicBlocks);
    maxDistance = std::max(maxDistance, s.maxDistance);
  }
  std::fclose(scratch);
  std::printf("entries: %d\n", PayloadEntryCount);
  std::printf("installed_total: %llu\n", static_cast<unsigned long long>(installed));
  std::printf("compressed_total: %llu\n", static_cast<unsigned long long>(compressed));
  std::printf("smallest: %u\n", smallest);
  std::printf("largest: %u\n", largest);
  std::printf("entries_with_dynamic: %u\n", withDynamic);
  std::printf("entries_with_fixed: %u\n", withFixed);
  std::printf("entries_with_stored: %u\n", withStored);
  std::printf("max_blocks: %u\n", maxBlocks);
  std::printf("max_distance: %u\n", maxDistance);
  return failures == 0 ? 0 : 1;
}
