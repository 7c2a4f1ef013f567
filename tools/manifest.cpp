#include "tools/manifest.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace {

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Names are kept to letters, digits, '.' and '-': with these, lower-casing and upper-casing
// comparisons order them the same way, so any case-insensitive reader agrees with the tables.
bool IsPlainName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool NameLessNoCase(const std::string& a, const std::string& b) { return Lower(a) < Lower(b); }

bool ReadManifest(const char* path, std::vector<ManifestEntry>& entries) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "%s: cannot open\n", path);
    return false;
  }
  std::set<std::string> seen;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream fields(line);
    ManifestEntry entry;
    std::string size, origin, extra;
    if (!(fields >> entry.name)) continue;  // blank or comment
    const bool complete = static_cast<bool>(fields >> size >> entry.recipe >> origin) && !(fields >> extra);
    char* end = nullptr;
    const unsigned long long value = complete ? std::strtoull(size.c_str(), &end, 10) : 0;
    if (!complete || end == size.c_str() || *end != '\0' || value == 0 || value > 0xFFFFFFFFull ||
        (origin != "gen" && origin != "program") || !IsPlainName(entry.name) ||
        !seen.insert(Lower(entry.name)).second) {
      std::fprintf(stderr, "%s:%d: bad manifest line\n", path, number);
      return false;
    }
    entry.size = static_cast<uint32_t>(value);
    entry.program = origin == "program";
    entries.push_back(entry);
  }
  return true;
}
