// inflate_bench PAYLOAD_DIR: decodes every archive in PAYLOAD_DIR/archives/*.zip with the setup
// program's decoder, zlib's inflate and libdeflate, and prints each one's speed in MB/s of
// output (10^6 bytes per second) and the ratios. Then the same for about 64 MiB of files that
// this project did not make: the system's own programs, libraries and text (the first files
// in path order under /usr/bin, /usr/lib and /usr/include, a third each), each compressed here
// with zlib at level 9, so that the figures cannot be tuned to our product generator.
//
// Every decoder does the installer's whole job per entry: create the output file, decode the
// compressed bytes from memory, write the file, compute the CRC-32 of what was written, close.
// Ours writes through WriteAt in 32768-byte pieces; zlib and libdeflate decode into a buffer
// of the entry's size and write it with one call (their most favourable use), with zlib's
// crc32 and libdeflate_crc32. The peers are also timed without the CRC, and all three once
// more writing to /dev/null, which leaves the decoding alone. Time is the CPU time of this
// thread (user and system), which other programs on a busy machine do not inflate; each figure
// is the best of several rounds, and the decoders take turns within each round. Every output
// is checked against the archive's CRC-32 and size first.
#include <dirent.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "inflate/inflate.h"

namespace {

struct Entry {
  std::string name;
  std::vector<uint8_t> archive;
  const uint8_t* data;  // raw DEFLATE bytes
  uint32_t length;
  uint32_t crc;
  uint32_t size;
};

uint32_t Read16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t Read32(const uint8_t* p) { return Read16(p) | Read16(p + 2) << 16; }

bool LoadArchives(const std::string& folder, std::vector<Entry>& entries) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  std::vector<std::string> names;
  while (dirent* d = readdir(dir)) {
    const std::string name = d->d_name;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".zip") == 0) names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    Entry e;
    e.name = name;
    FILE* f = std::fopen((folder + "/" + name).c_str(), "rb");
    if (f == nullptr) return false;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) e.archive.insert(e.archive.end(), chunk, chunk + got);
    std::fclose(f);
    const uint8_t* a = e.archive.data();
    if (e.archive.size() < 30 || Read32(a) != 0x04034B50) {
      std::fprintf(stderr, "inflate_bench: %s has no local header\n", name.c_str());
      return false;
    }
    const size_t start = 30 + Read16(a + 26) + Read16(a + 28);
    e.length = Read32(a + 18);
    if (Read16(a + 8) != 8 || start + e.length > e.archive.size()) {
      std::fprintf(stderr, "inflate_bench: %s is not a DEFLATE entry\n", name.c_str());
      return false;
    }
    e.crc = Read32(a + 14);
    e.size = Read32(a + 22);
    entries.push_back(std::move(e));
  }
  for (Entry& e : entries) e.data = e.archive.data() + 30 + Read16(e.archive.data() + 26) + Read16(e.archive.data() + 28);
  return !entries.empty();
}

// Regular files under folder (recursively, in path order) of 1 KiB to 8 MiB, appended to paths
// until their sizes reach quota bytes; returns the bytes taken.
uint64_t CollectFiles(const std::string& folder, uint64_t quota, std::vector<std::string>& paths) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  std::vector<std::string> names;
  while (dirent* d = readdir(dir)) {
    const std::string name = d->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  uint64_t taken = 0;
  for (const std::string& name : names) {
    if (taken >= quota) break;
    const std::string path = folder + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      taken += CollectFiles(path, quota - taken, paths);
    } else if (S_ISREG(st.st_mode) && st.st_size >= 1024 && st.st_size <= (8 << 20) && access(path.c_str(), R_OK) == 0) {
      paths.push_back(path);
      taken += static_cast<uint64_t>(st.st_size);
    }
  }
  return taken;
}

// The system's files as raw DEFLATE streams, compressed at level 9 (as the catalogue is).
bool LoadSystemFiles(std::vector<Entry>& entries) {
  constexpr uint64_t Total = 64ull << 20;
  const char* folders[] = {"/usr/bin", "/usr/lib", "/usr/include"};
  std::vector<std::string> paths;
  uint64_t taken = 0;
  for (int i = 0; i < 3; ++i) taken += CollectFiles(folders[i], (Total - taken) / (3 - i), paths);
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  for (const std::string& path : paths) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) continue;
    std::vector<uint8_t> contents;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) contents.insert(contents.end(), chunk, chunk + got);
    std::fclose(f);
    Entry e;
    e.name = path;
    e.archive.resize(deflateBound(&z, contents.size()));
    deflateReset(&z);
    z.next_in = contents.data();
    z.avail_in = static_cast<uInt>(contents.size());
    z.next_out = e.archive.data();
    z.avail_out = static_cast<uInt>(e.archive.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) return false;
    e.archive.resize(z.total_out);
    e.length = static_cast<uint32_t>(z.total_out);
    e.size = static_cast<uint32_t>(contents.size());
    e.crc = static_cast<uint32_t>(crc32(0, contents.data(), static_cast<uInt>(contents.size())));
    entries.push_back(std::move(e));
  }
  deflateEnd(&z);
  for (Entry& e : entries) e.data = e.archive.data();
  return !entries.empty();
}

enum class Decoder { Ours, Zlib, ZlibNoCrc, Libdeflate, LibdeflateNoCrc };

struct Peers {
  z_stream zlib{};
  libdeflate_decompressor* libdeflate = nullptr;
  std::vector<uint8_t> buffer;
};

// Decodes one entry into fd; returns the CRC-32 of the output (0 when not computed), or sets
// failed.
uint32_t DecodeOne(Decoder decoder, const Entry& e, int fd, Peers& peers, bool& failed) {
  uint8_t* out = peers.buffer.data();
  uint32_t crc = 0;
  switch (decoder) {
    case Decoder::Ours: {
      InflateStream.input = e.data;
      InflateStream.consumed = 0;
      InflateStream.inputLength = static_cast<int32_t>(e.length);
      InflateStream.outputFile = reinterpret_cast<OutputFileHandle>(static_cast<intptr_t>(fd));
      if (!InflateEntry() || InflateStream.outputSize != e.size) failed = true;
      return InflateStream.outputCrc;
    }
    case Decoder::Zlib:
    case Decoder::ZlibNoCrc: {
      z_stream& z = peers.zlib;
      inflateReset(&z);
      z.next_in = const_cast<Bytef*>(e.data);
      z.avail_in = e.length;
      z.next_out = out;
      z.avail_out = e.size;
      if (inflate(&z, Z_FINISH) != Z_STREAM_END || z.total_out != e.size) failed = true;
      if (decoder == Decoder::Zlib) crc = static_cast<uint32_t>(crc32(0, out, e.size));
      break;
    }
    case Decoder::Libdeflate:
    case Decoder::LibdeflateNoCrc: {
      size_t actual = 0;
      if (libdeflate_deflate_decompress(peers.libdeflate, e.data, e.length, out, e.size, &actual) !=
              LIBDEFLATE_SUCCESS ||
          actual != e.size)
        failed = true;
      if (decoder == Decoder::Libdeflate) crc = libdeflate_crc32(0, out, e.size);
      break;
    }
  }
  if (write(fd, out, e.size) != static_cast<ssize_t>(e.size)) failed = true;
  return crc;
}

double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One pass over the catalogue; returns seconds, or a negative value on any failure.
double RunPass(Decoder decoder, const std::vector<Entry>& entries, const std::string& target, Peers& peers,
               bool verify) {
  const bool toNull = target == "/dev/null";
  const double start = ThreadSeconds();
  for (const Entry& e : entries) {
    const int fd = toNull ? open(target.c_str(), O_WRONLY) : open(target.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return -1;
    bool failed = false;
    const uint32_t crc = DecodeOne(decoder, e, fd, peers, failed);
    close(fd);
    const bool computesCrc = decoder != Decoder::ZlibNoCrc && decoder != Decoder::LibdeflateNoCrc;
    if (failed || (verify && computesCrc && crc != e.crc)) {
      std::fprintf(stderr, "inflate_bench: %s decoded wrongly by decoder %d\n", e.name.c_str(),
                   static_cast<int>(decoder));
      return -1;
    }
  }
  return ThreadSeconds() - start;
}

// Times every decoder on entries and prints the figures under title.
int Bench(const char* title, const std::vector<Entry>& entries, const std::string& outFile) {
  uint64_t totalOut = 0, totalIn = 0;
  uint32_t largest = 0;
  for (const Entry& e : entries) {
    totalOut += e.size;
    totalIn += e.length;
    largest = std::max(largest, e.size);
  }

  Peers peers;
  peers.buffer.resize(largest + 1);
  if (inflateInit2(&peers.zlib, -15) != Z_OK) return 2;
  peers.libdeflate = libdeflate_alloc_decompressor();

  struct Row {
    const char* label;
    Decoder decoder;
    std::string target;
    double best;
  };
  Row rows[] = {
      {"ours (WriteAt pieces, CRC)", Decoder::Ours, outFile, 1e9},
      {"zlib inflate + crc32", Decoder::Zlib, outFile, 1e9},
      {"libdeflate + crc32", Decoder::Libdeflate, outFile, 1e9},
      {"zlib inflate, no CRC", Decoder::ZlibNoCrc, outFile, 1e9},
      {"libdeflate, no CRC", Decoder::LibdeflateNoCrc, outFile, 1e9},
      {"ours to /dev/null (CRC)", Decoder::Ours, "/dev/null", 1e9},
      {"zlib + crc32 to /dev/null", Decoder::Zlib, "/dev/null", 1e9},
      {"libdeflate + crc32 to /dev/null", Decoder::Libdeflate, "/dev/null", 1e9},
  };
  for (Row& row : rows)
    if (RunPass(row.decoder, entries, row.target, peers, true) < 0) return 1;
  constexpr int Rounds = 9;
  for (int round = 0; round < Rounds; ++round)
    for (Row& row : rows) {
      const double seconds = RunPass(row.decoder, entries, row.target, peers, false);
      if (seconds < 0) return 1;
      row.best = std::min(row.best, seconds);
    }
  unlink(outFile.c_str());
  inflateEnd(&peers.zlib);
  libdeflate_free_decompressor(peers.libdeflate);

  std::printf("%s: %zu entries, %llu bytes compressed, %llu bytes decoded; CPU time, best of %d rounds\n", title,
              entries.size(), static_cast<unsigned long long>(totalIn), static_cast<unsigned long long>(totalOut),
              Rounds);
  for (const Row& row : rows)
    std::printf("  %-34s %8.1f MB/s  (%.1f ms)\n", row.label, totalOut / row.best / 1e6, row.best * 1e3);
  std::printf("ratio ours/zlib:       %.2f  (to /dev/null %.2f; goal: at least 1.70 to a file)\n",
              rows[1].best / rows[0].best, rows[6].best / rows[5].best);
  std::printf("ratio ours/libdeflate: %.2f  (to /dev/null %.2f; goal: at least 0.90 to a file)\n",
              rows[2].best / rows[0].best, rows[7].best / rows[5].best);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: inflate_bench PAYLOAD_DIR\n");
    return 2;
  }
  std::vector<Entry> catalogue;
  if (!LoadArchives(std::string(argv[1]) + "/archives", catalogue)) {
    std::fprintf(stderr, "inflate_bench: no archives in %s/archives\n", argv[1]);
    return 2;
  }
  const std::string outFile = std::string(argv[1]) + "/inflate_bench.out";
  if (int result = Bench("catalogue", catalogue, outFile); result != 0) return result;
  catalogue.clear();

  std::vector<Entry> system;
  if (!LoadSystemFiles(system)) {
    std::fprintf(stderr, "inflate_bench: cannot read the system's files\n");
    return 2;
  }
  return Bench("system files (/usr/bin, /usr/lib, /usr/include; zlib level 9)", system, outFile);
}
