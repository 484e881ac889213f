// The per-pixel blend of the tunnel at a picture's own size, shared by its plain, SSE2 and AVX2 forms, which give
// the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/hd_tunnel_map.h"
#include "core/stack_alignment.h"

#if TAVELMIR_SSE2
#include <emmintrin.h>
#endif

constexpr std::size_t kHdImageTexels = 65536;
// A Nearest entry on the last row of the last column reads one texel past the image, with a weight of 0.
constexpr std::size_t kHdTexelPadding = 4;
// The vector forms read the map eight entries at a time, the last group past the last pixel.
constexpr std::size_t kHdMapPadding = 7;

// The four weights of an entry, in 16384ths: (column, row), (column, next row), (next column, row),
// (next column, next row). Each is at most 16384, so it fits a signed 16-bit lane.
struct HdWeights {
  std::uint32_t here, hereBelow, there, thereBelow;
};
inline HdWeights HdEntryWeights(std::uint32_t entry) {
  const auto down = static_cast<std::uint32_t>(HdEntryRowWeight(entry));
  const auto across = static_cast<std::uint32_t>(HdEntryColumnWeight(entry));
  const std::uint32_t stay = kHdWeightOne - across;
  HdWeights w;
  w.hereBelow = stay * down;
  w.here = stay * kHdWeightOne - w.hereBelow;
  w.thereBelow = across * down;
  w.there = across * kHdWeightOne - w.thereBelow;
  return w;
}
// Each channel: (sum of texel x weight + kHdRound) >> kHdShift.
constexpr std::uint32_t kHdRound = 1u << 13;
constexpr int kHdShift = 14;

// One picture's worth of work: the map and where the pixels go.
struct HdDrawJob {
  const std::uint32_t* map;
  int width, height;
  std::uint8_t* out;
  std::ptrdiff_t pitch;
  int bytesPerPixel;  // 3 or 4
};

// Texels in output colours, one word each, kHdImageTexels + kHdTexelPadding of them.
void DrawHdPlain(const std::uint32_t* texels, const HdDrawJob& job);

#if TAVELMIR_SSE2
// Texel i beside texel i + 1 (the next row of its column), interleaved byte by byte, so that one 8-byte load
// widened to 16 bits holds each channel of both, ready for a multiply-add by their two weights.
void InterleaveHdRowPairs(const std::uint32_t* texels, std::uint64_t* pairs);
void DrawHdSse2(const std::uint64_t* pairs, const HdDrawJob& job);

// Four 4-byte pixels as twelve bytes, each pixel's fourth byte dropped.
inline void StoreFourAsRgb(std::uint8_t* pixel, __m128i four) {
#if defined(__x86_64__)
  // Two pixels a 64-bit word: three bytes of each close up, then eight bytes and four go out.
  const auto squeeze = [](std::uint64_t two) { return (two & 0xFFFFFFu) | (two >> 8 & 0xFFFFFF000000u); };
  const std::uint64_t first = squeeze(static_cast<std::uint64_t>(_mm_cvtsi128_si64(four)));
  const std::uint64_t second = squeeze(static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(four, four))));
  const std::uint64_t head = first | second << 48;
  const auto tail = static_cast<std::uint32_t>(second >> 16);
  std::memcpy(pixel, &head, 8);
  std::memcpy(pixel + 8, &tail, 4);
#else
  alignas(16) std::uint8_t bytes[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(bytes), four);
  for (int k = 0; k < 4; ++k) std::memcpy(pixel + 3 * k, bytes + 4 * k, 3);
#endif
}
#endif

// AVX2 on 64-bit builds of processors that have it: eight pixels at a time. (The 32-bit plug-in keeps to SSE2: its
// compiler cannot keep 32-byte values aligned on a stack the host may leave 4-byte aligned.)
#if TAVELMIR_SSE2 && defined(__x86_64__)
#define TAVELMIR_HD_AVX2 1
bool HdAvx2Available();
void DrawHdAvx2(const std::uint64_t* pairs, const HdDrawJob& job);
#else
#define TAVELMIR_HD_AVX2 0
#endif
