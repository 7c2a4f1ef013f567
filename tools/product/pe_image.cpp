// Generated Win32 PE images (programs, libraries, controls, drivers): a DOS stub, PE headers and
// the usual sections of a 1999 linker (.text, .rdata, .data, .rsrc, .reloc) in 512-byte file
// alignment, with real import and export directories, relocations and resources. The images are
// structurally valid and harmless: a program's entry point calls ExitProcess(0), a library's entry
// point returns TRUE, a driver's returns an error, and no library exports a Dll* entry point, so
// nothing generated is ever run beyond those few instructions.
#include <algorithm>

#include "tools/product/api_names.h"
#include "tools/product/pe_parts.h"

namespace {

constexpr uint32_t kFileAlign = 0x200, kSectionAlign = 0x1000, kHeaderSize = 0x400;

uint32_t AlignUp(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

// Shares of the body (per mille) before jitter; the rest goes to .rsrc and .reloc.
struct Profile {
  uint32_t text, rdata, data;
  bool dll, relocs;
  uint16_t subsystem;      // 1 native, 2 GUI, 3 console
  uint32_t repeatPerMille;  // code idiom reuse
};

Profile ProfileFor(Recipe recipe) {
  switch (recipe) {
    case Recipe::App: return {560, 120, 80, false, false, 2, 60};
    case Recipe::Console: return {640, 160, 120, false, false, 3, 60};
    case Recipe::Sfx: return {50, 15, 15, false, false, 2, 60};
    case Recipe::Library: return {600, 130, 80, true, true, 2, 60};
    case Recipe::Control: return {500, 140, 80, true, true, 2, 60};
    case Recipe::Codepage: return {80, 40, 780, true, true, 2, 60};
    case Recipe::Langpack: return {0, 0, 0, true, false, 2, 0};
    case Recipe::Media: return {120, 30, 30, true, true, 2, 60};
    case Recipe::Driver: return {700, 80, 60, false, true, 1, 60};
    default: return {600, 130, 80, true, true, 2, 60};
  }
}

struct Layout {
  uint32_t imageBase;
  uint32_t textRva, rdataRva, dataRva, rsrcRva, relocRva;
  uint32_t textRaw, rdataRaw, dataRaw, rsrcRaw, relocRaw;
  uint32_t dataVirtual;
};

// ---- .rdata: import address table, string literals, constants, export and import directories.

struct Rdata {
  Bytes bytes;
  std::vector<uint32_t> importSlots;  // VAs
  std::vector<uint32_t> strings;      // VAs
  uint32_t iatSize = 0, importRva = 0, importSize = 0, exportRva = 0, exportSize = 0;
  std::vector<size_t> exportFunctionOffsets;  // offsets in bytes of the export address table entries
};

std::string StringLiteral(Rng& rng, const std::string& stem) {
  switch (rng.Below(9)) {
    case 0: return "Software\\KELM\\Tarnwick\\CurrentVersion\\" + Capitalised(Word(rng));
    case 1: return "%s\\%s";
    case 2: return Capitalised(Word(rng)) + ": %s (%d)";
    case 3: return stem + " " + Phrase(rng, 2);
    case 4: return "*." + Word(rng).substr(0, 3);
    case 5: return Identifier(rng);
    case 6: return "TW" + Identifier(rng) + "Class";
    default: return Sentence(rng);
  }
}

Bytes ImportStructures(const std::vector<ImportedLibrary>& imports, uint32_t at, uint32_t iatRva,
                       Rdata& r, bool writeIat) {
  // Descriptors, then lookup tables, then hint/name entries, then library names.
  size_t slots = 0;
  for (const auto& lib : imports) slots += lib.functions.size() + 1;
  const uint32_t descriptors = at;
  const uint32_t lookup = descriptors + 20 * static_cast<uint32_t>(imports.size() + 1);
  uint32_t names = lookup + 4 * static_cast<uint32_t>(slots);
  Bytes hintNames, libraryNames, lookupTables, out;
  std::vector<uint32_t> libraryNameOffsets;
  uint32_t slot = 0;
  for (const auto& lib : imports) {
    for (const char* f : lib.functions) {
      const uint32_t rva = names + static_cast<uint32_t>(hintNames.size());
      Put32(lookupTables, rva);
      if (writeIat) Patch32(r.bytes, 4 * slot, rva);
      ++slot;
      Put16(hintNames, static_cast<uint32_t>(hintNames.size() / 7) & 0x3FF);
      PutAscii(hintNames, f, true);
      PadTo(hintNames, 2, 0);
    }
    Put32(lookupTables, 0);
    ++slot;
  }
  const uint32_t libraryNamesRva = names + static_cast<uint32_t>(hintNames.size());
  slot = 0;
  for (const auto& lib : imports) {
    Put32(out, lookup + 4 * slot);                                             // OriginalFirstThunk
    Put32(out, 0);                                                              // time stamp
    Put32(out, 0);                                                              // forwarder chain
    Put32(out, libraryNamesRva + static_cast<uint32_t>(libraryNames.size()));  // Name
    Put32(out, iatRva + 4 * slot);                                              // FirstThunk
    PutAscii(libraryNames, lib.name, true);
    slot += static_cast<uint32_t>(lib.functions.size() + 1);
  }
  for (int i = 0; i < 20; ++i) Put8(out, 0);
  out.insert(out.end(), lookupTables.begin(), lookupTables.end());
  out.insert(out.end(), hintNames.begin(), hintNames.end());
  out.insert(out.end(), libraryNames.begin(), libraryNames.end());
  PadTo(out, 4, 0);
  return out;
}

Bytes ExportStructures(const std::vector<std::string>& functions, const std::string& moduleName,
                       uint32_t at, uint32_t timeStamp, Rdata& r, size_t offsetInRdata) {
  const uint32_t n = static_cast<uint32_t>(functions.size());
  const uint32_t addresses = at + 40, nameTable = addresses + 4 * n, ordinals = nameTable + 4 * n;
  uint32_t strings = ordinals + 2 * n;
  strings += strings & 2;  // 4-byte boundary
  Bytes out, text;
  Put32(out, 0);
  Put32(out, timeStamp);
  Put32(out, 0);
  Put32(out, strings);  // module name first
  Put32(out, 1);        // ordinal base
  Put32(out, n);
  Put32(out, n);
  Put32(out, addresses);
  Put32(out, nameTable);
  Put32(out, ordinals);
  PutAscii(text, moduleName, true);
  for (uint32_t i = 0; i < n; ++i) {
    r.exportFunctionOffsets.push_back(offsetInRdata + out.size());
    Put32(out, 0);  // patched with the function's RVA once the code exists
  }
  for (uint32_t i = 0; i < n; ++i) {
    Put32(out, strings + static_cast<uint32_t>(text.size()));
    PutAscii(text, functions[i], true);
  }
  for (uint32_t i = 0; i < n; ++i) Put16(out, i);
  PadTo(out, 4, 0);
  out.insert(out.end(), text.begin(), text.end());
  PadTo(out, 4, 0);
  return out;
}

Rdata MakeRdata(Rng& rng, const std::string& name, Recipe recipe, const Layout& l, uint32_t content,
                uint32_t exportCount, uint32_t timeStamp) {
  const std::string stem = name.substr(0, name.find('.'));
  Rdata r;
  size_t wanted = std::clamp<size_t>(content / 90, 4, 220);
  std::vector<ImportedLibrary> imports;
  std::vector<std::string> exports;
  Bytes importPart, exportPart;
  for (;;) {  // shrink the directories until they leave room for the literals
    Rng pick = rng;
    imports = PickImports(pick, recipe, wanted);
    exports.clear();
    for (uint32_t i = 0; i < exportCount; ++i) exports.push_back(Capitalised(stem) + Identifier(pick));
    std::sort(exports.begin(), exports.end());  // the loader's name lookup is a binary search
    exports.erase(std::unique(exports.begin(), exports.end()), exports.end());
    size_t slots = 0;
    for (const auto& lib : imports) slots += lib.functions.size() + 1;
    r.iatSize = 4 * static_cast<uint32_t>(slots);
    r.bytes.assign(r.iatSize, 0);
    Rdata probe = r;
    exportPart = exports.empty() ? Bytes{} : ExportStructures(exports, name, 0, timeStamp, probe, 0);
    importPart = ImportStructures(imports, 0, l.rdataRva, probe, false);
    if (r.iatSize + exportPart.size() + importPart.size() + 64 <= content || wanted <= 2) break;
    wanted = wanted * 3 / 4;
    exportCount = exportCount * 3 / 4;
  }
  for (uint32_t i = 0; i + 4 <= r.iatSize; i += 4) r.importSlots.push_back(l.imageBase + l.rdataRva + i);
  // Literals and constants fill the space between the address table and the directories.
  const size_t structures = exportPart.size() + importPart.size();
  const size_t literalsEnd = content > r.iatSize + structures ? content - structures : r.iatSize;
  while (r.bytes.size() < literalsEnd) {
    const uint32_t kind = rng.Below(10);
    if (kind < 8) {
      r.strings.push_back(l.imageBase + l.rdataRva + static_cast<uint32_t>(r.bytes.size()));
      PutAscii(r.bytes, StringLiteral(rng, stem), true);
      PadTo(r.bytes, 4, 0);
    } else if (kind < 9) {  // double constants
      static const uint64_t doubles[] = {0x3FF0000000000000ull, 0x4059000000000000ull, 0x3FE0000000000000ull,
                                         0x408F400000000000ull, 0x4024000000000000ull};
      for (uint32_t i = rng.Range(1, 6); i > 0; --i) {
        const uint64_t d = doubles[rng.Skewed(5)];
        Put32(r.bytes, static_cast<uint32_t>(d));
        Put32(r.bytes, static_cast<uint32_t>(d >> 32));
      }
    } else {  // a small lookup table
      for (uint32_t i = rng.Range(8, 64), v = rng.Below(16); i > 0; --i, v += rng.Below(4)) Put32(r.bytes, v);
    }
  }
  r.bytes.resize(literalsEnd);
  if (!exports.empty()) {
    r.exportRva = l.rdataRva + static_cast<uint32_t>(r.bytes.size());
    exportPart = ExportStructures(exports, name, r.exportRva, timeStamp, r, r.bytes.size());
    r.exportSize = static_cast<uint32_t>(exportPart.size());
    r.bytes.insert(r.bytes.end(), exportPart.begin(), exportPart.end());
  }
  r.importRva = l.rdataRva + static_cast<uint32_t>(r.bytes.size());
  importPart = ImportStructures(imports, r.importRva, l.rdataRva, r, true);
  r.importSize = 20 * static_cast<uint32_t>(imports.size() + 1);
  r.bytes.insert(r.bytes.end(), importPart.begin(), importPart.end());
  return r;
}

// ---- .data: initialised globals.

const Bytes& Crc32Table() {
  static const Bytes table = [] {
    Bytes t;
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      Put32(t, c);
    }
    return t;
  }();
  return table;
}

void PutCodepageTable(Rng& rng, Bytes& out, bool doubleByte) {
  // A mapping table: runs of consecutive code points with jumps between them.
  const uint32_t entries = doubleByte ? rng.Range(2000, 8000) : 256;
  uint32_t unicode = doubleByte ? 0x4E00 + rng.Below(0x100) : 0;
  for (uint32_t i = 0; i < entries; ++i) {
    if (!doubleByte && i < 128) { Put16(out, i); continue; }
    unicode = rng.PerMille(doubleByte ? 150 : 300) ? (doubleByte ? 0x4E00 + rng.Below(0x5000) : 0x00A0 + rng.Below(0x2100))
                                                   : unicode + 1;
    if (doubleByte) Put16(out, 0x8140 + i + (i / 188) * 68);
    Put16(out, unicode);
  }
}

Bytes MakeData(Rng& rng, Recipe recipe, const Layout& l, uint32_t content, const std::vector<uint32_t>& strings,
               std::vector<uint32_t>& addresses, std::vector<uint32_t>& relocations, bool twin) {
  Bytes d;
  bool crcDone = false;
  const bool codepage = recipe == Recipe::Codepage;
  while (d.size() < content) {
    addresses.push_back(l.imageBase + l.dataRva + static_cast<uint32_t>(d.size()));
    const uint32_t kind = rng.Below(100);
    if (codepage && kind < 70) {
      PutCodepageTable(rng, d, content > 60000);
    } else if (kind < 22) {  // zero-initialised globals
      d.insert(d.end(), 16 * rng.Skewed(256) + 4, 0);
    } else if (kind < 36) {  // integer table
      for (uint32_t i = rng.Range(4, 200), v = rng.Below(64), step = rng.Below(8); i > 0; --i) {
        Put32(d, v);
        v += rng.PerMille(800) ? step : rng.Below(1000);
      }
    } else if (kind < 46 && !strings.empty()) {  // table of string pointers
      for (uint32_t i = rng.Range(3, 60); i > 0; --i) {
        relocations.push_back(l.dataRva + static_cast<uint32_t>(d.size()));
        Put32(d, strings[rng.Below(static_cast<uint32_t>(strings.size()))]);
      }
    } else if (kind < 60) {  // default settings and names
      for (uint32_t i = rng.Range(2, 20); i > 0; --i) {
        PutAscii(d, rng.PerMille(500) ? Word(rng) : Phrase(rng, 2), true);
        PadTo(d, 4, 0);
      }
    } else if (kind < 72) {  // 16-bit table
      for (uint32_t i = rng.Range(16, 400), v = rng.Below(256); i > 0; --i) {
        Put16(d, v);
        v = rng.PerMille(700) ? v + 1 : rng.Below(0x1000);
      }
    } else if (kind < 90) {  // array of records
      const uint32_t fields = rng.Range(3, 8);
      for (uint32_t i = rng.Range(4, 80); i > 0; --i) {
        for (uint32_t f = 0; f < fields; ++f) Put32(d, f == 0 ? i : (f == 1 ? 1u << rng.Below(8) : rng.Skewed(300)));
      }
    } else if (kind < 93 && !crcDone) {
      const Bytes& t = Crc32Table();
      d.insert(d.end(), t.begin(), t.end());
      crcDone = true;
    } else {  // hash seeds, a shuffled table: incompressible
      PutRandom(rng, d, 64 * rng.Range(1, 8));
    }
  }
  d.resize(content);
  if (twin && content > 40000) {
    // Two copies of one table just under 32 KiB apart: references as long as DEFLATE's window
    // allows. 32506 is the longest that zlib's compressor emits (its window less 262 bytes).
    const uint32_t distance = 32506 - (rng.PerMille(300) ? 0 : rng.Below(500));
    const uint32_t length = rng.Range(700, 2400);
    const uint32_t at = rng.Below(content - distance - length);
    Bytes block;
    PutRandom(rng, block, length);
    std::copy(block.begin(), block.end(), d.begin() + at);
    std::copy(block.begin(), block.end(), d.begin() + at + distance);
  }
  return d;
}

// ---- .rsrc

// Each module kind's resources, in the order they are made, each with its share (per mille) of
// the section's budget and its first id.
using AddResources = void (*)(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId);
struct ResourceShare {
  AddResources add;
  uint32_t perMille;
  uint16_t firstId;
};
struct ResourceMix {
  Recipe recipe;
  ResourceShare shares[5];  // up to five; the rest stay empty (add null)
};
constexpr ResourceMix kResourceMixes[] = {
    {Recipe::App,
     {{AddIcons, 90, 100}, {AddToolbarBitmaps, 180, 200}, {AddDialogs, 260, 300}, {AddMenus, 90, 400},
      {AddStringTables, 280, 1000}}},
    {Recipe::Console, {{AddIcons, 200, 100}, {AddStringTables, 700, 1000}}},
    {Recipe::Library,
     {{AddStringTables, 450, 1000}, {AddDialogs, 300, 300}, {AddToolbarBitmaps, 120, 200}, {AddIcons, 100, 100}}},
    {Recipe::Codepage,
     {{AddStringTables, 450, 1000}, {AddDialogs, 300, 300}, {AddToolbarBitmaps, 120, 200}, {AddIcons, 100, 100}}},
    {Recipe::Driver,
     {{AddStringTables, 450, 1000}, {AddDialogs, 300, 300}, {AddToolbarBitmaps, 120, 200}, {AddIcons, 100, 100}}},
    {Recipe::Control, {{AddToolbarBitmaps, 200, 200}, {AddDialogs, 250, 300}, {AddStringTables, 200, 1000}}},
    {Recipe::Langpack,
     {{AddStringTables, 430, 1000}, {AddDialogs, 340, 300}, {AddMenus, 130, 400}, {AddToolbarBitmaps, 70, 200}}},
    {Recipe::Media, {{AddPictures, 880, 500}, {AddToolbarBitmaps, 50, 200}, {AddIcons, 50, 100}}},
};

// A self-extracting package's resources: an icon, a dialog and strings of fixed sizes, and the
// package proper, one compressed cabinet filling the rest of the section.
void AddSfxResources(Rng& rng, std::vector<Resource>& res, uint32_t rva, uint32_t content) {
  AddIcons(rng, res, 3000, 100);
  AddDialogs(rng, res, 2500, 300);
  AddStringTables(rng, res, 2000, 1000);
  const size_t others = BuildResourceSection(res, rva).size();
  const size_t cabSize = content > others + 400 ? content - others - 400 : 0;
  Bytes cabinet = {'M', 'S', 'C', 'F', 0, 0, 0, 0};
  Put32(cabinet, static_cast<uint32_t>(cabSize));
  PutRandom(rng, cabinet, cabSize > 12 ? cabSize - 12 : 0);
  res.push_back({10, 1, cabinet});  // RT_RCDATA 1: the cabinet
}

Bytes MakeRsrc(Rng& rng, const std::string& name, Recipe recipe, uint32_t rva, uint32_t content) {
  std::vector<Resource> res;
  const std::string description = "Tarnwick " + Phrase(rng, static_cast<int>(rng.Range(1, 3)));
  if (content >= 1200) AddVersionResource(res, name, description);
  const size_t budget = content > 1500 ? content - 1500 : 0;
  auto part = [&](uint32_t perMille) { return budget * perMille / 1000; };
  for (const ResourceMix& mix : kResourceMixes) {
    if (mix.recipe != recipe) continue;
    for (const ResourceShare& share : mix.shares)
      if (share.add) share.add(rng, res, part(share.perMille), share.firstId);
  }
  if (recipe == Recipe::App && rng.PerMille(600)) AddPictures(rng, res, std::min<size_t>(part(60), 7000), 500);
  if (recipe == Recipe::Control) res.push_back({10, 1, MakeTypeLibrary(name, static_cast<uint32_t>(part(300)))});
  if (recipe == Recipe::Sfx) AddSfxResources(rng, res, rva, content);
  // Fit the section: drop resources that overflow, then fill the rest with one data resource.
  Bytes built = BuildResourceSection(res, rva);
  while (built.size() > content && res.size() > 1) {
    res.pop_back();
    built = BuildResourceSection(res, rva);
  }
  if (content > built.size() + 600) {
    Bytes filler;
    const size_t want = content - built.size() - 120 - rng.Below(200);
    while (filler.size() < want) {
      if (rng.PerMille(500)) PutUtf16(filler, Sentence(rng) + " ", false);
      else for (uint32_t i = rng.Range(4, 40), v = rng.Below(100); i > 0; --i, v += rng.Below(3)) Put32(filler, v);
    }
    filler.resize(want);
    res.push_back({10, 9000, filler});
    built = BuildResourceSection(res, rva);
  }
  if (built.size() > content) built.resize(content);  // a tiny section: the tree itself is cut
  return built;
}

// ---- .reloc

Bytes MakeRelocations(std::vector<uint32_t> rvas) {
  std::sort(rvas.begin(), rvas.end());
  rvas.erase(std::unique(rvas.begin(), rvas.end()), rvas.end());
  Bytes out;
  size_t i = 0;
  while (i < rvas.size()) {
    const uint32_t page = rvas[i] & ~0xFFFu;
    const size_t start = out.size();
    Put32(out, page);
    Put32(out, 0);
    for (; i < rvas.size() && (rvas[i] & ~0xFFFu) == page; ++i) Put16(out, 0x3000 | (rvas[i] & 0xFFF));
    if ((out.size() - start) % 4) Put16(out, 0);  // IMAGE_REL_BASED_ABSOLUTE pads the block
    Patch32(out, start + 4, static_cast<uint32_t>(out.size() - start));
  }
  return out;
}

// ---- layout

// The bytes of a section that its content fills: a little less than its raw size, so that the
// rest of the last 512 stays zeros.
uint32_t UsedBytes(Rng& rng, uint32_t raw) { return raw == 0 ? 0u : raw - std::min<uint32_t>(raw / 2, rng.Below(400)); }

// Plans .text, .rdata and .data of an image of size bytes from the recipe's shares: raw sizes,
// virtual addresses up to .rsrc, and the image base. restRaw is what stays for .rsrc and .reloc,
// whose sizes follow once the relocations are known.
Layout PlanLayout(Rng& rng, const Profile& p, Recipe recipe, uint32_t size, uint32_t& restRaw) {
  const uint32_t body = size > kHeaderSize ? size - kHeaderSize : 0;
  const uint32_t blocks = body / kFileAlign;
  auto jitter = [&](uint32_t share) { return share * rng.Range(75, 125) / 100; };
  Layout l{};
  l.imageBase = p.dll ? 0x10000000u + 0x10000u * rng.Below(0x800) : (recipe == Recipe::Driver ? 0x10000u : 0x400000u);
  auto blocksFor = [&](uint32_t share) {
    return share == 0 ? 0u : std::max(1u, blocks * jitter(share) / 1000);
  };
  uint32_t textBlocks = blocksFor(p.text), rdataBlocks = blocksFor(p.rdata), dataBlocks = blocksFor(p.data);
  // At least one block stays for .rsrc; the shares are cut back from the largest down, and an
  // image too small for them all holds resources only.
  while (textBlocks + rdataBlocks + dataBlocks + 1 > blocks) {
    uint32_t& largest = textBlocks >= dataBlocks && textBlocks >= rdataBlocks ? textBlocks
                        : dataBlocks >= rdataBlocks                            ? dataBlocks
                                                                               : rdataBlocks;
    if (largest <= 1) {
      textBlocks = rdataBlocks = dataBlocks = 0;
      break;
    }
    --largest;
  }
  l.textRaw = textBlocks * kFileAlign;
  l.rdataRaw = rdataBlocks * kFileAlign;
  l.dataRaw = dataBlocks * kFileAlign;
  restRaw = (blocks - textBlocks - rdataBlocks - dataBlocks) * kFileAlign;
  l.dataVirtual = l.dataRaw + (l.dataRaw ? 0x400 * rng.Range(1, 40) : 0);
  l.textRva = kSectionAlign;
  l.rdataRva = l.textRva + AlignUp(l.textRaw, kSectionAlign);
  l.dataRva = l.rdataRva + AlignUp(l.rdataRaw, kSectionAlign);
  l.rsrcRva = l.dataRva + AlignUp(l.dataVirtual, kSectionAlign);
  return l;
}

// Splits restRaw between .reloc (at most half, whole blocks) and .rsrc, and places .reloc after
// .rsrc; reloc is cut to its section.
void PlaceRelocations(Layout& l, uint32_t restRaw, Bytes& reloc) {
  l.relocRaw = std::min(AlignUp(static_cast<uint32_t>(reloc.size()), kFileAlign), restRaw / 2 / kFileAlign * kFileAlign);
  reloc.resize(std::min<size_t>(reloc.size(), l.relocRaw));
  l.rsrcRaw = restRaw - l.relocRaw;
  l.relocRva = l.rsrcRva + AlignUp(l.rsrcRaw, kSectionAlign);
}

// ---- .text

// The entry point's few instructions at the start of .text: a program calls ExitProcess(0)
// (or returns 0 when it has no imports), a driver fails, a library returns TRUE.
void PutEntryCode(Bytes& text, Recipe recipe, const Layout& l, const Rdata& rdata, std::vector<uint32_t>& relocations) {
  const bool program = recipe == Recipe::App || recipe == Recipe::Console || recipe == Recipe::Sfx;
  if (program && !rdata.importSlots.empty()) {
    // push 0; call [ExitProcess]; int3
    Put8(text, 0x6A); Put8(text, 0x00); Put8(text, 0xFF); Put8(text, 0x15);
    relocations.push_back(l.textRva + 4);
    Put32(text, rdata.importSlots[0]);
    Put8(text, 0xCC);
  } else if (program) {
    static const uint8_t end[] = {0x33, 0xC0, 0xC3};  // too small for imports: return 0
    text.insert(text.end(), end, end + sizeof(end));
  } else if (recipe == Recipe::Driver) {
    static const uint8_t fail[] = {0xB8, 0x01, 0x00, 0x00, 0xC0, 0xC2, 0x08, 0x00};  // STATUS_UNSUCCESSFUL
    text.insert(text.end(), fail, fail + sizeof(fail));
  } else {
    static const uint8_t ok[] = {0xB8, 0x01, 0x00, 0x00, 0x00, 0xC2, 0x0C, 0x00};  // return TRUE
    text.insert(text.end(), ok, ok + sizeof(ok));
  }
}

// .text: the entry code, then generated functions that use the imports and the data; points the
// export address table at them. Adds the code's absolute addresses to relocations.
Bytes MakeText(Rng& rng, Recipe recipe, const Profile& p, const Layout& l, Rdata& rdata,
               const std::vector<uint32_t>& dataAddresses, std::vector<uint32_t>& relocations) {
  Bytes text;
  PutEntryCode(text, recipe, l, rdata, relocations);
  CodeContext code;
  code.imageBase = l.imageBase;
  code.sectionRva = l.textRva + 16;
  code.importSlots = rdata.importSlots;
  code.dataAddresses = rdata.strings;
  code.dataAddresses.insert(code.dataAddresses.end(), dataAddresses.begin(), dataAddresses.end());
  code.repeatPerMille = p.repeatPerMille;
  code.functionPadding = rng.PerMille(500) ? 0xCC : 0x90;
  PadTo(text, 16, code.functionPadding);
  const uint32_t codeSize = UsedBytes(rng, l.textRaw);
  if (codeSize > text.size()) GenerateCode(rng, text, codeSize - text.size(), code);
  relocations.insert(relocations.end(), code.relocations.begin(), code.relocations.end());
  for (size_t i = 0; i < rdata.exportFunctionOffsets.size(); ++i) {
    const uint32_t target = code.functions.empty() ? l.textRva : code.functions[(i * 7919) % code.functions.size()];
    Patch32(rdata.bytes, rdata.exportFunctionOffsets[i], target);
  }
  return text;
}

// ---- headers

struct SectionHeader {
  const char* name;
  uint32_t virtualSize, rva, rawSize, rawOffset, characteristics;
};

// The section table: the sections that have raw data, one after the other from kHeaderSize.
std::vector<SectionHeader> SectionTable(const Layout& l, const Bytes& text, const Rdata& rdata, const Bytes& rsrc,
                                        const Bytes& reloc) {
  std::vector<SectionHeader> sections;
  uint32_t offset = kHeaderSize;
  auto add = [&](const char* n, uint32_t virtualSize, uint32_t rva, uint32_t raw, uint32_t flags) {
    if (raw == 0) return;
    sections.push_back({n, virtualSize, rva, raw, offset, flags});
    offset += raw;
  };
  add(".text", static_cast<uint32_t>(text.size()), l.textRva, l.textRaw, 0x60000020);
  add(".rdata", static_cast<uint32_t>(rdata.bytes.size()), l.rdataRva, l.rdataRaw, 0x40000040);
  add(".data", l.dataVirtual, l.dataRva, l.dataRaw, 0xC0000040);
  add(".rsrc", static_cast<uint32_t>(rsrc.size()), l.rsrcRva, l.rsrcRaw, 0x40000040);
  add(".reloc", static_cast<uint32_t>(reloc.size()), l.relocRva, l.relocRaw, 0x42000040);
  return sections;
}

void PutDosHeader(Bytes& out) {
  static const uint8_t stub[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09, 0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
  Put16(out, 0x5A4D);  // "MZ"
  Put16(out, 0x90); Put16(out, 3); Put16(out, 0); Put16(out, 4); Put16(out, 0); Put16(out, 0xFFFF);
  Put16(out, 0); Put16(out, 0xB8); Put16(out, 0); Put16(out, 0); Put16(out, 0); Put16(out, 0x40); Put16(out, 0);
  out.resize(0x3C, 0);
  Put32(out, 0x80);  // e_lfanew
  out.insert(out.end(), stub, stub + sizeof(stub));
  PutAscii(out, "This program cannot be run in DOS mode.\r\r\n$", false);
  out.resize(0x80, 0);
}

// The PE signature and the COFF file header (20 bytes).
void PutFileHeader(Bytes& out, const Profile& p, size_t sectionCount, uint32_t timeStamp) {
  PutAscii(out, std::string("PE\0\0", 4), false);
  Put16(out, 0x14C);  // i386
  Put16(out, static_cast<uint32_t>(sectionCount));
  Put32(out, timeStamp);
  Put32(out, 0);
  Put32(out, 0);
  Put16(out, 0xE0);
  Put16(out, p.dll ? 0x210E : (p.relocs ? 0x010E : 0x010F));
}

// The PE32 optional header (224 bytes) with its 16 data directories.
void PutOptionalHeader(Bytes& out, const Profile& p, const Layout& l, uint32_t entry, uint32_t imageSize,
                       const Rdata& rdata, const Bytes& rsrc, const Bytes& reloc) {
  Put16(out, 0x10B);  // PE32
  Put8(out, 6); Put8(out, 0);  // linker 6.0
  Put32(out, l.textRaw);
  Put32(out, l.rdataRaw + l.dataRaw + l.rsrcRaw + l.relocRaw);
  Put32(out, 0);
  Put32(out, entry);
  Put32(out, l.textRaw ? l.textRva : 0);
  Put32(out, l.rdataRva);
  Put32(out, l.imageBase);
  Put32(out, kSectionAlign);
  Put32(out, kFileAlign);
  Put16(out, 4); Put16(out, 0);  // OS 4.0
  Put16(out, 5); Put16(out, 0);  // image 5.0
  Put16(out, 4); Put16(out, 0);  // subsystem 4.0
  Put32(out, 0);
  Put32(out, imageSize);
  Put32(out, kHeaderSize);
  Put32(out, 0);  // checksum
  Put16(out, p.subsystem);
  Put16(out, 0);
  Put32(out, 0x100000); Put32(out, 0x1000); Put32(out, 0x100000); Put32(out, 0x1000);
  Put32(out, 0);
  Put32(out, 16);
  const uint32_t directories[16][2] = {
      {rdata.exportRva, rdata.exportSize}, {rdata.importRva, rdata.importSize},
      {rsrc.empty() ? 0 : l.rsrcRva, static_cast<uint32_t>(rsrc.size())}, {0, 0}, {0, 0},
      {reloc.empty() ? 0 : l.relocRva, static_cast<uint32_t>(reloc.size())}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
      {rdata.iatSize ? l.rdataRva : 0, rdata.iatSize}, {0, 0}, {0, 0}, {0, 0}};
  for (const auto& d : directories) { Put32(out, d[0]); Put32(out, d[1]); }
}

void PutSectionHeaders(Bytes& out, const std::vector<SectionHeader>& sections) {
  for (const SectionHeader& s : sections) {
    Bytes n(8, 0);
    std::copy(s.name, s.name + std::char_traits<char>::length(s.name), n.begin());
    out.insert(out.end(), n.begin(), n.end());
    Put32(out, s.virtualSize); Put32(out, s.rva); Put32(out, s.rawSize); Put32(out, s.rawOffset);
    Put32(out, 0); Put32(out, 0); Put16(out, 0); Put16(out, 0);
    Put32(out, s.characteristics);
  }
}

// Appends a section's bytes padded with zeros to its raw size (nothing for an absent section).
void AppendSection(Bytes& out, const Bytes& bytes, uint32_t raw) {
  if (raw == 0) return;
  const size_t at = out.size();
  out.insert(out.end(), bytes.begin(), bytes.end());
  out.resize(at + raw, 0);
}

}  // namespace

Bytes MakePeImage(const std::string& name, uint32_t size, Recipe recipe) {
  Rng rng = SeedFrom(name, 1);
  const Profile p = ProfileFor(recipe);
  uint32_t restRaw = 0;
  Layout l = PlanLayout(rng, p, recipe, size, restRaw);
  const uint32_t timeStamp = 0x36800000u + rng.Below(0x1400000);  // 1998-1999

  // The sections in the order their contents depend on each other: .rdata (imports, literals,
  // exports), .data (which points into .rdata), .text (which uses both), then .reloc (every
  // absolute address so far) and .rsrc in what remains.
  const uint32_t exportCount = p.dll && recipe != Recipe::Langpack ? std::clamp<uint32_t>(l.textRaw / 2500, 2, 400) : 0;
  Rdata rdata;
  if (l.rdataRaw) rdata = MakeRdata(rng, name, recipe, l, UsedBytes(rng, l.rdataRaw), exportCount, timeStamp);
  std::vector<uint32_t> relocations, dataAddresses;
  Bytes data;
  if (l.dataRaw) {
    const bool twin = recipe == Recipe::App || rng.PerMille(300);
    data = MakeData(rng, recipe, l, UsedBytes(rng, l.dataRaw), rdata.strings, dataAddresses, relocations, twin);
  }
  const Bytes text = l.textRaw ? MakeText(rng, recipe, p, l, rdata, dataAddresses, relocations) : Bytes{};
  const uint32_t entry = l.textRaw ? l.textRva : 0;
  Bytes reloc = p.relocs ? MakeRelocations(relocations) : Bytes{};
  PlaceRelocations(l, restRaw, reloc);
  const Bytes rsrc = l.rsrcRaw ? MakeRsrc(rng, name, recipe, l.rsrcRva, UsedBytes(rng, l.rsrcRaw)) : Bytes{};

  const std::vector<SectionHeader> sections = SectionTable(l, text, rdata, rsrc, reloc);
  const uint32_t imageSize = sections.empty() ? kSectionAlign
                                              : sections.back().rva + AlignUp(std::max(sections.back().virtualSize, 1u), kSectionAlign);
  Bytes out;
  PutDosHeader(out);
  PutFileHeader(out, p, sections.size(), timeStamp);
  PutOptionalHeader(out, p, l, entry, imageSize, rdata, rsrc, reloc);
  PutSectionHeaders(out, sections);
  out.resize(kHeaderSize, 0);
  AppendSection(out, text, l.textRaw);
  AppendSection(out, rdata.bytes, l.rdataRaw);
  AppendSection(out, data, l.dataRaw);
  AppendSection(out, rsrc, l.rsrcRaw);
  AppendSection(out, reloc, l.relocRaw);
  if (out.size() < size) PutRandom(rng, out, size - out.size());  // overlay: signature-like data
  return out;
}
