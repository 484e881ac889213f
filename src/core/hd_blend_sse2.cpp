// The blend in SSE2: four pixels at a time, their weights formed side by side, each pixel's two texel pairs
// multiplied and added channel by channel.
#include "core/hd_blend.h"

#if TAVELMIR_SSE2

namespace {

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
  const __m128i sum = _mm_add_epi32(_mm_madd_epi16(here, _mm_shuffle_epi32(hereWeights, kSpread)),
                                    _mm_madd_epi16(there, _mm_shuffle_epi32(thereWeights, kSpread)));
  return _mm_srli_epi32(_mm_add_epi32(sum, _mm_set1_epi32(kHdRound)), kHdShift);
}

// Four pixels as 16 bytes of 4-byte pixels.
inline __m128i BlendFour(const std::uint64_t* pairs, const std::uint32_t* entries) {
  const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(entries));
  const __m128i across32 = _mm_srli_epi32(e, 24);
  const __m128i down32 = _mm_and_si128(_mm_srli_epi32(e, 16), _mm_set1_epi32(0xFF));
  const __m128i across = _mm_packs_epi32(across32, across32), down = _mm_packs_epi32(down32, down32);
  const __m128i stay = _mm_sub_epi16(_mm_set1_epi16(kHdWeightOne), across);
  const __m128i hereBelow = _mm_mullo_epi16(stay, down);
  const __m128i here = _mm_sub_epi16(_mm_slli_epi16(stay, 7), hereBelow);
  const __m128i thereBelow = _mm_mullo_epi16(across, down);
  const __m128i there = _mm_sub_epi16(_mm_slli_epi16(across, 7), thereBelow);
  const __m128i hereWeights = _mm_unpacklo_epi16(here, hereBelow);  // per pixel: here | hereBelow << 16
  const __m128i thereWeights = _mm_unpacklo_epi16(there, thereBelow);
  const __m128i s0 = PixelSum<0>(pairs, entries, hereWeights, thereWeights);
  const __m128i s1 = PixelSum<1>(pairs, entries, hereWeights, thereWeights);
  const __m128i s2 = PixelSum<2>(pairs, entries, hereWeights, thereWeights);
  const __m128i s3 = PixelSum<3>(pairs, entries, hereWeights, thereWeights);
  return _mm_packus_epi16(_mm_packs_epi32(s0, s1), _mm_packs_epi32(s2, s3));
}

// Rows in groups of four pixels; a row's last group, when short, goes through a scratch copy so that nothing past
// the row is written. The map has room for the group read past its last entry.
template <int kBytes>
void DrawRows(const std::uint64_t* pairs, const HdDrawJob& job) {
  const int width = job.width, whole = width & ~3;
  const std::uint32_t* map = job.map;
  std::uint8_t* out = job.out;
  for (int y = 0; y < job.height; ++y, map += width, out += job.pitch) {
    std::uint8_t* pixel = out;
    int x = 0;
    for (; x < whole; x += 4, pixel += 4 * kBytes) {
      const __m128i four = BlendFour(pairs, map + x);
      if constexpr (kBytes == 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixel), four);
      else
        StoreFourAsRgb(pixel, four);
    }
    if (x < width) {
      alignas(16) std::uint32_t words[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(words), BlendFour(pairs, map + x));
      for (int k = 0; x < width; ++x, ++k, pixel += kBytes) std::memcpy(pixel, &words[k], kBytes);
    }
  }
}

}  // namespace

void InterleaveHdRowPairs(const std::uint32_t* texels, std::uint64_t* pairs) {
  for (std::size_t i = 0; i < kHdImageTexels; i += 4) {
    const __m128i these = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + i));
    const __m128i below = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + i + 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pairs + i), _mm_unpacklo_epi8(these, below));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pairs + i + 2), _mm_unpackhi_epi8(these, below));
  }
}

TAVELMIR_ALIGN_STACK void DrawHdSse2(const std::uint64_t* pairs, const HdDrawJob& job) {
  if (job.bytesPerPixel == 4)
    DrawRows<4>(pairs, job);
  else
    DrawRows<3>(pairs, job);
}

#endif
