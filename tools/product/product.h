// Content generation for the default product's files (make-product). Every generator is a pure
// function of the file's name and size: the same manifest always gives the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/little_endian.h"  // Put16, Put32

using Bytes = std::vector<uint8_t>;

// splitmix64: small, fast, and good enough to drive content statistics.
struct Rng {
  uint64_t state;
  uint64_t Next();
  uint32_t Below(uint32_t n);               // uniform in 0 .. n - 1 (n > 0)
  uint32_t Range(uint32_t lo, uint32_t hi);  // uniform in lo .. hi inclusive
  bool PerMille(uint32_t chance);           // true with probability chance / 1000
  uint32_t Skewed(uint32_t n);              // 0 .. n - 1, probability roughly 1 / (rank + 1)
};
// A generator seeded from a name (case-insensitive) and a salt that tells its uses apart.
Rng SeedFrom(const std::string& name, uint64_t salt);

void Put8(Bytes& out, uint32_t v);
void Patch16(Bytes& out, size_t at, uint32_t v);
void Patch32(Bytes& out, size_t at, uint32_t v);
void PutAscii(Bytes& out, const std::string& text, bool terminate);
void PutUtf16(Bytes& out, const std::string& text, bool terminate);
void PutRandom(Rng& rng, Bytes& out, size_t count);  // incompressible bytes
void PadTo(Bytes& out, size_t alignment, uint8_t fill);
// Cuts out to size or extends it with fill.
void FitTo(Bytes& out, size_t size, uint8_t fill);

// Text with the word statistics of program documentation and user-interface strings.
std::string Word(Rng& rng);
std::string Sentence(Rng& rng);                  // capitalised, ends in '.'
std::string Phrase(Rng& rng, int words);         // capitalised, no full stop (captions, menus)
std::string Identifier(Rng& rng);                // "GetArchiveFolder"
std::string Capitalised(const std::string& word);

// A catalogue entry's kind of content, from the manifest's recipe column.
enum class Recipe {
  App, Console, Sfx, Library, Control, Codepage, Langpack, Media, Driver,  // PE images
  Vxd, Help, Rtf, Ini, Text, Inf, Tips, Typelib, Icon, Pif, Lnk
};
bool RecipeFor(const std::string& recipe, Recipe& out);

// Generates a file of exactly size bytes.
Bytes MakeFile(const std::string& name, uint32_t size, Recipe recipe);

// Per-format generators (each returns exactly size bytes).
Bytes MakePeImage(const std::string& name, uint32_t size, Recipe recipe);  // pe_image.cpp
Bytes MakeVxd(const std::string& name, uint32_t size);                     // small_formats.cpp
Bytes MakeIcon(const std::string& name, uint32_t size);
Bytes MakeShellLink(const std::string& name, uint32_t size);
Bytes MakePif(const std::string& name, uint32_t size);
Bytes MakeTypeLibrary(const std::string& name, uint32_t size);
Bytes MakeHelpFile(const std::string& name, uint32_t size);  // text_files.cpp
Bytes MakeRtf(const std::string& name, uint32_t size);
Bytes MakeIni(const std::string& name, uint32_t size);
Bytes MakeText(const std::string& name, uint32_t size);
Bytes MakeInf(const std::string& name, uint32_t size);
Bytes MakeTips(const std::string& name, uint32_t size);

// An icon image (BITMAPINFOHEADER, palette, XOR and AND bitmaps) of a simple drawn picture,
// width x width pixels at 4 or 8 bits per pixel. Shared by icons and PE resources.
Bytes DrawIconImage(Rng& rng, int width, int bitsPerPixel);
