// Runs InflateEntry on a stream into a real temporary file and records what it did.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "inflate/inflate.h"
#include "inflate/write_at_host.h"

struct WritePiece {
  uint32_t offset;
  uint32_t count;
  bool operator==(const WritePiece&) const = default;
};

struct InflateRun {
  int result = 0;
  std::vector<WritePiece> writes;  // every WriteAt call, in order
  std::vector<uint8_t> file;       // the output file's contents afterwards
  uint32_t crc = 0;                // InflateStream.outputCrc
  uint32_t size = 0;               // InflateStream.outputSize
  int32_t consumed = 0;            // InflateStream.consumed
};

inline std::vector<WritePiece>* recordedWrites = nullptr;

inline void RecordWrite(const uint8_t*, uint32_t offset, uint32_t count) {
  if (recordedWrites != nullptr) recordedWrites->push_back({offset, count});
}

// Opens a new empty temporary file for reading and writing; it is already unlinked.
inline int OpenTemporaryFile() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir != nullptr && *dir ? dir : "/tmp") + "/inflate-test-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd >= 0) unlink(path.c_str());
  return fd;
}

inline std::vector<uint8_t> ReadBack(int fd) {
  std::vector<uint8_t> contents;
  const off_t end = lseek(fd, 0, SEEK_END);
  if (end <= 0) return contents;
  contents.resize(static_cast<size_t>(end));
  if (pread(fd, contents.data(), contents.size(), 0) != static_cast<ssize_t>(contents.size())) contents.clear();
  return contents;
}

// Decodes data[0..size) with InflateEntry into fd (a new temporary file when fd is -1).
inline InflateRun RunInflate(const uint8_t* data, size_t size, int fd = -1) {
  InflateRun run;
  const bool ownFile = fd < 0;
  if (ownFile) fd = OpenTemporaryFile();
  recordedWrites = &run.writes;
  writeAtObserver = RecordWrite;
  InflateStream.input = data;
  InflateStream.consumed = 0;
  InflateStream.inputLength = static_cast<int32_t>(size);
  InflateStream.outputFile = reinterpret_cast<OutputFileHandle>(static_cast<intptr_t>(fd));
  run.result = InflateEntry();
  writeAtObserver = nullptr;
  recordedWrites = nullptr;
  run.crc = InflateStream.outputCrc;
  run.size = InflateStream.outputSize;
  run.consumed = InflateStream.consumed;
  if (ownFile) {
    run.file = ReadBack(fd);
    close(fd);
  }
  return run;
}

inline InflateRun RunInflate(const std::vector<uint8_t>& stream) { return RunInflate(stream.data(), stream.size()); }

// The writes a decode of output bytes makes: whole 32768-byte pieces, then (on success) the rest.
inline std::vector<WritePiece> ExpectedWrites(size_t outputBytes, bool success) {
  std::vector<WritePiece> writes;
  uint32_t offset = 0;
  for (; outputBytes - offset >= 32768; offset += 32768) writes.push_back({offset, 32768});
  if (success) writes.push_back({offset, static_cast<uint32_t>(outputBytes - offset)});
  return writes;
}
