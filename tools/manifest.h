// The product manifest (payload/manifest.txt): one line per installed file,
//   name size recipe origin
// with '#' comments and blank lines ignored. Shared by make-product and pack-catalogue.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ManifestEntry {
  std::string name;    // installed file name, letter case as installed
  uint32_t size;       // installed size in bytes
  std::string recipe;  // content kind for make-product
  bool program;        // origin "program": may be replaced by a real program (see make-product)
};

// Reads the manifest at path into entries, in file order. Returns false and prints the line at
// fault to stderr on any malformed line, an unknown origin, a name with characters other than
// letters, digits, '.' and '-', or a name that repeats another without regard to case.
bool ReadManifest(const char* path, std::vector<ManifestEntry>& entries);

// Orders names as the catalogue does: bytewise after ASCII lower-casing.
bool NameLessNoCase(const std::string& a, const std::string& b);
