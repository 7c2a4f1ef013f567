// copy_bench: the decoder as setup.exe runs it, under Wine, in three comparisons.
//
// 1. Decoder against zlib, both built by this compiler for this target, in this process: each
//    entry of the embedded catalogue decoded from memory into a file created with CreateFileA
//    (one file, recreated per entry) and closed, with the CRC-32 of the output. Ours writes
//    through WriteAt in 32768-byte pieces; zlib decodes into a buffer of the entry's size and
//    writes it with one WriteFile (its most favourable use), with zlib's crc32. Both outputs are
//    checked against the archives' CRC-32 and sizes first.
// 2. The installation run's parts: a whole InstallWorker run (from the thread's start to
//    WM_SETUP_DONE, a hidden window playing the copy page) into an empty folder; decoding the
//    catalogue alone (ours, into the NUL device through WriteAt, with the CRC); and writing the
//    318 product files, read from P: into memory first, with CreateFileA and one WriteFile each
//    into another empty folder. The run's own machinery is the copy run over the sum of the two.
// "copy_bench decoders" makes only the first comparison.
// Times are elapsed time (QueryPerformanceCounter); the figures take turns within each round,
// and each figure is the best of its rounds. Exit code 0 when every run completed.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "inflate/inflate.h"
#include "install/payload_catalogue.h"
#include "setup/setup_state.h"
#include "support/copy_page_stand_in.h"
#include "support/test_files.h"

namespace {

constexpr int DecodeRounds = 9;
constexpr int CopyRounds = 5;

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return double(counter.QuadPart) / double(frequency.QuadPart);
}

void RemoveFolder(const std::string& folder) {
  for (const std::string& name : FolderFileNames(folder)) DeleteFileA((folder + "\\" + name).c_str());
  RemoveDirectoryA(folder.c_str());
}

// The DEFLATE entries of the catalogue.
std::vector<PayloadData> DeflateEntries(double& megabytes) {
  std::vector<PayloadData> entries;
  megabytes = 0;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    PayloadData data = LocatePayloadData(GetPayloadEntry(i).archive);
    if (data.method == 0) continue;
    entries.push_back(data);
    megabytes += data.uncompressedSize / 1e6;
  }
  return entries;
}

enum class Decoder { Ours, Zlib };

struct ZlibPeer {
  z_stream stream{};
  std::vector<unsigned char> buffer;
};

// Decodes every entry into target (a file recreated per entry, or the NUL device); returns the
// seconds taken, or a negative number when an entry failed or (with verify) decoded wrongly.
double DecodePass(Decoder decoder, const std::vector<PayloadData>& entries, const char* target, ZlibPeer& zlib,
                  bool verify) {
  const DWORD disposition = std::strcmp(target, "NUL") == 0 ? OPEN_EXISTING : CREATE_ALWAYS;
  const double start = Now();
  for (const PayloadData& e : entries) {
    HANDLE file = CreateFileA(target, GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    bool ok = true;
    uint32_t crc = 0, size = 0;
    if (decoder == Decoder::Ours) {
      InflateStream.input = e.data;
      InflateStream.consumed = 0;
      InflateStream.inputLength = static_cast<int32_t>(e.length);
      InflateStream.outputFile = file;
      ok = InflateEntry() == 1;
      crc = InflateStream.outputCrc;
      size = InflateStream.outputSize;
    } else {
      z_stream& z = zlib.stream;
      inflateReset(&z);
      z.next_in = const_cast<Bytef*>(e.data);
      z.avail_in = e.length;
      z.next_out = zlib.buffer.data();
      z.avail_out = e.uncompressedSize;
      ok = inflate(&z, Z_FINISH) == Z_STREAM_END;
      size = static_cast<uint32_t>(z.total_out);
      crc = static_cast<uint32_t>(crc32(0, zlib.buffer.data(), size));
      DWORD written = 0;
      ok = ok && WriteFile(file, zlib.buffer.data(), size, &written, nullptr) && written == size;
    }
    CloseHandle(file);
    if (!ok || (verify && (crc != e.crc32 || size != e.uncompressedSize))) return -1;
  }
  return Now() - start;
}

// Writes every product file into folder; returns the seconds taken, or a negative number on a
// failure.
double WritePlain(const std::string& folder, const std::vector<std::string>& contents) {
  const double start = Now();
  if (!CreateDirectoryA(folder.c_str(), nullptr)) return -1;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    std::string path = folder + "\\" + GetPayloadEntry(i).fileName;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, contents[i].data(), static_cast<DWORD>(contents[i].size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != contents[i].size()) return -1;
  }
  return Now() - start;
}

// One installation run into folder; returns the seconds to WM_SETUP_DONE, or a negative number
// when the run did not complete.
double RunCopy(const std::string& folder) {
  std::strcpy(SetupState.installFolder, folder.c_str());
  InstallRunScript script;
  script.visible = false;
  InstallRunRecord record = RunInstallWorker(script);
  if (!record.finished || record.done != std::vector<int>{1} || !record.boxes.empty()) return -1;
  return record.secondsToDone;
}

int CompareDecoders() {
  double megabytes = 0;
  const std::vector<PayloadData> entries = DeflateEntries(megabytes);
  ZlibPeer zlib;
  uint32_t largest = 0;
  for (const PayloadData& e : entries) largest = std::max(largest, e.uncompressedSize);
  zlib.buffer.resize(largest + 1);
  if (inflateInit2(&zlib.stream, -15) != Z_OK) return 1;
  const char* target = "C:\\Bench\\decode.out";

  // best[decoder][0] into a file, best[decoder][1] into the NUL device (the decoding alone).
  double best[2][2] = {{1e9, 1e9}, {1e9, 1e9}};
  for (int round = 0; round <= DecodeRounds; ++round)
    for (int toNul = 0; toNul < 2; ++toNul)
      for (Decoder decoder : {Decoder::Ours, Decoder::Zlib}) {
        const double seconds = DecodePass(decoder, entries, toNul ? "NUL" : target, zlib, round == 0);
        if (seconds < 0) {
          std::printf("copy_bench: %s decoded the catalogue wrongly\n", decoder == Decoder::Ours ? "ours" : "zlib");
          return 1;
        }
        double& figure = best[static_cast<int>(decoder)][toNul];
        if (round > 0) figure = std::min(figure, seconds);
      }
  inflateEnd(&zlib.stream);
  DeleteFileA(target);
  std::printf("== 32-bit decoder under Wine: %zu entries, %.1f MB, memory to a file, with CRC; elapsed, best of %d\n",
              entries.size(), megabytes, DecodeRounds);
  std::printf("  ours (WriteAt pieces, CRC)       %8.1f MB/s  (%.1f ms)\n", megabytes / best[0][0], best[0][0] * 1e3);
  std::printf("  zlib %-7s inflate + crc32    %8.1f MB/s  (%.1f ms)\n", zlibVersion(), megabytes / best[1][0],
              best[1][0] * 1e3);
  std::printf("  ours to NUL (CRC)                %8.1f MB/s  (%.1f ms)\n", megabytes / best[0][1], best[0][1] * 1e3);
  std::printf("  zlib + crc32 to NUL              %8.1f MB/s  (%.1f ms)\n", megabytes / best[1][1], best[1][1] * 1e3);
  std::printf("ratio ours/zlib (32-bit): %.2f  (to NUL %.2f; goal: at least 1.60 to a file)\n", best[1][0] / best[0][0],
              best[1][1] / best[0][1]);
  return 0;
}

int CompareCopyRun() {
  std::vector<std::string> contents(PayloadEntryCount);
  double megabytes = 0;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    std::optional<std::string> bytes = ReadFileBytes(ProductFilePath(GetPayloadEntry(i).fileName));
    if (!bytes) {
      std::printf("copy_bench: cannot read the product file %s\n", GetPayloadEntry(i).fileName);
      return 1;
    }
    contents[i] = std::move(*bytes);
    megabytes += contents[i].size() / 1e6;
  }
  double unused = 0;
  const std::vector<PayloadData> entries = DeflateEntries(unused);
  ZlibPeer noPeer;

  double bestCopy = 1e9, bestPlain = 1e9, bestDecode = 1e9;
  for (int round = 1; round <= CopyRounds; ++round) {
    std::string copyFolder = "C:\\Bench\\run" + std::to_string(round);
    std::string plainFolder = "C:\\Bench\\plain" + std::to_string(round);
    const double copy = RunCopy(copyFolder);
    const double decode = DecodePass(Decoder::Ours, entries, "NUL", noPeer, true);
    const double plain = WritePlain(plainFolder, contents);
    if (copy < 0 || decode < 0 || plain < 0) {
      std::printf("copy_bench: round %d failed (%s)\n", round,
                  copy < 0 ? "copy run" : decode < 0 ? "decode" : "plain write");
      return 1;
    }
    std::printf("round %d: copy run %.3f s, decode %.3f s, plain write %.3f s\n", round, copy, decode, plain);
    bestCopy = std::min(bestCopy, copy);
    bestDecode = std::min(bestDecode, decode);
    bestPlain = std::min(bestPlain, plain);
    RemoveFolder(copyFolder);
    RemoveFolder(plainFolder);
  }
  std::printf("== Installation run under Wine: %d files, %.1f MB installed; elapsed, best of %d\n", PayloadEntryCount,
              megabytes, CopyRounds);
  std::printf("  copy run (InstallWorker to WM_SETUP_DONE): %.3f s  %6.1f MB/s\n", bestCopy, megabytes / bestCopy);
  std::printf("  decode only (to NUL through WriteAt, CRC): %.3f s  %6.1f MB/s\n", bestDecode, megabytes / bestDecode);
  std::printf("  plain write of the same files:             %.3f s  %6.1f MB/s\n", bestPlain, megabytes / bestPlain);
  std::printf("ratio copy run / plain write:            %.2f\n", bestCopy / bestPlain);
  std::printf("ratio copy run / (decode + plain write): %.2f (goal: at most 1.10)\n", bestCopy / (bestDecode + bestPlain));
  return 0;
}

}  // namespace

// "copy_bench decoders" runs only the first comparison.
int main(int argc, char** argv) {
  CreateDirectoryA("C:\\Bench", nullptr);
  if (CompareDecoders() != 0) return 1;
  if (argc > 1 && std::strcmp(argv[1], "decoders") == 0) return 0;
  return CompareCopyRun();
}
