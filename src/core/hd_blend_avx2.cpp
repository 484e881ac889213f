// The blend in AVX2: eight pixels at a time, pixel k and pixel k + 4 side by side in the two halves of a register,
// so that the weights formed for all eight spread to them with one shuffle.
#include "core/hd_blend.h"

#if TAVELMIR_HD_AVX2
#include <immintrin.h>

#define TAVELMIR_AVX2 __attribute__((target("avx2")))

namespace {

// One pixel's texel pair (8 bytes) in the low half, another's in the high half, widened to 16-bit lanes.
TAVELMIR_AVX2 inline __m256i TwoPairs(const std::uint64_t* pairs, std::uint32_t low, std::uint32_t high) {
  const __m128i both =
      _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pairs + low))),
                                    reinterpret_cast<const double*>(pairs + high)));
  return _mm256_cvtepu8_epi16(both);
}

// Pixels k and k + 4: both texel pairs of each times their weights, summed, rounded and shifted.
template <int kLane>
TAVELMIR_AVX2 inline __m256i PixelSums(const std::uint64_t* pairs, const std::uint32_t* entries, __m256i hereWeights,
                                       __m256i thereWeights) {
  const std::uint32_t a = HdEntryIndex(entries[kLane]), b = HdEntryIndex(entries[kLane + 4]);
  const __m256i here = TwoPairs(pairs, a, b);
  const __m256i there = TwoPairs(pairs, (a + 256) & 0xFFFFu, (b + 256) & 0xFFFFu);
  constexpr int kSpread = kLane * 0x55;
  const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(here, _mm256_shuffle_epi32(hereWeights, kSpread)),
                                       _mm256_madd_epi16(there, _mm256_shuffle_epi32(thereWeights, kSpread)));
  return _mm256_srli_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(kHdRound)), kHdShift);
}

// Eight pixels as 32 bytes of 4-byte pixels, in order.
TAVELMIR_AVX2 inline __m256i BlendEight(const std::uint64_t* pairs, const std::uint32_t* entries) {
  const __m256i e = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(entries));
  // Weights stay below 2^15 in 32-bit lanes, so 16-bit products are exact.
  const __m256i across = _mm256_srli_epi32(e, 24);
  const __m256i down = _mm256_and_si256(_mm256_srli_epi32(e, 16), _mm256_set1_epi32(0xFF));
  const __m256i stay = _mm256_sub_epi32(_mm256_set1_epi32(kHdWeightOne), across);
  const __m256i hereBelow = _mm256_mullo_epi16(stay, down);
  const __m256i here = _mm256_sub_epi32(_mm256_slli_epi32(stay, 7), hereBelow);
  const __m256i thereBelow = _mm256_mullo_epi16(across, down);
  const __m256i there = _mm256_sub_epi32(_mm256_slli_epi32(across, 7), thereBelow);
  const __m256i hereWeights = _mm256_or_si256(here, _mm256_slli_epi32(hereBelow, 16));
  const __m256i thereWeights = _mm256_or_si256(there, _mm256_slli_epi32(thereBelow, 16));
  const __m256i s0 = PixelSums<0>(pairs, entries, hereWeights, thereWeights);  // pixels 0 and 4
  const __m256i s1 = PixelSums<1>(pairs, entries, hereWeights, thereWeights);
  const __m256i s2 = PixelSums<2>(pairs, entries, hereWeights, thereWeights);
  const __m256i s3 = PixelSums<3>(pairs, entries, hereWeights, thereWeights);
  // Per half: 0 1 2 3, then 4 5 6 7.
  return _mm256_packus_epi16(_mm256_packs_epi32(s0, s1), _mm256_packs_epi32(s2, s3));
}

template <int kBytes>
TAVELMIR_AVX2 void DrawRows(const std::uint64_t* pairs, const HdDrawJob& job) {
  const int width = job.width, whole = width & ~7;
  const std::uint32_t* map = job.map;
  std::uint8_t* out = job.out;
  for (int y = 0; y < job.height; ++y, map += width, out += job.pitch) {
    std::uint8_t* pixel = out;
    int x = 0;
    for (; x < whole; x += 8, pixel += 8 * kBytes) {
      const __m256i eight = BlendEight(pairs, map + x);
      if constexpr (kBytes == 4) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixel), eight);
      } else {
        StoreFourAsRgb(pixel, _mm256_castsi256_si128(eight));
        StoreFourAsRgb(pixel + 12, _mm256_extracti128_si256(eight, 1));
      }
    }
    // A short last group through a scratch copy, so that nothing past the row is written; the map has room for
    // the entries read past its end.
    if (x < width) {
      alignas(32) std::uint32_t words[8];
      _mm256_store_si256(reinterpret_cast<__m256i*>(words), BlendEight(pairs, map + x));
      for (int k = 0; x < width; ++x, ++k, pixel += kBytes) std::memcpy(pixel, &words[k], kBytes);
    }
  }
  _mm256_zeroupper();
}

}  // namespace

bool HdAvx2Available() { return __builtin_cpu_supports("avx2"); }

TAVELMIR_AVX2 void DrawHdAvx2(const std::uint64_t* pairs, const HdDrawJob& job) {
  if (job.bytesPerPixel == 4)
    DrawRows<4>(pairs, job);
  else
    DrawRows<3>(pairs, job);
}

#endif
