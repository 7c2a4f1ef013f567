// Little-endian output for the build-time tools and the tests that write binary formats (ZIP
// headers, PE images, bitmaps). Out is a byte container with push_back: std::vector<uint8_t> or
// std::string. Portable.
#pragma once
#include <cstdint>

// Appends the low 16 bits of v, least significant byte first.
template <typename Out>
inline void Put16(Out& out, uint32_t v) {
  using Byte = typename Out::value_type;
  out.push_back(static_cast<Byte>(v & 0xFF));
  out.push_back(static_cast<Byte>((v >> 8) & 0xFF));
}

// Appends v, least significant byte first.
template <typename Out>
inline void Put32(Out& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
