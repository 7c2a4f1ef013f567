// Raw DEFLATE decoder (RFC 1951): decodes one entry's compressed bytes from memory into a file
// that the caller has created, through a 32768-byte window written at explicit file offsets.
#pragma once
#include <cstddef>
#include <cstdint>

// The output file: a Win32 file handle in setup.exe; in host builds a file descriptor held in
// the pointer (see write_at_host.cpp).
using OutputFileHandle = void*;

// The decoder's one input and output context. The caller fills the first four fields before
// each InflateEntry; the decoder advances input and consumed and fills the last two.
struct InflateContext {
  const uint8_t* input;         // next compressed byte
  int32_t consumed;             // compressed bytes taken so far; the caller sets 0
  int32_t inputLength;          // compressed bytes available
  OutputFileHandle outputFile;  // open for writing, newly created and empty
  uint32_t outputCrc;           // CRC-32 of the bytes written by the last InflateEntry
  uint32_t outputSize;          // number of bytes written by the last InflateEntry
};
extern InflateContext InflateStream;

// Decodes the whole entry described by InflateStream into InflateStream.outputFile.
// Returns 1 when the final block was decoded and all output written; 0 when memory ran out,
// the data are malformed, a back-reference reaches before the first output byte, a code or
// field needs bits beyond the inputLength bytes (a truncated stream), or a positioning or write
// failed or wrote fewer bytes than asked. Nothing after the final block is examined.
// The output is written as it fills the 32768-byte window: pieces of exactly 32768 bytes at
// offsets 0, 32768, ..., then, on success, one piece of the remaining 0 to 32767 bytes (a write
// of 0 bytes when nothing remains). A failure makes no further write; output written before it
// stays in the file; the decoder never closes, truncates or deletes the file.
// Afterwards outputCrc and outputSize describe every piece written in full; input and consumed
// have advanced by at most inputLength bytes, after a success exactly to the end of the byte
// that holds the stream's last bit.
int InflateEntry();

// Positions InflateStream.outputFile at offset (from the start of the file) and writes count
// bytes from buffer with one write. Returns 1 when all count bytes were written; 0 when the
// positioning or the write failed or the write was short.
int WriteAt(const uint8_t* buffer, uint32_t offset, uint32_t count);

// CRC-32 (ISO-HDLC, the ZIP checksum). Start with crc 0; feed pieces in order.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);

#if INFLATE_COLLECT_STATS
// Host-only instrumentation for catalogue-stats: counted over every InflateEntry call since
// the last reset.
struct InflateStatistics {
  uint32_t storedBlocks;
  uint32_t fixedBlocks;
  uint32_t dynamicBlocks;
  uint32_t maxDistance;  // longest back-reference seen
};
extern InflateStatistics InflateStats;
#endif
