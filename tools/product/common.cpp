// Random numbers, byte output and the text vocabulary shared by the content generators.
#include <cstring>

#include "tools/product/product.h"

uint64_t Rng::Next() {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint32_t Rng::Below(uint32_t n) { return static_cast<uint32_t>(((Next() >> 32) * n) >> 32); }

uint32_t Rng::Range(uint32_t lo, uint32_t hi) { return lo + Below(hi - lo + 1); }

bool Rng::PerMille(uint32_t chance) { return Below(1000) < chance; }

// Log-uniform rank in integers only (the same bytes on every machine): an octave
// [2^k - 1, 2^(k+1) - 1) chosen uniformly, then a rank uniformly inside it, so that
// P(rank) is close to 1 / (rank + 1), the shape of word and opcode frequencies.
uint32_t Rng::Skewed(uint32_t n) {
  uint32_t octaves = 0;
  while (octaves < 31 && (1u << octaves) <= n) ++octaves;
  for (;;) {
    const uint32_t k = Below(octaves);
    const uint32_t rank = (1u << k) - 1 + Below(1u << k);
    if (rank < n) return rank;
  }
}

Rng SeedFrom(const std::string& name, uint64_t salt) {
  uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    h = (h ^ u) * 0x100000001B3ull;
  }
  Rng rng{h ^ (salt * 0x9E3779B97F4A7C15ull)};
  rng.Next();
  return rng;
}

void Put8(Bytes& out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }
void Patch16(Bytes& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Patch32(Bytes& out, size_t at, uint32_t v) {
  Patch16(out, at, v & 0xFFFF);
  Patch16(out, at + 2, v >> 16);
}
void PutAscii(Bytes& out, const std::string& text, bool terminate) {
  out.insert(out.end(), text.begin(), text.end());
  if (terminate) out.push_back(0);
}
void PutUtf16(Bytes& out, const std::string& text, bool terminate) {
  for (char c : text) Put16(out, static_cast<unsigned char>(c));
  if (terminate) Put16(out, 0);
}
void PutRandom(Rng& rng, Bytes& out, size_t count) {
  for (size_t i = 0; i < count; i += 8) {
    const uint64_t v = rng.Next();
    for (size_t k = 0; k < 8 && i + k < count; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
}
void PadTo(Bytes& out, size_t alignment, uint8_t fill) {
  while (out.size() % alignment != 0) out.push_back(fill);
}
void FitTo(Bytes& out, size_t size, uint8_t fill) { out.resize(size, fill); }

namespace {

// Most frequent first: Word() picks by rank.
constexpr const char* kWords[] = {
    "the", "file", "to", "of", "a", "and", "is", "in", "folder", "archive", "for", "you", "this", "be",
    "files", "can", "on", "with", "not", "or", "are", "name", "select", "click", "from", "that", "if",
    "option", "by", "as", "will", "it", "list", "window", "all", "an", "selected", "use", "when", "new",
    "view", "dialog", "box", "button", "drive", "menu", "copy", "open", "settings", "which", "data",
    "entry", "path", "type", "text", "one", "your", "each", "command", "error", "server", "display",
    "current", "size", "date", "default", "program", "set", "connection", "panel", "have", "into",
    "shown", "format", "network", "see", "more", "same", "tree", "extract", "add", "viewer", "options",
    "changes", "only", "may", "information", "directory", "then", "other", "following", "these",
    "user", "first", "number", "before", "also", "any", "press", "key", "site", "tab", "right", "left",
    "Tarnwick", "toolbar", "field", "mode", "search", "does", "used", "compressed", "source", "target",
    "transfer", "password", "disk", "space", "check", "enter", "create", "delete", "move", "rename",
    "attributes", "time", "value", "line", "page", "properties", "after", "filter", "mask", "sort",
    "order", "column", "columns", "icon", "icons", "status", "bar", "shortcut", "keyboard", "mouse",
    "drag", "drop", "pane", "both", "between", "compare", "synchronize", "contents", "find", "results",
    "there", "must", "should", "than", "where", "its", "they", "their", "has", "been", "was", "no",
    "without", "under", "while", "local", "remote", "upload", "download", "FTP", "ZIP", "volume",
    "label", "free", "bytes", "kilobytes", "total", "items", "item", "already", "exists", "replace",
    "overwrite", "confirm", "cancel", "continue", "retry", "skip", "failed", "cannot", "could",
    "unable", "invalid", "access", "denied", "read", "write", "only", "hidden", "system", "temporary",
    "backup", "restore", "schedule", "task", "report", "print", "printer", "preview", "image", "sound",
    "document", "editor", "hex", "binary", "character", "set", "code", "page", "language", "version",
    "update", "patch", "install", "setup", "register", "registration", "license", "trial", "days",
    "help", "topic", "index", "contents", "tip", "wizard", "step", "next", "back", "finish", "welcome",
    "track", "album", "artist", "title", "playlist", "gauge", "usage", "chart", "percent", "largest",
    "smallest", "oldest", "newest", "duplicate", "duplicates", "encrypt", "decrypt", "key", "split",
    "join", "parts", "checksum", "verify", "integrity", "damaged", "repair", "recover", "wipe",
    "securely", "overwritten", "passes", "pattern", "wildcard", "expression", "match", "case",
    "sensitive", "whole", "words", "subfolders", "include", "exclude", "hidden", "size", "older",
    "newer", "than", "history", "favorites", "bookmarks", "address", "port", "proxy", "firewall",
    "passive", "ascii", "timeout", "seconds", "minutes", "hours", "retries", "queue", "background",
    "foreground", "priority", "thread", "memory", "buffer", "cache", "temporary", "log", "trace",
    "plug-in", "plug-ins", "module", "modules", "extension", "extensions", "association", "shell",
    "context", "explorer", "desktop", "start", "taskbar", "tray", "notification", "sound", "beep",
};
constexpr uint32_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

constexpr const char* kVerbs[] = {"Get", "Set", "Read", "Write", "Open", "Close", "Create", "Delete",
                                  "Find", "Load", "Save", "Update", "Init", "Free", "Copy", "Move",
                                  "Query", "Enum", "Show", "Hide", "Draw", "Parse", "Build", "Check"};
constexpr const char* kNouns[] = {"Archive", "Folder", "File", "Entry", "Item", "List", "Tree", "View",
                                  "Window", "Dialog", "Path", "Name", "Buffer", "Stream", "Header",
                                  "Index", "Column", "Filter", "Site", "Session", "Volume", "Drive",
                                  "Track", "Option", "Setting", "Key", "Value", "Text", "Image", "Cache"};

}  // namespace

std::string Word(Rng& rng) { return kWords[rng.Skewed(kWordCount)]; }

std::string Capitalised(const std::string& word) {
  std::string out = word;
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

std::string Phrase(Rng& rng, int words) {
  std::string out = Capitalised(Word(rng));
  for (int i = 1; i < words; ++i) out += " " + Word(rng);
  return out;
}

std::string Sentence(Rng& rng) {
  std::string out = Phrase(rng, static_cast<int>(rng.Range(5, 16)));
  if (rng.PerMille(150)) {
    out += ", " + Word(rng) + " " + Word(rng) + " " + Word(rng);
  }
  return out + ".";
}

std::string Identifier(Rng& rng) {
  std::string out = kVerbs[rng.Skewed(sizeof(kVerbs) / sizeof(kVerbs[0]))];
  out += kNouns[rng.Skewed(sizeof(kNouns) / sizeof(kNouns[0]))];
  if (rng.PerMille(300)) out += kNouns[rng.Below(sizeof(kNouns) / sizeof(kNouns[0]))];
  return out;
}

bool RecipeFor(const std::string& recipe, Recipe& out) {
  struct Row { const char* name; Recipe recipe; };
  static const Row rows[] = {
      {"app", Recipe::App},       {"console", Recipe::Console},   {"sfx", Recipe::Sfx},
      {"library", Recipe::Library}, {"control", Recipe::Control}, {"codepage", Recipe::Codepage},
      {"langpack", Recipe::Langpack}, {"media", Recipe::Media},   {"driver", Recipe::Driver},
      {"vxd", Recipe::Vxd},       {"help", Recipe::Help},         {"rtf", Recipe::Rtf},
      {"ini", Recipe::Ini},       {"text", Recipe::Text},         {"inf", Recipe::Inf},
      {"tips", Recipe::Tips},     {"typelib", Recipe::Typelib},   {"icon", Recipe::Icon},
      {"pif", Recipe::Pif},       {"lnk", Recipe::Lnk},
  };
  for (const Row& row : rows) {
    if (recipe == row.name) {
      out = row.recipe;
      return true;
    }
  }
  return false;
}

Bytes MakeFile(const std::string& name, uint32_t size, Recipe recipe) {
  Bytes out;
  switch (recipe) {
    case Recipe::App: case Recipe::Console: case Recipe::Sfx: case Recipe::Library:
    case Recipe::Control: case Recipe::Codepage: case Recipe::Langpack: case Recipe::Media:
    case Recipe::Driver: out = MakePeImage(name, size, recipe); break;
    case Recipe::Vxd: out = MakeVxd(name, size); break;
    case Recipe::Help: out = MakeHelpFile(name, size); break;
    case Recipe::Rtf: out = MakeRtf(name, size); break;
    case Recipe::Ini: out = MakeIni(name, size); break;
    case Recipe::Text: out = MakeText(name, size); break;
    case Recipe::Inf: out = MakeInf(name, size); break;
    case Recipe::Tips: out = MakeTips(name, size); break;
    case Recipe::Typelib: out = MakeTypeLibrary(name, size); break;
    case Recipe::Icon: out = MakeIcon(name, size); break;
    case Recipe::Pif: out = MakePif(name, size); break;
    case Recipe::Lnk: out = MakeShellLink(name, size); break;
  }
  FitTo(out, size, 0);
  return out;
}
