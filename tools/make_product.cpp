// make-product MANIFEST OUTDIR [PROGRAMS]
//
// Writes every file of the manifest into OUTDIR, generated from its name, size and recipe
// (tools/product/). Entries whose origin is "program" are taken from the folder PROGRAMS when
// it is given and holds a file of that name: a real program built from our sources, padded to
// the manifest size with the generated content's tail (so the catalogue's compressed size
// barely changes). Files in OUTDIR that the manifest does not list are removed.
// Exit status 0 on success, 1 on any failure (message on stderr).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "tools/manifest.h"
#include "tools/product/product.h"

namespace fs = std::filesystem;

namespace {

bool ReadWhole(const fs::path& path, Bytes& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteWhole(const fs::path& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: make-product MANIFEST OUTDIR [PROGRAMS]\n");
    return 1;
  }
  std::vector<ManifestEntry> entries;
  if (!ReadManifest(argv[1], entries)) return 1;
  const fs::path outDir = argv[2];
  std::error_code error;
  fs::create_directories(outDir, error);
  if (error) {
    std::fprintf(stderr, "%s: %s\n", argv[2], error.message().c_str());
    return 1;
  }
  std::set<std::string> listed;
  for (const ManifestEntry& entry : entries) {
    listed.insert(entry.name);
    Recipe recipe;
    if (!RecipeFor(entry.recipe, recipe)) {
      std::fprintf(stderr, "%s: unknown recipe \"%s\"\n", entry.name.c_str(), entry.recipe.c_str());
      return 1;
    }
    Bytes content = MakeFile(entry.name, entry.size, recipe);
    if (entry.program && argc == 4 && fs::exists(fs::path(argv[3]) / entry.name)) {
      Bytes program;
      if (!ReadWhole(fs::path(argv[3]) / entry.name, program)) {
        std::fprintf(stderr, "%s: cannot read the program\n", entry.name.c_str());
        return 1;
      }
      if (program.size() > entry.size) {
        std::fprintf(stderr, "%s: the program has %zu bytes, more than the manifest's %u\n", entry.name.c_str(),
                     program.size(), entry.size);
        return 1;
      }
      std::copy(program.begin(), program.end(), content.begin());
    }
    if (content.size() != entry.size) {
      std::fprintf(stderr, "%s: generated %zu bytes instead of %u\n", entry.name.c_str(), content.size(), entry.size);
      return 1;
    }
    if (!WriteWhole(outDir / entry.name, content)) {
      std::fprintf(stderr, "%s: cannot write\n", (outDir / entry.name).c_str());
      return 1;
    }
  }
  for (const auto& item : fs::directory_iterator(outDir, error)) {
    if (!listed.count(item.path().filename().string())) fs::remove_all(item.path(), error);
  }
  return 0;
}
