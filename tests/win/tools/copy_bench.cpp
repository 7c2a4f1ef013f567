// copy_bench: the decoder as setup.exe runs it, under Wine, in three comparisons.
//
// 1. Decoder against zlib, both built by this compiler for this target, in this process: each
//    entry of the embedded catalogue decoded from memory into a file created with CreateFileA
//    (one file, recreated per entry) and closed, with the CRC-32 of the output. Ours writes
//    through WriteAt in 32768-byte pieces; zlib decodes into a buffer of the entry's size and
//    writes it with one WriteFile (its most favourable use), with zlib's crc32. Both outputs are
//    checked against the archives' CRC-32 and sizes first. Beside them, the same writes without
//    any decoding (each entry's size in WriteAt's pieces, and in one WriteFile): the part of the
//    times above that is Wine's file writing.
// 2. The installation run's parts: a whole InstallWorker run (from the thread's start to
//    WM_SETUP_DONE, a hidden window playing the copy page) into an empty folder, with the time
//    of the last file's progress report (the files are then written but for that last one) and
//    of the report that follows the shortcuts; decoding the catalogue alone (ours, into the NUL
//    device through WriteAt, with the CRC); writing the 318 product files, read from P: into
//    memory first, with CreateFileA and one WriteFile each into another empty folder; and
//    decoding the catalogue into new files in a third folder without the run around it. The
//    run's own machinery is the run's files over the sum of decoding and the plain write.
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
#include "support/bench_clock.h"
#include "support/copy_page_stand_in.h"
#include "support/test_files.h"

namespace {

constexpr int DecodeRounds = 9;
constexpr int CopyRounds = 5;

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
  const double start = NowSeconds();
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
  return NowSeconds() - start;
}

// Writes each entry's size of bytes from memory into target (recreated per entry), as the
// decoder writes (WriteAt pieces) or as zlib's pass does (one WriteFile); returns the seconds.
double WriteWithoutDecoding(bool inPieces, const std::vector<PayloadData>& entries, const char* target,
                            const std::vector<unsigned char>& bytes) {
  const double start = NowSeconds();
  for (const PayloadData& e : entries) {
    HANDLE file = CreateFileA(target, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    bool ok = true;
    if (inPieces) {
      InflateStream.outputFile = file;
      uint32_t offset = 0;
      for (; e.uncompressedSize - offset >= 32768; offset += 32768) ok = ok && WriteAt(bytes.data() + offset, offset, 32768);
      ok = ok && WriteAt(bytes.data() + offset, offset, e.uncompressedSize - offset);
      InflateStream.outputFile = nullptr;
    } else {
      DWORD written = 0;
      ok = WriteFile(file, bytes.data(), e.uncompressedSize, &written, nullptr) && written == e.uncompressedSize;
    }
    CloseHandle(file);
    if (!ok) return -1;
  }
  return NowSeconds() - start;
}

// Writes every product file into folder; returns the seconds taken, or a negative number on a
// failure.
double WritePlain(const std::string& folder, const std::vector<std::string>& contents) {
  const double start = NowSeconds();
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
  return NowSeconds() - start;
}

// Decodes every entry of the catalogue into a new file of its name in folder, without the run
// around it; returns the seconds taken, or a negative number on a failure.
double DecodeIntoFolder(const std::string& folder) {
  const double start = NowSeconds();
  if (!CreateDirectoryA(folder.c_str(), nullptr)) return -1;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    const std::string path = folder + "\\" + GetPayloadEntry(i).fileName;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    const PayloadData e = LocatePayloadData(GetPayloadEntry(i).archive);
    bool ok;
    if (e.method == 0) {
      DWORD written = 0;
      ok = WriteFile(file, e.data, e.length, &written, nullptr) && written == e.length;
    } else {
      InflateStream.input = e.data;
      InflateStream.consumed = 0;
      InflateStream.inputLength = static_cast<int32_t>(e.length);
      InflateStream.outputFile = file;
      ok = InflateEntry() == 1 && InflateStream.outputCrc == e.crc32;
      InflateStream.outputFile = nullptr;
    }
    CloseHandle(file);
    if (!ok) return -1;
  }
  return NowSeconds() - start;
}

// The times of one installation run, from the thread's start.
struct RunTimes {
  double lastFile;    // the last file's progress report: every file but that one written
  double shortcuts;   // the report after the files and the shortcuts ("Updating Registry")
  double done;        // WM_SETUP_DONE, after the registration steps
};

// One installation run into folder; false when the run did not complete.
bool RunCopy(const std::string& folder, RunTimes& times) {
  std::strcpy(SetupState.installFolder, folder.c_str());
  InstallRunScript script;
  script.visible = false;
  InstallRunRecord record = RunInstallWorker(script);
  if (!record.finished || record.done != std::vector<int>{1} || !record.boxes.empty()) return false;
  // One report before each file, then one after the files.
  if (record.progress.size() != PayloadEntryCount + 1) return false;
  times = {record.progress[PayloadEntryCount - 1].seconds, record.progress[PayloadEntryCount].seconds,
           record.secondsToDone};
  return true;
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

  // best[decoder][0] into a file, best[decoder][1] into the NUL device; writesAlone[0] in
  // WriteAt's pieces, [1] in one WriteFile per entry.
  double best[2][2] = {{1e9, 1e9}, {1e9, 1e9}};
  double writesAlone[2] = {1e9, 1e9};
  const std::vector<unsigned char> bytes(largest + 1, 0x5A);
  for (int round = 0; round <= DecodeRounds; ++round) {
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
    for (int pieces = 1; pieces >= 0; --pieces) {
      const double seconds = WriteWithoutDecoding(pieces == 1, entries, target, bytes);
      if (seconds < 0) {
        std::printf("copy_bench: the writes without decoding failed\n");
        return 1;
      }
      if (round > 0) writesAlone[1 - pieces] = std::min(writesAlone[1 - pieces], seconds);
    }
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
  std::printf("  the same writes without decoding: in WriteAt's pieces %.1f ms, one WriteFile per entry %.1f ms\n",
              writesAlone[0] * 1e3, writesAlone[1] * 1e3);
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

  RunTimes best = {1e9, 1e9, 1e9};  // the round whose files took least
  double bestDone = 1e9;
  double bestPlain = 1e9, bestDecode = 1e9, bestIntoFolder = 1e9;
  for (int round = 1; round <= CopyRounds; ++round) {
    std::string copyFolder = "C:\\Bench\\run" + std::to_string(round);
    std::string plainFolder = "C:\\Bench\\plain" + std::to_string(round);
    std::string decodedFolder = "C:\\Bench\\decoded" + std::to_string(round);
    RunTimes times = {};
    const bool copied = RunCopy(copyFolder, times);
    const double decode = DecodePass(Decoder::Ours, entries, "NUL", noPeer, true);
    const double plain = WritePlain(plainFolder, contents);
    const double intoFolder = DecodeIntoFolder(decodedFolder);
    if (!copied || decode < 0 || plain < 0 || intoFolder < 0) {
      std::printf("copy_bench: round %d failed (%s)\n", round,
                  !copied ? "copy run" : decode < 0 ? "decode" : plain < 0 ? "plain write" : "decoding into files");
      return 1;
    }
    std::printf("round %d: copy run %.3f s (files %.3f s), decode %.3f s, plain write %.3f s, decoding into files %.3f s\n",
                round, times.done, times.lastFile, decode, plain, intoFolder);
    if (times.lastFile < best.lastFile) best = times;
    bestDone = std::min(bestDone, times.done);
    bestDecode = std::min(bestDecode, decode);
    bestPlain = std::min(bestPlain, plain);
    bestIntoFolder = std::min(bestIntoFolder, intoFolder);
    RemoveFolder(copyFolder);
    RemoveFolder(plainFolder);
    RemoveFolder(decodedFolder);
  }
  std::printf("== Installation run under Wine: %d files, %.1f MB installed; elapsed, best of %d\n", PayloadEntryCount,
              megabytes, CopyRounds);
  const uint32_t lastSize = GetPayloadEntry(PayloadEntryCount - 1).installedSize;
  std::printf("  copy run (InstallWorker to WM_SETUP_DONE):  %.3f s\n", bestDone);
  std::printf("    its files (to the last file's report; that file has %u bytes): %.3f s  %6.1f MB/s\n", lastSize,
              best.lastFile, megabytes / best.lastFile);
  std::printf("    after them in that round: the shortcuts, to \"Updating Registry\", %.3f s; the registration\n"
              "    steps %.3f s\n",
              best.shortcuts - best.lastFile, best.done - best.shortcuts);
  std::printf("  decode only (to NUL through WriteAt, CRC):  %.3f s  %6.1f MB/s\n", bestDecode, megabytes / bestDecode);
  std::printf("  plain write of the same files:              %.3f s  %6.1f MB/s\n", bestPlain, megabytes / bestPlain);
  std::printf("  decoding into new files, without the run:   %.3f s  %6.1f MB/s\n", bestIntoFolder,
              megabytes / bestIntoFolder);
  std::printf("ratio copy run's files / (decode + plain write): %.2f (goal: at most 1.10)\n",
              best.lastFile / (bestDecode + bestPlain));
  std::printf("ratio whole copy run / (decode + plain write):   %.2f\n", bestDone / (bestDecode + bestPlain));
  std::printf("ratio decoding into new files / (decode + plain write): %.2f\n",
              bestIntoFolder / (bestDecode + bestPlain));
  return 0;
}

}  // namespace

// "copy_bench decoders" runs only the first comparison, "copy_bench run" only the second (the
// 64-bit build's: its decoder is not the product's).
int main(int argc, char** argv) {
  CreateDirectoryA("C:\\Bench", nullptr);
  const char* only = argc > 1 ? argv[1] : "";
  if (std::strcmp(only, "run") != 0 && CompareDecoders() != 0) return 1;
  if (std::strcmp(only, "decoders") == 0) return 0;
  return CompareCopyRun();
}
