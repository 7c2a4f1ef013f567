// Binary product files of fixed formats: the icon, shell links, PIF files, the type library and
// the VxD.
#include <algorithm>

#include "tools/product/pe_parts.h"

namespace {

void PutFixed(Bytes& out, const std::string& text, size_t width, char fill) {
  for (size_t i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(i < text.size() ? text[i] : fill));
}

void PutFileTime1999(Rng& rng, Bytes& out) {
  const uint64_t t = 0x01BE0000'00000000ull + (rng.Next() & 0x00FFFFFFFFFFFFull);
  Put32(out, static_cast<uint32_t>(t));
  Put32(out, static_cast<uint32_t>(t >> 32));
}

}  // namespace

Bytes MakeIcon(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 8);
  static const int formats[][2] = {{16, 4}, {32, 4}, {48, 4}, {16, 8}, {32, 8}, {48, 8}};
  std::vector<Bytes> images;
  for (const auto& f : formats) images.push_back(DrawIconImage(rng, f[0], f[1]));
  Bytes out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    Put8(out, formats[i][0]); Put8(out, formats[i][0]); Put8(out, formats[i][1] == 4 ? 16 : 0); Put8(out, 0);
    Put16(out, 1); Put16(out, formats[i][1]);
    Put32(out, static_cast<uint32_t>(images[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
  out.resize(size, 0);
  return out;
}

Bytes MakeShellLink(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 9);
  const std::string folder = "C:\\Program Files\\Tarnwick";
  const std::string target = folder + (size > 500 ? "\\TWick.exe" : "\\TWExplo.exe");
  Bytes out;
  static const uint8_t clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  Put32(out, 0x4C);
  out.insert(out.end(), clsid, clsid + 16);
  const bool arguments = size > 500;
  Put32(out, 0x02 | 0x04 | 0x08 | 0x10 | (arguments ? 0x20 : 0));  // link info, name, relative path, working dir
  Put32(out, 0x20);
  for (int i = 0; i < 3; ++i) PutFileTime1999(rng, out);
  Put32(out, 400000 + rng.Below(1000000));
  Put32(out, 0);
  Put32(out, 1);  // SW_SHOWNORMAL
  Put16(out, 0);
  Put16(out, 0); Put32(out, 0); Put32(out, 0);
  // LinkInfo: volume id and local base path.
  const size_t info = out.size();
  Put32(out, 0); Put32(out, 0x1C); Put32(out, 1); Put32(out, 0x1C); Put32(out, 0); Put32(out, 0); Put32(out, 0);
  Put32(out, 0x11); Put32(out, 3); Put32(out, static_cast<uint32_t>(rng.Next())); Put32(out, 0x10); Put8(out, 0);
  Patch32(out, info + 16, static_cast<uint32_t>(out.size() - info));
  PutAscii(out, target, true);
  Patch32(out, info + 24, static_cast<uint32_t>(out.size() - info));
  Put8(out, 0);
  Patch32(out, info, static_cast<uint32_t>(out.size() - info));
  auto text = [&](const std::string& s) {
    Put16(out, static_cast<uint32_t>(s.size()));
    PutAscii(out, s, false);
  };
  text(size > 500 ? "Send to Tarnwick" : "Tarnwick Quick View");
  text(target.substr(target.rfind('\\')).insert(0, "."));
  text(folder);
  if (arguments) text("/SENDTO /NOSPLASH");
  Put32(out, 0);  // terminal block
  out.resize(size, 0);
  return out;
}

Bytes MakePif(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 10);
  const std::string stem = name.substr(0, name.find('.'));
  Bytes out;
  Put8(out, 0);
  Put8(out, 0);  // checksum, patched
  PutFixed(out, "Tarnwick " + stem, 30, ' ');
  Put16(out, 640); Put16(out, 128);
  PutFixed(out, "C:\\PROGRA~1\\TARNWICK\\" + stem + ".EXE", 63, '\0');
  Put16(out, 0x0010);
  PutFixed(out, "C:\\PROGRA~1\\TARNWICK", 64, '\0');
  PutFixed(out, rng.PerMille(500) ? "/DOS" : "", 64, '\0');
  out.resize(0x171, 0);
  uint32_t sum = 0;
  for (size_t i = 2; i < 0x171; ++i) sum += out[i];
  out[1] = static_cast<uint8_t>(sum);
  // Section headings: name, next heading, data offset, data length.
  auto heading = [&](const char* n, uint32_t next, uint32_t data, uint32_t length) {
    PutFixed(out, n, 16, '\0');
    Put16(out, next); Put16(out, data); Put16(out, length);
  };
  heading("MICROSOFT PIFEX", 0x187, 0x000, 0x171);
  heading("WINDOWS 386 3.0", 0x205, 0x19D, 0x068);
  Put16(out, 640); Put16(out, 128); Put16(out, 50); Put16(out, 10); Put16(out, 0x0008); Put16(out, 0x0002);
  out.resize(0x205, 0);
  heading("WINDOWS VMM 4.0", 0xFFFF, 0x21B, 0x1AC);
  out.resize(0x21B + 88, 0);
  PutFixed(out, "C:\\WINDOWS\\SYSTEM\\PIFMGR.DLL", 80, '\0');
  Put16(out, rng.Below(40));
  Put16(out, 0x0002); Put16(out, 0x0005); Put16(out, 0x0019); Put16(out, 0x0003); Put16(out, 0x00C8);
  out.resize(0x21B + 0x1AC - 64, 0);
  PutFixed(out, "Terminal", 32, '\0');
  PutFixed(out, "Courier New", 32, '\0');
  out.resize(size, 0);
  return out;
}

Bytes MakeTypeLibrary(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 11);
  Bytes out;
  const uint32_t types = std::max<uint32_t>(2, size / 1500);
  Put32(out, 0x5446534D);  // "MSFT"
  Put32(out, 0x00010002);
  Put32(out, 0);           // library GUID offset
  Put32(out, 0x409); Put32(out, 0); Put32(out, 0x41); Put32(out, 0x00050000); Put32(out, 0x08);
  Put32(out, types);
  Put32(out, 0); Put32(out, 0); Put32(out, 0);
  Put32(out, types * 12); Put32(out, types * 180); Put32(out, 0); Put32(out, 0xFFFFFFFF); Put32(out, 0xFFFFFFFF);
  Put32(out, 0x20); Put32(out, 0x80); Put32(out, 0xFFFFFFFF); Put32(out, 0);
  for (uint32_t i = 0; i < types; ++i) Put32(out, i * 0x64);
  const size_t directory = out.size();
  for (int s = 0; s < 15; ++s) { Put32(out, 0); Put32(out, 0); Put32(out, 0xFFFFFFFF); Put32(out, 0x0F); }
  // Type records, the GUID table, hash tables, names and strings.
  for (uint32_t i = 0; i < types; ++i) {
    Put32(out, 0x2000 | (i % 6)); Put32(out, i * 0x80); Put32(out, 0); Put32(out, 0x64);
    for (int f = 0; f < 21; ++f) Put32(out, f < 6 ? rng.Skewed(64) : 0xFFFFFFFF * (f % 3 == 0));
  }
  Patch32(out, directory, static_cast<uint32_t>(out.size()));
  for (uint32_t i = 0; i < types; ++i) {
    PutRandom(rng, out, 16);  // GUID
    Put32(out, i * 0x64);
    Put32(out, 0xFFFFFFFF);
  }
  for (int i = 0; i < 0x80; ++i) Put32(out, rng.PerMille(150) ? rng.Below(types) * 24 : 0xFFFFFFFF);
  while (out.size() < size) {
    const std::string n = rng.PerMille(500) ? Identifier(rng) : Capitalised(Word(rng));
    if (rng.PerMille(700)) {
      Put32(out, 0xFFFFFFFF); Put32(out, 0xFFFFFFFF);
      Put8(out, static_cast<uint32_t>(n.size())); Put8(out, 0x38); Put16(out, rng.Below(0x10000));
      PutAscii(out, n, false);
    } else {
      const std::string help = Sentence(rng);
      Put16(out, static_cast<uint32_t>(help.size()));
      PutAscii(out, help, false);
    }
    PadTo(out, 4, 0x57);
  }
  out.resize(size, 0);
  return out;
}

Bytes MakeVxd(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 12);
  const std::string stem = name.substr(0, name.find('.'));
  const uint32_t pages = size < 0x3000 ? 2 : (size - 0x1000) / 0x1000;
  Bytes out;
  Put16(out, 0x5A4D);
  out.resize(0x3C, 0);
  Put32(out, 0x80);
  out.resize(0x80, 0);
  // LE header for a Windows 386 virtual device.
  const size_t le = out.size();
  PutAscii(out, "LE", false);
  Put8(out, 0); Put8(out, 0); Put32(out, 0);
  Put16(out, 2); Put16(out, 4);  // i386, Windows 386
  Put32(out, 0x00050000);        // module version
  Put32(out, 0x00038000);        // virtual device driver
  Put32(out, pages);
  Put32(out, 0); Put32(out, 0); Put32(out, 0); Put32(out, 0);
  Put32(out, 0x1000);
  Put32(out, 0x1000 - rng.Below(0x800));
  Put32(out, pages * 48); Put32(out, 0); Put32(out, 0x200); Put32(out, 0);
  Put32(out, 0xC4);  // object table
  Put32(out, 3);
  Put32(out, 0xC4 + 3 * 24);
  out.resize(le + 0xC4, 0);
  static const uint32_t flags[] = {0x2045, 0x2043, 0x2045};  // LCODE, LDATA, ICODE
  uint32_t page = 1;
  for (int o = 0; o < 3; ++o) {
    const uint32_t count = o == 0 ? pages / 2 : (o == 1 ? pages / 4 : pages - pages / 2 - pages / 4);
    Put32(out, count * 0x1000); Put32(out, 0); Put32(out, flags[o]); Put32(out, page); Put32(out, count); Put32(out, 0);
    page += count;
  }
  for (uint32_t p = 1; p <= pages; ++p) { Put8(out, 0); Put16(out, p); Put8(out, 0); }
  Put8(out, static_cast<uint32_t>(stem.size()));
  PutAscii(out, stem, false);
  Put16(out, 0);
  // Fixup records: 32-bit offsets to internal targets.
  while (out.size() < 0x1000 - 64) {
    Put8(out, 7); Put8(out, 0); Put16(out, rng.Below(0x1000)); Put8(out, rng.Range(1, 3)); Put16(out, rng.Below(0x4000));
  }
  out.resize(0x1000, 0);
  // The device descriptor block, then the code pages: VMM calls are INT 20h with a service id.
  Put32(out, 0); Put16(out, 0x030A); Put16(out, 0x3A00 + rng.Below(0x100)); Put8(out, 5); Put8(out, 0); Put16(out, 0);
  PutFixed(out, stem.substr(0, 8), 8, ' ');
  Put32(out, 0xA0000000);
  CodeContext code;
  code.imageBase = 0xC0000000;
  code.sectionRva = 0x1000 + static_cast<uint32_t>(out.size() - 0x1000);
  while (out.size() < size) {
    const size_t chunk = std::min<size_t>(size - out.size(), rng.Range(200, 900));
    GenerateCode(rng, out, chunk, code);
    if (out.size() + 6 <= size) {
      Put8(out, 0xCD); Put8(out, 0x20); Put16(out, rng.Skewed(0x100)); Put16(out, 1 + rng.Skewed(0x30));
    }
  }
  out.resize(size, 0);
  return out;
}
