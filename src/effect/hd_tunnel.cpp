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

#if TAVELMIR_SSE2
// The blend of each byte lane: one multiply-add per pair of texels, channel by channel.
inline std::uint32_t BlendEntry(const std::uint32_t* texels, std::uint32_t entry) {
  const std::uint32_t index = HdEntryIndex(entry);
  const std::uint32_t next = (index + 256) & 0xFFFFu;
  const Weights w = EntryWeights(entry);
  const __m128i zero = _mm_setzero_si128();
  // Two texels of a column, row and next row, side by side; interleaved byte by byte so that each 16-bit pair
  // holds one channel of both.
  const __m128i here = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(texels + index));
  const __m128i there = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(texels + next));
  const __m128i herePairs = _mm_unpacklo_epi8(_mm_unpacklo_epi8(here, _mm_srli_epi64(here, 32)), zero);
  const __m128i therePairs = _mm_unpacklo_epi8(_mm_unpacklo_epi8(there, _mm_srli_epi64(there, 32)), zero);
  const __m128i hereWeights = _mm_set1_epi32(static_cast<int>(w.here | w.hereBelow << 16));
  const __m128i thereWeights = _mm_set1_epi32(static_cast<int>(w.there | w.thereBelow << 16));
  __m128i sum = _mm_add_epi32(_mm_madd_epi16(herePairs, hereWeights), _mm_madd_epi16(therePairs, thereWeights));
  sum = _mm_srli_epi32(_mm_add_epi32(sum, _mm_set1_epi32(kRound)), kShift);
  sum = _mm_packs_epi32(sum, sum);
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
}
#else
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
#endif

template <int kBytes>
void DrawRows(const std::uint32_t* texels, const std::uint32_t* map, int width, int height, std::uint8_t* out,
              std::ptrdiff_t pitch) {
  for (int y = 0; y < height; ++y, map += width, out += pitch) {
    std::uint8_t* pixel = out;
    if constexpr (kBytes == 4) {
      for (int x = 0; x < width; ++x, pixel += 4) {
        const std::uint32_t word = BlendEntry(texels, map[x]);
        std::memcpy(pixel, &word, 4);
      }
    } else {
      // Whole words, each overlapping the next pixel, which overwrites the fourth byte; the row's last pixel
      // takes only its three.
      for (int x = 0; x + 1 < width; ++x, pixel += 3) {
        const std::uint32_t word = BlendEntry(texels, map[x]);
        std::memcpy(pixel, &word, 4);
      }
      const std::uint32_t word = BlendEntry(texels, map[width - 1]);
      std::memcpy(pixel, &word, 3);
    }
  }
}

}  // namespace

HdTunnel::HdTunnel() : texels_(kImageTexels + kTexelPadding, 0) {}

bool HdTunnel::Prepare(int width, int height, const HdView& view, HdSampling sampling) {
  if (width < 1 || height < 1 || width > kHdMaximumWidth || height > kHdMaximumHeight) {
    width_ = height_ = 0;
    return false;
  }
  map_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
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
  if (bytesPerPixel == 4)
    DrawRows<4>(texels, map_.data(), width_, height_, out, pitch);
  else
    DrawRows<3>(texels, map_.data(), width_, height_, out, pitch);
}
