// Win32 resources of the generated modules, in the formats the resource compiler writes: the
// .rsrc directory tree, version information, string tables, dialog templates, menus, icons,
// toolbar bitmaps and compressed pictures.
#include <algorithm>
#include <map>

#include "tools/product/pe_parts.h"

namespace {

constexpr uint16_t kRtBitmap = 2, kRtIcon = 3, kRtMenu = 4, kRtDialog = 5, kRtString = 6,
                   kRtRcdata = 10, kRtGroupIcon = 14, kRtVersion = 16;

void PutDirectory(Bytes& out, uint16_t idEntries) {
  Put32(out, 0);  // characteristics
  Put32(out, 0);  // time stamp
  Put32(out, 0);  // version
  Put16(out, 0);  // named entries
  Put16(out, idEntries);
}

// One node of a version resource: wLength, wValueLength, wType, key, value, children, each
// starting on a 32-bit boundary relative to the resource.
Bytes VersionNode(const std::string& key, const Bytes& value, uint16_t valueLength, uint16_t type,
                  const std::vector<Bytes>& children) {
  Bytes node;
  Put16(node, 0);
  Put16(node, valueLength);
  Put16(node, type);
  PutUtf16(node, key, true);
  PadTo(node, 4, 0);
  node.insert(node.end(), value.begin(), value.end());
  for (const Bytes& child : children) {
    PadTo(node, 4, 0);
    node.insert(node.end(), child.begin(), child.end());
  }
  Patch16(node, 0, static_cast<uint32_t>(node.size()));
  return node;
}

Bytes VersionString(const std::string& key, const std::string& text) {
  Bytes value;
  PutUtf16(value, text, true);
  return VersionNode(key, value, static_cast<uint16_t>(text.size() + 1), 1, {});
}

}  // namespace

Bytes BuildResourceSection(const std::vector<Resource>& resources, uint32_t sectionRva) {
  std::map<uint16_t, std::map<uint16_t, const Bytes*>> byType;
  for (const Resource& r : resources) byType[r.type][r.id] = &r.data;
  // Directory sizes first: root, one per type, one per name (its language), then data entries.
  size_t dirSize = 16 + 8 * byType.size();
  size_t count = 0;
  for (const auto& [type, names] : byType) {
    dirSize += 16 + 8 * names.size();
    count += names.size();
  }
  const size_t languageDirs = dirSize;
  const size_t dataEntries = languageDirs + count * (16 + 8);
  size_t dataOffset = dataEntries + count * 16;

  Bytes out;
  PutDirectory(out, static_cast<uint16_t>(byType.size()));
  size_t typeDir = 16 + 8 * byType.size();
  for (const auto& [type, names] : byType) {
    Put32(out, type);
    Put32(out, 0x80000000u | static_cast<uint32_t>(typeDir));
    typeDir += 16 + 8 * names.size();
  }
  size_t index = 0;
  for (const auto& [type, names] : byType) {
    PutDirectory(out, static_cast<uint16_t>(names.size()));
    for (const auto& [id, data] : names) {
      Put32(out, id);
      Put32(out, 0x80000000u | static_cast<uint32_t>(languageDirs + index++ * 24));
    }
  }
  index = 0;
  for (const auto& [type, names] : byType) {
    for (size_t i = 0; i < names.size(); ++i) {
      PutDirectory(out, 1);
      Put32(out, 0x409);
      Put32(out, static_cast<uint32_t>(dataEntries + index++ * 16));
    }
  }
  std::vector<const Bytes*> order;
  for (const auto& [type, names] : byType) {
    for (const auto& [id, data] : names) {
      Put32(out, sectionRva + static_cast<uint32_t>(dataOffset));
      Put32(out, static_cast<uint32_t>(data->size()));
      Put32(out, 0);  // code page
      Put32(out, 0);
      dataOffset += (data->size() + 3) & ~size_t{3};
      order.push_back(data);
    }
  }
  for (const Bytes* data : order) {
    out.insert(out.end(), data->begin(), data->end());
    PadTo(out, 4, 0);
  }
  return out;
}

void AddVersionResource(std::vector<Resource>& out, const std::string& fileName, const std::string& description) {
  Bytes fixed;
  Put32(fixed, 0xFEEF04BD);  // VS_FIXEDFILEINFO signature
  Put32(fixed, 0x00010000);  // structure version
  Put32(fixed, 0x00050000);  // file version 5.0.0.112
  Put32(fixed, 0x00000070);
  Put32(fixed, 0x00050000);  // product version 5.0
  Put32(fixed, 0x00000000);
  Put32(fixed, 0x3F);        // flags mask
  Put32(fixed, 0);
  Put32(fixed, 0x00040004);  // VOS_NT_WINDOWS32
  Put32(fixed, fileName.find(".exe") != std::string::npos ? 1 : 2);  // VFT_APP / VFT_DLL
  Put32(fixed, 0);
  Put32(fixed, 0);
  Put32(fixed, 0);
  const std::string base = fileName.substr(0, fileName.find('.'));
  const Bytes table = VersionNode("040904E4", {}, 0, 1,
                                  {VersionString("CompanyName", "KELM Software"),
                                   VersionString("FileDescription", description),
                                   VersionString("FileVersion", "5.0.0.112"),
                                   VersionString("InternalName", base),
                                   VersionString("LegalCopyright", "Copyright (C) 1994-1999 KELM Software"),
                                   VersionString("OriginalFilename", fileName),
                                   VersionString("ProductName", "Tarnwick Pro"),
                                   VersionString("ProductVersion", "5.0")});
  Bytes translation;
  Put16(translation, 0x409);
  Put16(translation, 0x4E4);
  const Bytes info = VersionNode("VS_VERSION_INFO", fixed, 52, 0,
                                 {VersionNode("StringFileInfo", {}, 0, 1, {table}),
                                  VersionNode("VarFileInfo", {}, 0, 1,
                                              {VersionNode("Translation", translation, 4, 0, {})})});
  out.push_back({kRtVersion, 1, info});
}

void AddStringTables(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId) {
  size_t used = 0;
  for (uint16_t block = static_cast<uint16_t>(firstId / 16 + 1); used < budget; ++block) {
    Bytes data;
    for (int i = 0; i < 16; ++i) {
      std::string text;
      const uint32_t kind = rng.Below(10);
      if (rng.PerMille(120)) text = "";
      else if (kind < 4) text = Phrase(rng, static_cast<int>(rng.Range(1, 4)));
      else if (kind < 8) text = Sentence(rng);
      else text = Sentence(rng) + " " + Capitalised(Word(rng)) + " %s " + Word(rng) + " %d " + Word(rng) + ".";
      Put16(data, static_cast<uint32_t>(text.size()));
      PutUtf16(data, text, false);
    }
    used += data.size();
    out.push_back({kRtString, block, data});
  }
}

void AddDialogs(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId) {
  size_t used = 0;
  for (uint16_t id = firstId; used < budget; ++id) {
    Bytes d;
    const uint32_t controls = rng.Range(3, 24);
    const uint32_t cx = 40 * rng.Range(4, 8), cy = 20 * rng.Range(4, 12);
    Put32(d, 0x80C800C8);  // DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
    Put32(d, 0);
    Put16(d, controls);
    Put16(d, 0); Put16(d, 0); Put16(d, cx); Put16(d, cy);
    Put16(d, 0);  // no menu
    Put16(d, 0);  // default class
    PutUtf16(d, Phrase(rng, static_cast<int>(rng.Range(1, 3))), true);
    Put16(d, 8);
    PutUtf16(d, "MS Sans Serif", true);
    uint32_t y = 7;
    for (uint32_t c = 0; c < controls; ++c) {
      PadTo(d, 4, 0);
      static const uint16_t classes[] = {0x82, 0x80, 0x81, 0x80, 0x85, 0x83};  // static, button, edit, combo, list
      const uint16_t cls = classes[rng.Skewed(6)];
      static const uint32_t styles[] = {0x50000000, 0x50010000, 0x50010003, 0x50010009, 0x50810080, 0x50010001};
      Put32(d, styles[rng.Skewed(6)]);
      Put32(d, 0);
      Put16(d, 7 + 60 * rng.Below(3)); Put16(d, y); Put16(d, 50 * rng.Range(1, 4)); Put16(d, cls == 0x83 ? 60 : 14);
      y = y + 18 > cy ? 7 : y + 18;
      Put16(d, cls == 0x82 ? 0xFFFF : 1000 + c + 10 * rng.Below(20));
      Put16(d, 0xFFFF);
      Put16(d, cls);
      if (cls == 0x81 || cls == 0x83 || cls == 0x85) PutUtf16(d, "", true);
      else PutUtf16(d, (cls == 0x82 ? Phrase(rng, static_cast<int>(rng.Range(1, 6))) + ":" : "&" + Phrase(rng, static_cast<int>(rng.Range(1, 3)))), true);
      Put16(d, 0);  // no creation data
    }
    used += d.size();
    out.push_back({kRtDialog, id, d});
  }
}

void AddMenus(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId) {
  size_t used = 0;
  for (uint16_t id = firstId; used < budget; ++id) {
    Bytes m;
    Put16(m, 0);
    Put16(m, 0);
    const uint32_t popups = rng.Range(2, 8);
    uint16_t command = 40001;
    for (uint32_t p = 0; p < popups; ++p) {
      Put16(m, 0x10 | (p + 1 == popups ? 0x80 : 0));  // MF_POPUP, MF_END on the last
      PutUtf16(m, "&" + Capitalised(Word(rng)), true);
      const uint32_t items = rng.Range(3, 14);
      for (uint32_t i = 0; i < items; ++i) {
        Put16(m, i + 1 == items ? 0x80 : 0);
        Put16(m, command++);
        PutUtf16(m, Phrase(rng, static_cast<int>(rng.Range(1, 3))) + (rng.PerMille(300) ? "...\tCtrl+" + std::string(1, static_cast<char>('A' + rng.Below(26))) : ""), true);
      }
    }
    used += m.size();
    out.push_back({kRtMenu, id, m});
  }
}

Bytes DrawIconImage(Rng& rng, int width, int bitsPerPixel) {
  static const uint32_t vga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  const int colours = bitsPerPixel == 4 ? 16 : 256;
  const int xorStride = ((width * bitsPerPixel + 31) / 32) * 4;
  const int andStride = ((width + 31) / 32) * 4;
  Bytes img;
  Put32(img, 40); Put32(img, width); Put32(img, 2 * width); Put16(img, 1); Put16(img, bitsPerPixel);
  Put32(img, 0); Put32(img, (xorStride + andStride) * width); Put32(img, 0); Put32(img, 0); Put32(img, 0); Put32(img, 0);
  for (int i = 0; i < colours; ++i) {
    const uint32_t rgb = i < 16 ? vga[i] : ((i * 37) & 0xFF) << 16 | ((i * 91) & 0xFF) << 8 | ((i * 53) & 0xFF);
    Put32(img, rgb);
  }
  // A page or folder shape: a filled rectangle with an outline and a circular badge.
  const int x0 = static_cast<int>(rng.Below(width / 4)), y0 = static_cast<int>(rng.Below(width / 4));
  const int x1 = width - 1 - static_cast<int>(rng.Below(width / 4)), y1 = width - 1 - static_cast<int>(rng.Below(width / 4));
  const int fill = static_cast<int>(rng.Range(1, colours - 1)), edge = static_cast<int>(rng.Below(9));
  const int cx = static_cast<int>(rng.Below(width)), cy = static_cast<int>(rng.Below(width)), r = width / 4;
  const int badge = static_cast<int>(rng.Range(1, colours - 1));
  std::vector<int> pixels(static_cast<size_t>(width * width), -1);
  for (int y = 0; y < width; ++y) {
    for (int x = 0; x < width; ++x) {
      int c = -1;
      if (x >= x0 && x <= x1 && y >= y0 && y <= y1) c = (x == x0 || x == x1 || y == y0 || y == y1) ? edge : fill;
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) c = badge;
      if (c == fill && bitsPerPixel == 8 && ((x + y) & 3) == 0) c = fill ^ 1;  // shading
      pixels[static_cast<size_t>(y * width + x)] = c;
    }
  }
  for (int y = 0; y < width; ++y) {
    Bytes row(static_cast<size_t>(xorStride), 0);
    for (int x = 0; x < width; ++x) {
      const int c = std::max(pixels[static_cast<size_t>(y * width + x)], 0);
      if (bitsPerPixel == 8) row[static_cast<size_t>(x)] = static_cast<uint8_t>(c);
      else row[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(x % 2 ? c : c << 4);
    }
    img.insert(img.end(), row.begin(), row.end());
  }
  for (int y = 0; y < width; ++y) {
    Bytes row(static_cast<size_t>(andStride), 0);
    for (int x = 0; x < width; ++x) {
      if (pixels[static_cast<size_t>(y * width + x)] < 0) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    img.insert(img.end(), row.begin(), row.end());
  }
  return img;
}

void AddIcons(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId) {
  size_t used = 0;
  uint16_t imageId = 1;
  for (const Resource& r : out) {
    if (r.type == kRtIcon) imageId = std::max<uint16_t>(imageId, static_cast<uint16_t>(r.id + 1));
  }
  for (uint16_t group = firstId; used < budget; ++group) {
    static const int sizes[][2] = {{32, 4}, {16, 4}, {32, 8}, {16, 8}, {48, 8}};
    const uint32_t images = rng.Range(1, 5);
    Bytes dir;
    Put16(dir, 0); Put16(dir, 1); Put16(dir, images);
    for (uint32_t i = 0; i < images; ++i) {
      const Bytes img = DrawIconImage(rng, sizes[i][0], sizes[i][1]);
      Put8(dir, sizes[i][0]); Put8(dir, sizes[i][0]); Put8(dir, sizes[i][1] == 4 ? 16 : 0); Put8(dir, 0);
      Put16(dir, 1); Put16(dir, sizes[i][1]); Put32(dir, static_cast<uint32_t>(img.size())); Put16(dir, imageId);
      out.push_back({kRtIcon, imageId++, img});
      used += img.size();
    }
    out.push_back({kRtGroupIcon, group, dir});
  }
}

void AddToolbarBitmaps(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId) {
  size_t used = 0;
  for (uint16_t id = firstId; used < budget; ++id) {
    const int buttons = static_cast<int>(rng.Range(4, 32)), height = 15, width = 16 * buttons;
    const int stride = ((width * 4 + 31) / 32) * 4;
    Bytes bmp;
    Put32(bmp, 40); Put32(bmp, width); Put32(bmp, height); Put16(bmp, 1); Put16(bmp, 4);
    Put32(bmp, 0); Put32(bmp, stride * height); Put32(bmp, 0); Put32(bmp, 0); Put32(bmp, 16); Put32(bmp, 0);
    for (int i = 0; i < 16; ++i) Put32(bmp, (i & 1 ? 0x800000 : 0) | (i & 2 ? 0x008000 : 0) | (i & 4 ? 0x000080 : 0) | (i & 8 ? 0x7F7F7F : 0));
    std::vector<uint32_t> shape(static_cast<size_t>(buttons));
    for (auto& s : shape) s = static_cast<uint32_t>(rng.Next());
    for (int y = 0; y < height; ++y) {
      Bytes row(static_cast<size_t>(stride), 0x77);  // button face grey
      for (int x = 0; x < width; ++x) {
        const uint32_t s = shape[static_cast<size_t>(x / 16)];
        const int bx = x % 16;
        const int left = 2 + static_cast<int>(s % 5), top = 2 + static_cast<int>((s >> 3) % 4);
        int c = 7;
        if (bx >= left && bx < 14 && y >= top && y < 13) c = static_cast<int>((s >> 8) % 15) + 1;
        if (bx == left || y == top) c = 0;
        row[static_cast<size_t>(x / 2)] = static_cast<uint8_t>(x % 2 ? (row[static_cast<size_t>(x / 2)] & 0xF0) | c : (row[static_cast<size_t>(x / 2)] & 0x0F) | c << 4);
      }
      bmp.insert(bmp.end(), row.begin(), row.end());
    }
    used += bmp.size();
    out.push_back({kRtBitmap, id, bmp});
  }
}

void AddPictures(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId) {
  size_t used = 0;
  for (uint16_t id = firstId; used < budget; ++id) {
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    const size_t size = std::min<size_t>(budget - used, rng.Range(6000, 90000));
    PutRandom(rng, jpeg, size);
    jpeg.push_back(0xFF);
    jpeg.push_back(0xD9);
    used += jpeg.size();
    out.push_back({kRtRcdata, id, jpeg});
  }
}
