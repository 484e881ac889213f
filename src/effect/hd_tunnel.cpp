// The tunnel at a picture's own size: the landscape is turned into output colours once per frame (256 KiB, which
// stays in the second-level cache), then every pixel blends the four texels its map entry names, in fixed point.
#include "effect/hd_tunnel.h"

#include <cstring>

#include "effect/stack_alignment.h"

#if TAVELMIR_SSE2
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t kImageTexels = 65536;
// A Nearest entry on the last row of the last column reads one texel past the image, with a weight of 0.
constexpr std::size_t kTexelPadding = 4;
// The vector code reads the map four entries at a time, the last group past the last pixel.
constexpr std::size_t kMapPadding = 3;

// The four weights of an entry, in 16384ths: (column, row), (column, next row), (next column, row),
// (next column, next row). Each is at most 16384, so it fits a signed 16-bit lane.
struct Weights {
  std::uint32_t here, hereBelow, there, thereBelow;
};
inline Weights EntryWeights(std::uint32_t entry) {
  const std::uint32_t down = static_cast<std::uint32_t>(HdEntryRowWeight(entry));
  const std::uint32_t across = static_cast<std::uint32_t>(HdEntryColumnWeight(entry));
  const std::uint32_t stay = kHdWeightOne - across;
  Weights w;
  w.hereBelow = stay * down;
  w.here = stay * kHdWeightOne - w.hereBelow;
  w.thereBelow = across * down;
  w.there = across * kHdWeightOne - w.thereBelow;
  return w;
}

constexpr std::uint32_t kRound = 1u << 13;
constexpr int kShift = 14;

// One pixel in plain integers: the portable build, and the reference the vector code must equal.
inline std::uint32_t BlendEntry(const std::uint32_t* texels, std::uint32_t entry) {
  const std::uint32_t index = HdEntryIndex(entry);
  const std::uint32_t next = (index + 256) & 0xFFFFu;
  const Weights w = EntryWeights(entry);
  const std::uint32_t a = texels[index], b = texels[index + 1], c = texels[next], d = texels[next + 1];
  std::uint32_t word = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const std::uint32_t sum = (a >> shift & 0xFFu) * w.here + (b >> shift & 0xFFu) * w.hereBelow +
                              (c >> shift & 0xFFu) * w.there + (d >> shift & 0xFFu) * w.thereBelow;
    word |= ((sum + kRound) >> kShift) << shift;
  }
  return word;
}

template <int kBytes>
inline void StorePixel(std::uint8_t* pixel, std::uint32_t word) {
  std::memcpy(pixel, &word, kBytes);
}

#if TAVELMIR_SSE2
// Texel i and texel i + 1 (the next row of the same column) interleaved byte by byte, so that one 8-byte load
// widened to 16 bits holds each channel of both side by side, ready for a multiply-add by their two weights.
void InterleaveRowPairs(const std::uint32_t* texels, std::uint64_t* pairs) {
  for (std::size_t i = 0; i < kImageTexels; i += 4) {
    const __m128i these = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + i));
    const __m128i below = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + i + 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pairs + i), _mm_unpacklo_epi8(these, below));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pairs + i + 2), _mm_unpackhi_epi8(these, below));
  }
}

// Both texel pairs of one pixel times their weights, summed: each channel times 16384.
template <int kLane>
inline __m128i PixelSum(const std::uint64_t* pairs, const std::uint32_t* entries, __m128i hereWeights,
                        __m128i thereWeights) {
  const __m128i zero = _mm_setzero_si128();
  const std::uint32_t index = HdEntryIndex(entries[kLane]);
  const std::uint32_t next = (index + 256) & 0xFFFFu;
  const __m128i here = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pairs + index)), zero);
  const __m128i there = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pairs + next)), zero);
  constexpr int kSpread = kLane * 0x55;
  return _mm_add_epi32(_mm_madd_epi16(here, _mm_shuffle_epi32(hereWeights, kSpread)),
                       _mm_madd_epi16(there, _mm_shuffle_epi32(thereWeights, kSpread)));
}

// Four pixels: their weights formed side by side, then each pixel's two multiply-adds; 16 bytes of 4-byte pixels.
inline __m128i BlendFour(const std::uint64_t* pairs, const std::uint32_t* entries) {
  const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(entries));
  const __m128i low = _mm_set1_epi32(0xFF);
  const __m128i across32 = _mm_srli_epi32(e, 24), down32 = _mm_and_si128(_mm_srli_epi32(e, 16), low);
  const __m128i across = _mm_packs_epi32(across32, across32), down = _mm_packs_epi32(down32, down32);
  const __m128i stay = _mm_sub_epi16(_mm_set1_epi16(kHdWeightOne), across);
  const __m128i hereBelow = _mm_mullo_epi16(stay, down);
  const __m128i here = _mm_sub_epi16(_mm_slli_epi16(stay, 7), hereBelow);
  const __m128i thereBelow = _mm_mullo_epi16(across, down);
  const __m128i there = _mm_sub_epi16(_mm_slli_epi16(across, 7), thereBelow);
  const __m128i hereWeights = _mm_unpacklo_epi16(here, hereBelow);  // per pixel: here | hereBelow << 16
  const __m128i thereWeights = _mm_unpacklo_epi16(there, thereBelow);
  const __m128i round = _mm_set1_epi32(kRound);
  const __m128i s0 = _mm_srli_epi32(_mm_add_epi32(PixelSum<0>(pairs, entries, hereWeights, thereWeights), round), kShift);
  const __m128i s1 = _mm_srli_epi32(_mm_add_epi32(PixelSum<1>(pairs, entries, hereWeights, thereWeights), round), kShift);
  const __m128i s2 = _mm_srli_epi32(_mm_add_epi32(PixelSum<2>(pairs, entries, hereWeights, thereWeights), round), kShift);
  const __m128i s3 = _mm_srli_epi32(_mm_add_epi32(PixelSum<3>(pairs, entries, hereWeights, thereWeights), round), kShift);
  return _mm_packus_epi16(_mm_packs_epi32(s0, s1), _mm_packs_epi32(s2, s3));
}

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

// Rows in groups of four pixels; a row's last group, when short, goes through a scratch copy so that nothing past
// the row is written. The map has room for the group read past its last entry.
template <int kBytes>
void DrawRows(const std::uint64_t* pairs, const std::uint32_t* map, int width, int height, std::uint8_t* out,
              std::ptrdiff_t pitch) {
  const int whole = width & ~3;
  for (int y = 0; y < height; ++y, map += width, out += pitch) {
    std::uint8_t* pixel = out;
    int x = 0;
    for (; x < whole; x += 4, pixel += 4 * kBytes) {
      const __m128i four = BlendFour(pairs, map + x);
      if constexpr (kBytes == 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixel), four);
      } else {
        StoreFourAsRgb(pixel, four);
      }
    }
    if (x < width) {
      alignas(16) std::uint32_t words[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(words), BlendFour(pairs, map + x));
      for (int k = 0; x < width; ++x, ++k, pixel += kBytes) StorePixel<kBytes>(pixel, words[k]);
    }
  }
}
#else
template <int kBytes>
void DrawRows(const std::uint32_t* texels, const std::uint32_t* map, int width, int height, std::uint8_t* out,
              std::ptrdiff_t pitch) {
  for (int y = 0; y < height; ++y, map += width, out += pitch) {
    std::uint8_t* pixel = out;
    for (int x = 0; x < width; ++x, pixel += kBytes) StorePixel<kBytes>(pixel, BlendEntry(texels, map[x]));
  }
}
#endif

}  // namespace

HdTunnel::HdTunnel() : texels_(kImageTexels + kTexelPadding, 0), pairs_(kImageTexels + kTexelPadding, 0) {}

bool HdTunnel::Prepare(int width, int height, const HdView& view, HdSampling sampling) {
  if (width < 1 || height < 1 || width > kHdMaximumWidth || height > kHdMaximumHeight) {
    width_ = height_ = 0;
    return false;
  }
  map_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) + kMapPadding);
  FillHdTunnelMap(map_.data(), width, height, view, sampling);
  width_ = width;
  height_ = height;
  return true;
}

TAVELMIR_ALIGN_STACK void HdTunnel::Draw(const std::uint8_t* landscape, const std::uint32_t* colours,
                                         std::uint8_t* out, std::ptrdiff_t pitch, int bytesPerPixel) {
  if (width_ == 0) return;
  std::uint32_t* const texels = texels_.data();
  for (std::size_t i = 0; i < kImageTexels; ++i) texels[i] = colours[landscape[i]];
#if TAVELMIR_SSE2
  InterleaveRowPairs(texels, pairs_.data());
  const std::uint64_t* const source = pairs_.data();
#else
  const std::uint32_t* const source = texels;
#endif
  if (bytesPerPixel == 4)
    DrawRows<4>(source, map_.data(), width_, height_, out, pitch);
  else
    DrawRows<3>(source, map_.data(), width_, height_, out, pitch);
}
