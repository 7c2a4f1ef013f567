// libFuzzer target: any byte string is a stream for InflateEntry. The decoder must not crash,
// hang or leak, and must agree with the plain reference decoder on the result, every write
// (offset and count, in order), the bytes written, and the CRC-32 and size it reports.
//
// The output goes to memory: this target provides WriteAt itself (in place of the file-backed
// one), so a run costs no system call and the fuzzer gets through millions of inputs.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "inflate/inflate.h"
#include "tests/fuzz/reference_oracle.h"

namespace {

struct Piece {
  uint32_t offset;
  uint32_t count;
  bool operator==(const Piece&) const = default;
};

// What the decoder wrote during the current input: the pieces in order and the file's bytes.
std::vector<Piece> pieces;
std::vector<uint8_t> file;

void Check(bool condition) {
  if (!condition) std::abort();
}

// CRC-32 one byte at a time, independent of the decoder's.
uint32_t PlainCrc32(const std::vector<uint8_t>& bytes, size_t size) {
  static uint32_t table[256];
  if (table[1] == 0)
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  uint32_t c = ~0u;
  for (size_t i = 0; i < size; ++i) c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return ~c;
}

}  // namespace

int WriteAt(const uint8_t* buffer, uint32_t offset, uint32_t count) {
  pieces.push_back({offset, count});
  if (file.size() < size_t{offset} + count) file.resize(size_t{offset} + count);
  if (count > 0) std::memcpy(file.data() + offset, buffer, count);
  return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  pieces.clear();
  file.clear();
  InflateStream.input = data;
  InflateStream.consumed = 0;
  InflateStream.inputLength = static_cast<int32_t>(size);
  InflateStream.outputFile = nullptr;
  const int result = InflateEntry();

  static std::vector<uint8_t> output;
  const bool ok = ReferenceInflate(data, size, output);
  Check(result == (ok ? 1 : 0));
  // Whole 32768-byte pieces at consecutive offsets, then (after a success) the rest.
  std::vector<Piece> writes;
  uint32_t offset = 0;
  for (; output.size() - offset >= 32768; offset += 32768) writes.push_back({offset, 32768});
  if (ok) writes.push_back({offset, static_cast<uint32_t>(output.size() - offset)});
  Check(pieces == writes);
  const size_t written = writes.empty() ? 0 : writes.back().offset + writes.back().count;
  Check(file.size() == written);
  Check(written == 0 || std::memcmp(file.data(), output.data(), written) == 0);
  Check(InflateStream.outputSize == written);
  Check(InflateStream.outputCrc == PlainCrc32(output, written));
  Check(InflateStream.consumed >= 0 && static_cast<size_t>(InflateStream.consumed) <= size);
  Check(InflateStream.input == data + InflateStream.consumed);
  return 0;
}
