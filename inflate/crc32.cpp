// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320). On processors with carry-less
// multiplication (PCLMULQDQ, found at run time) runs of 64 bytes or more are folded 64 bytes
// per step with it, and runs of 256 bytes or more 128 bytes per step where the processor also
// multiplies 256-bit registers (VPCLMULQDQ with AVX2) and the system saves them; otherwise, and
// for the rest, sixteen bytes per step ("slicing by 16"): table k maps a byte to its CRC
// contribution k bytes further on.
#include <array>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define CRC32_FOLDING 1
#endif

#include "inflate/inflate.h"

namespace {

constexpr int Slices = 16;
using CrcTables = std::array<std::array<uint32_t, 256>, Slices>;

constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n)
    for (int k = 1; k < Slices; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  return t;
}
constexpr CrcTables crcTables = MakeCrcTables();
static_assert(crcTables[0][1] == 0x77073096u);

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);  // little-endian targets only (x86 host and Windows)
  return v;
}

// The contribution of the four bytes of word, the last of them k bytes before the end of a
// 16-byte step.
uint32_t Slice4(uint32_t word, int k) {
  return crcTables[k + 3][word & 0xFF] ^ crcTables[k + 2][(word >> 8) & 0xFF] ^
         crcTables[k + 1][(word >> 16) & 0xFF] ^ crcTables[k][word >> 24];
}

#if CRC32_FOLDING
// Folding with carry-less multiplication (Intel, "Fast CRC Computation for Generic Polynomials
// Using PCLMULQDQ Instruction", 2009), in the bit-reflected domain: four 128-bit lanes are each
// folded 512 bits ahead, then into one lane, then reduced to 32 bits (Barrett). c is the
// running CRC (inverted, as in the tables' loop); size is a multiple of 16, at least 64.
#define FOLDING_TARGET __attribute__((target("pclmul,sse2")))

FOLDING_TARGET inline __m128i Load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// x times k: the low half by the low constant plus the high half by the high one.
FOLDING_TARGET inline __m128i Fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

// Folding constants: x^(n) mod P, bit-reflected and shifted left by one, for a fold n - 32 and
// n + 32 bits ahead (the low and the high half of a 128-bit lane).
#define FOLD_128 0x00ccaa009e, 0x01751997d0    // one lane ahead
#define FOLD_512 0x01c6e41596, 0x0154442bd4    // four 128-bit lanes ahead
#define FOLD_256 0x015a546366, 0x00f1da05aa    // one 256-bit lane ahead
#define FOLD_1024 0x014a7fe880, 0x01e88ef372   // four 256-bit lanes ahead

// The end of every fold: x holds the folded bits so far; the size bytes at data (a multiple of
// 16) are folded in 16 at a time; then the 128 bits are reduced to 64, and to 32 (Barrett).
FOLDING_TARGET inline uint32_t FinishFold(__m128i x1, const uint8_t* data, size_t size) {
  const __m128i k3k4 = _mm_set_epi64x(FOLD_128);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  for (; size >= 16; data += 16, size -= 16) x1 = _mm_xor_si128(Fold(x1, k3k4), Load128(data));

  // 128 bits to 64, then to 32 by Barrett reduction.
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), _mm_srli_si128(x1, 4));
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
  x1 = _mm_xor_si128(x1, t);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x1, 4)));
}

FOLDING_TARGET uint32_t FoldCrc32(uint32_t c, const uint8_t* data, size_t size) {
  const __m128i k1k2 = _mm_set_epi64x(FOLD_512);
  const __m128i k3k4 = _mm_set_epi64x(FOLD_128);
  __m128i x1 = _mm_xor_si128(Load128(data), _mm_cvtsi32_si128(static_cast<int>(c)));
  __m128i x2 = Load128(data + 16), x3 = Load128(data + 32), x4 = Load128(data + 48);
  data += 64;
  size -= 64;
  for (; size >= 64; data += 64, size -= 64) {
    x1 = _mm_xor_si128(Fold(x1, k1k2), Load128(data));
    x2 = _mm_xor_si128(Fold(x2, k1k2), Load128(data + 16));
    x3 = _mm_xor_si128(Fold(x3, k1k2), Load128(data + 32));
    x4 = _mm_xor_si128(Fold(x4, k1k2), Load128(data + 48));
  }
  x1 = _mm_xor_si128(Fold(x1, k3k4), x2);
  x1 = _mm_xor_si128(Fold(x1, k3k4), x3);
  x1 = _mm_xor_si128(Fold(x1, k3k4), x4);
  return FinishFold(x1, data, size);
}

// The same with four 256-bit lanes, each holding two 128-bit lanes folded alike; size is a
// multiple of 16, at least 128.
#define WIDE_FOLDING_TARGET __attribute__((target("avx2,vpclmulqdq,pclmul,sse2")))

WIDE_FOLDING_TARGET inline __m256i Load256(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
WIDE_FOLDING_TARGET inline __m256i Fold256(__m256i x, __m256i k) {
  return _mm256_xor_si256(_mm256_clmulepi64_epi128(x, k, 0x00), _mm256_clmulepi64_epi128(x, k, 0x11));
}

WIDE_FOLDING_TARGET uint32_t FoldCrc32Wide(uint32_t c, const uint8_t* data, size_t size) {
  const __m256i k1024 = _mm256_set_epi64x(FOLD_1024, FOLD_1024);
  const __m256i k256 = _mm256_set_epi64x(FOLD_256, FOLD_256);
  const __m128i k3k4 = _mm_set_epi64x(FOLD_128);
  __m256i x1 = _mm256_xor_si256(Load256(data), _mm256_set_epi32(0, 0, 0, 0, 0, 0, 0, static_cast<int>(c)));
  __m256i x2 = Load256(data + 32), x3 = Load256(data + 64), x4 = Load256(data + 96);
  data += 128;
  size -= 128;
  for (; size >= 128; data += 128, size -= 128) {
    x1 = _mm256_xor_si256(Fold256(x1, k1024), Load256(data));
    x2 = _mm256_xor_si256(Fold256(x2, k1024), Load256(data + 32));
    x3 = _mm256_xor_si256(Fold256(x3, k1024), Load256(data + 64));
    x4 = _mm256_xor_si256(Fold256(x4, k1024), Load256(data + 96));
  }
  x1 = _mm256_xor_si256(Fold256(x1, k256), x2);
  x1 = _mm256_xor_si256(Fold256(x1, k256), x3);
  x1 = _mm256_xor_si256(Fold256(x1, k256), x4);
  // The low 128-bit lane holds the earlier bytes: it is folded onto the high one.
  const __m128i x = _mm_xor_si128(Fold(_mm256_castsi256_si128(x1), k3k4), _mm256_extracti128_si256(x1, 1));
  return FinishFold(x, data, size);
}

#ifdef _WIN32
// kernel32's GetVersion, declared here so that this file stays free of <windows.h>.
extern "C" __declspec(dllimport) unsigned long __stdcall GetVersion();

// Windows 95 does not save the SSE registers across task switches, so an SSE instruction faults
// there whatever the processor offers; Windows 98 and the NT family save them.
bool SystemSavesSseState() {
  const unsigned long version = GetVersion();
  const bool family95 = (version & 0x80000000UL) != 0;
  const unsigned major = version & 0xFF, minor = (version >> 8) & 0xFF;
  return !(family95 && major == 4 && minor < 10);
}
#else
bool SystemSavesSseState() { return true; }
#endif

// The two checks stay functions of their own (not inlined into the static initialiser), so that the
// check of the shipped programs' instructions finds CPUID and XGETBV where it expects them.
[[gnu::noinline]] bool HasFolding() {
  unsigned eax, ebx, ecx, edx;
  if (!SystemSavesSseState()) return false;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (ecx & bit_PCLMUL) && (edx & bit_SSE2);
}
const bool hasFolding = HasFolding();

// The 256-bit folding needs AVX2 and VPCLMULQDQ, and a system that saves the 256-bit registers
// (XCR0 bits 1 and 2, readable when OSXSAVE is set).
[[gnu::noinline]] bool HasWideFolding() {
  unsigned eax, ebx, ecx, edx;
  if (!hasFolding || !__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  if (!(ecx & bit_OSXSAVE) || !(ecx & bit_AVX)) return false;
  unsigned xcr0, xcr0High;
  __asm__ volatile("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
  if ((xcr0 & 6) != 6) return false;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  return (ebx & bit_AVX2) && (ecx & bit_VPCLMULQDQ);
}
const bool hasWideFolding = HasWideFolding();
#endif

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
  uint32_t c = ~crc;
#if CRC32_FOLDING
  if (size >= 64 && hasFolding) {
    const size_t folded = size & ~size_t{15};
    c = size >= 256 && hasWideFolding ? FoldCrc32Wide(c, data, folded) : FoldCrc32(c, data, folded);
    data += folded;
    size -= folded;
  }
#endif
  while (size >= Slices) {
    c = Slice4(Load32(data) ^ c, 12) ^ Slice4(Load32(data + 4), 8) ^ Slice4(Load32(data + 8), 4) ^
        Slice4(Load32(data + 12), 0);
    data += Slices;
    size -= Slices;
  }
  while (size--) c = crcTables[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
  return ~c;
}
