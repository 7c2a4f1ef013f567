// Screenshots as SaveScreenshot writes them (24-bit BMP, rows bottom-up), read back so that a
// test can look at single pixels.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

struct Picture {
  int width = 0, height = 0;
  size_t stride = 0, offset = 0;
  std::vector<unsigned char> data;
  bool Load(const char* path) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    unsigned char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + n);
    fclose(file);
    if (data.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return false;
    BITMAPFILEHEADER fileHeader;
    BITMAPINFOHEADER info;
    memcpy(&fileHeader, data.data(), sizeof fileHeader);
    memcpy(&info, data.data() + sizeof fileHeader, sizeof info);
    if (info.biBitCount != 24 || info.biHeight <= 0) return false;
    width = info.biWidth;
    height = info.biHeight;
    stride = (size_t(width) * 3 + 3) & ~size_t(3);
    offset = fileHeader.bfOffBits;
    return data.size() >= offset + stride * size_t(height);
  }
  // Red, green and blue of the pixel at (x, y), y counted from the top.
  const unsigned char* At(int x, int y) const {
    static const unsigned char outside[3] = {0, 0, 0};
    if (x < 0 || y < 0 || x >= width || y >= height) return outside;
    return &data[offset + size_t(height - 1 - y) * stride + size_t(x) * 3];  // blue, green, red
  }
  bool Is(int x, int y, int red, int green, int blue) const {
    const unsigned char* p = At(x, y);
    return p[2] == red && p[1] == green && p[0] == blue;
  }
};

