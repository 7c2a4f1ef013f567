// make-pictures OUTDIR: draws the setup program's banner (banner.bmp, 160 x 280, 4 bits per
// pixel) and icon (setup.ico, 32 x 32, 16 colours) into OUTDIR. The pictures are drawn from
// code alone, so every build produces the same bytes.
//
// Banner: a dithered gradient from dark blue to dark cyan, the product name in a small pixel
// font, and a stylised folder tree with one selected entry. Icon: a yellow folder with a "T".
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "common/little_endian.h"

namespace {

// The 16 colours of the standard Windows palette, in palette order.
enum Colour : uint8_t {
  Black, DarkRed, DarkGreen, DarkYellow, DarkBlue, DarkMagenta, DarkCyan, LightGrey,
  Grey, Red, Green, Yellow, Blue, Magenta, Cyan, White
};
constexpr uint8_t Palette[16][3] = {  // red, green, blue
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// A picture of palette indexes, row 0 at the top.
struct Canvas {
  int width, height;
  std::vector<uint8_t> pixels;
  Canvas(int w, int h, uint8_t fill) : width(w), height(h), pixels(size_t(w) * h, fill) {}
  void Set(int x, int y, uint8_t c) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[size_t(y) * width + x] = c;
  }
  uint8_t Get(int x, int y) const { return pixels[size_t(y) * width + x]; }
  void Fill(int x, int y, int w, int h, uint8_t c) {
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) Set(i, j, c);
  }
  void Frame(int x, int y, int w, int h, uint8_t c) {
    Fill(x, y, w, 1, c);
    Fill(x, y + h - 1, w, 1, c);
    Fill(x, y, 1, h, c);
    Fill(x + w - 1, y, 1, h, c);
  }
};

// 5 x 7 glyphs of the few characters the pictures use; '#' marks a set pixel.
struct Glyph {
  char ch;
  const char* rows[7];
};
constexpr Glyph Font[] = {
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {'n', {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"}},
    {'w', {".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."}},
    {'i', {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."}},
    {'c', {".....", ".....", ".###.", "#....", "#....", "#...#", ".###."}},
    {'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};

const Glyph* FindGlyph(char ch) {
  for (const Glyph& g : Font)
    if (g.ch == ch) return &g;
  return nullptr;
}

// Width in pixels of text drawn at the given scale (one blank column between characters).
int TextWidth(const char* text, int scale) {
  int n = int(strlen(text));
  return n == 0 ? 0 : (n * 6 - 1) * scale;
}

void DrawText(Canvas& c, int x, int y, int scale, uint8_t colour, const char* text) {
  for (; *text; ++text, x += 6 * scale) {
    const Glyph* g = FindGlyph(*text);
    if (!g) continue;
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col)
        if (g->rows[row][col] == '#') c.Fill(x + col * scale, y + row * scale, scale, scale, colour);
  }
}

// Text with a drop shadow, centred horizontally.
void DrawTitle(Canvas& c, int y, int scale, uint8_t colour, const char* text) {
  int x = (c.width - TextWidth(text, scale)) / 2;
  DrawText(c, x + scale - 1, y + scale - 1, scale, Black, text);
  DrawText(c, x, y, scale, colour, text);
}

// Ordered dithering between two palette colours: level 0..16 of the second colour.
constexpr uint8_t Bayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

void DrawGradient(Canvas& c, uint8_t top, uint8_t bottom) {
  for (int y = 0; y < c.height; ++y) {
    int level = y * 17 / c.height;  // 0..16
    for (int x = 0; x < c.width; ++x) c.Set(x, y, Bayer4[y & 3][x & 3] < level ? bottom : top);
  }
}

// A folder of 20 x 15 pixels with its top-left corner at (x, y).
void DrawFolder(Canvas& c, int x, int y) {
  c.Fill(x + 1, y + 1, 7, 3, Yellow);  // tab
  c.Frame(x, y, 9, 4, Black);
  c.Fill(x + 1, y + 4, 18, 10, Yellow);  // body
  c.Frame(x, y + 3, 20, 12, Black);
  c.Fill(x + 1, y + 4, 18, 1, White);        // light on the upper edge
  c.Fill(x + 1, y + 11, 18, 3, DarkYellow);  // shaded front flap
}

void DottedHLine(Canvas& c, int x0, int x1, int y, uint8_t colour) {
  for (int x = x0; x <= x1; ++x)
    if ((x + y) % 2 == 0) c.Set(x, y, colour);
}
void DottedVLine(Canvas& c, int x, int y0, int y1, uint8_t colour) {
  for (int y = y0; y <= y1; ++y)
    if ((x + y) % 2 == 0) c.Set(x, y, colour);
}

Canvas DrawBanner() {
  Canvas c(160, 280, DarkBlue);
  DrawGradient(c, DarkBlue, DarkCyan);
  DrawTitle(c, 18, 3, White, "Tarnwick");
  DrawTitle(c, 50, 3, Yellow, "Pro 5.0");
  c.Fill(16, 84, 128, 1, LightGrey);

  // The tree: one root, three children, two grandchildren under the second child.
  struct Row { int level, labelLength; bool selected; };
  constexpr Row rows[] = {{0, 52, false}, {1, 40, false}, {1, 48, true},
                          {2, 30, false}, {2, 38, false}, {1, 44, false}};
  constexpr int top = 100, step = 26, indent = 24, left = 14;
  int lastChildY = 0, lastGrandchildY = 0;
  for (int i = 0; i < int(std::size(rows)); ++i) {
    const Row& r = rows[i];
    int x = left + r.level * indent, y = top + i * step;
    if (r.level == 1) lastChildY = y;
    if (r.level == 2) lastGrandchildY = y;
    if (r.level > 0) DottedHLine(c, x - indent + 6, x - 2, y + 9, LightGrey);
    DrawFolder(c, x, y);
    int labelX = x + 25, labelY = y + 8;
    if (r.selected) {
      c.Fill(labelX - 3, labelY - 4, r.labelLength + 6, 11, Blue);
      c.Fill(labelX, labelY, r.labelLength, 3, White);
    } else {
      c.Fill(labelX, labelY, r.labelLength, 3, LightGrey);
    }
  }
  DottedVLine(c, left + 6, top + 16, lastChildY + 9, LightGrey);
  DottedVLine(c, left + indent + 6, top + 2 * step + 16, lastGrandchildY + 9, LightGrey);
  c.Fill(16, 264, 128, 1, LightGrey);
  return c;
}

// The icon: a folder filling most of the square, with a dark blue "T" on its front.
// Pixels outside the folder are transparent (mask[y][x] = 1).
Canvas DrawIcon(std::vector<uint8_t>& mask) {
  Canvas c(32, 32, Black);
  Canvas shape(32, 32, 0);
  auto paint = [&](int x, int y, int w, int h, uint8_t colour) {
    c.Fill(x, y, w, h, colour);
    shape.Fill(x, y, w, h, 1);
  };
  paint(2, 4, 12, 5, Black);  // tab outline
  paint(3, 5, 10, 4, Yellow);
  paint(1, 8, 30, 22, Black);  // body outline
  paint(2, 9, 28, 20, Yellow);
  paint(2, 9, 28, 1, White);
  paint(2, 25, 28, 4, DarkYellow);
  DrawText(c, 11, 11, 2, DarkBlue, "T");
  mask.assign(32 * 32, 1);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) mask[size_t(y) * 32 + x] = shape.Get(x, y) ? 0 : 1;
  return c;
}

// BITMAPINFOHEADER (40 bytes) with the 16-colour palette; height as given (doubled for icons).
void PutInfoHeader(std::string& out, int width, int height, uint32_t imageSize) {
  Put32(out, 40);
  Put32(out, uint32_t(width));
  Put32(out, uint32_t(height));
  Put16(out, 1);  // planes
  Put16(out, 4);  // bits per pixel
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 16);  // colours used
  Put32(out, 0);
  for (const auto& p : Palette) {
    out += char(p[2]);
    out += char(p[1]);
    out += char(p[0]);
    out += char(0);
  }
}

// Packed 4-bit rows, bottom row first, each row padded to 4 bytes.
std::string PackPixels(const Canvas& c) {
  std::string out;
  int rowBytes = ((c.width + 1) / 2 + 3) / 4 * 4;
  for (int y = c.height - 1; y >= 0; --y) {
    std::string row(size_t(rowBytes), '\0');
    for (int x = 0; x < c.width; ++x)
      row[size_t(x / 2)] = char(uint8_t(row[size_t(x / 2)]) | (x % 2 ? c.Get(x, y) : c.Get(x, y) << 4));
    out += row;
  }
  return out;
}

std::string MakeBmp(const Canvas& c) {
  std::string pixels = PackPixels(c);
  uint32_t offset = 14 + 40 + 64;
  std::string out = "BM";
  Put32(out, offset + uint32_t(pixels.size()));
  Put32(out, 0);
  Put32(out, offset);
  PutInfoHeader(out, c.width, c.height, uint32_t(pixels.size()));
  return out + pixels;
}

std::string MakeIco(const Canvas& c, const std::vector<uint8_t>& mask) {
  std::string image;
  std::string pixels = PackPixels(c);
  std::string andMask;  // 1 bit per pixel, bottom row first, rows of 4 bytes
  for (int y = c.height - 1; y >= 0; --y)
    for (int byte = 0; byte < 4; ++byte) {
      uint8_t bits = 0;
      for (int bit = 0; bit < 8; ++bit)
        if (mask[size_t(y) * 32 + byte * 8 + bit]) bits |= uint8_t(0x80 >> bit);
      andMask += char(bits);
    }
  PutInfoHeader(image, c.width, c.height * 2, uint32_t(pixels.size() + andMask.size()));
  image += pixels + andMask;

  std::string out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // icon
  Put16(out, 1);  // one image
  out += char(32);
  out += char(32);
  out += char(16);  // colours
  out += char(0);
  Put16(out, 1);  // planes
  Put16(out, 4);  // bits per pixel
  Put32(out, uint32_t(image.size()));
  Put32(out, 6 + 16);
  return out + image;
}

bool WriteFile(const std::string& path, const std::string& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make-pictures OUTDIR\n");
    return 2;
  }
  std::string dir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  std::vector<uint8_t> mask;
  Canvas icon = DrawIcon(mask);
  if (!WriteFile(dir + "/banner.bmp", MakeBmp(DrawBanner())) || !WriteFile(dir + "/setup.ico", MakeIco(icon, mask))) {
    perror(dir.c_str());
    return 1;
  }
  return 0;
}
