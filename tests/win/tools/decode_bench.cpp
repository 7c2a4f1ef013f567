// decode_bench: the 32-bit decoder against zlib for the same target, both decoding the embedded
// catalogue from memory into memory, with CRC-32, under Wine: the decoding alone, without the
// file system. This program provides WriteAt itself (the output goes nowhere), in place of the
// Win32 one, so it links the decoder's sources rather than the program library.
// Times are elapsed time (QueryPerformanceCounter); the two decoders take turns within each
// round, and each figure is the best of its rounds. Exit code 0 when every entry decoded to its
// archive's CRC-32 and size.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "inflate/inflate.h"
#include "install/payload_catalogue.h"
#include "support/bench_clock.h"

int WriteAt(const uint8_t*, uint32_t, uint32_t) { return 1; }

namespace {

constexpr int Rounds = 15;

// Decodes every entry; returns the seconds taken, or a negative number when one decoded wrongly.
double Pass(bool ours, const std::vector<PayloadData>& entries, z_stream& z, std::vector<unsigned char>& buffer) {
  const double start = NowSeconds();
  for (const PayloadData& e : entries) {
    uint32_t crc = 0, size = 0;
    if (ours) {
      InflateStream.input = e.data;
      InflateStream.consumed = 0;
      InflateStream.inputLength = static_cast<int32_t>(e.length);
      InflateStream.outputFile = nullptr;
      if (InflateEntry() != 1) return -1;
      crc = InflateStream.outputCrc;
      size = InflateStream.outputSize;
    } else {
      inflateReset(&z);
      z.next_in = const_cast<Bytef*>(e.data);
      z.avail_in = e.length;
      z.next_out = buffer.data();
      z.avail_out = e.uncompressedSize;
      if (inflate(&z, Z_FINISH) != Z_STREAM_END) return -1;
      size = static_cast<uint32_t>(z.total_out);
      crc = static_cast<uint32_t>(crc32(0, buffer.data(), size));
    }
    if (crc != e.crc32 || size != e.uncompressedSize) return -1;
  }
  return NowSeconds() - start;
}

}  // namespace

int main() {
  std::vector<PayloadData> entries;
  double megabytes = 0;
  uint32_t largest = 0;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    const PayloadData data = LocatePayloadData(GetPayloadEntry(i).archive);
    if (data.method == 0) continue;
    entries.push_back(data);
    megabytes += data.uncompressedSize / 1e6;
    largest = std::max(largest, data.uncompressedSize);
  }
  std::vector<unsigned char> buffer(largest + 1);
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return 1;
  double best[2] = {1e9, 1e9};  // ours, zlib
  for (int round = 0; round < Rounds; ++round)
    for (int peer = 0; peer < 2; ++peer) {
      const double seconds = Pass(peer == 0, entries, z, buffer);
      if (seconds < 0) {
        std::printf("decode_bench: %s decoded the catalogue wrongly\n", peer == 0 ? "ours" : "zlib");
        return 1;
      }
      best[peer] = std::min(best[peer], seconds);
    }
  inflateEnd(&z);
  std::printf("== 32-bit decoding alone under Wine: %zu entries, %.1f MB, memory to memory, with CRC; best of %d\n",
              entries.size(), megabytes, Rounds);
  std::printf("  ours                             %8.1f MB/s  (%.1f ms)\n", megabytes / best[0], best[0] * 1e3);
  std::printf("  zlib %-7s inflate + crc32    %8.1f MB/s  (%.1f ms)\n", zlibVersion(), megabytes / best[1],
              best[1] * 1e3);
  std::printf("ratio ours/zlib (32-bit, decoding alone): %.2f\n", best[1] / best[0]);
  return 0;
}
