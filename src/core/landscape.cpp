// The voxel landscape: each image column traced front to back over the height map, filled bottom-up.
#include "core/landscape.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/stack_alignment.h"

namespace {

#if TAVELMIR_SSE2
// Each byte value repeated 16 times, so that a fill needs one load rather than a broadcast.
struct alignas(16) SpreadBytes {
  std::uint8_t lanes[256][16];
};
constexpr SpreadBytes kSpread = [] {
  SpreadBytes spread{};
  for (int v = 0; v < 256; ++v)
    for (int k = 0; k < 16; ++k) spread.lanes[v][k] = static_cast<std::uint8_t>(v);
  return spread;
}();

// For every byte m, the positions of its set bits, lowest first, and how many there are: turns a visibility
// mask into a list of depth steps without a branch per bit.
struct BitPositions {
  std::uint8_t at[256][8];
  std::uint8_t count[256];
};
constexpr BitPositions kBitPositions = [] {
  BitPositions positions{};
  for (int m = 0; m < 256; ++m) {
    int n = 0;
    for (int bit = 0; bit < 8; ++bit)
      if (m & (1 << bit)) positions.at[m][n++] = static_cast<std::uint8_t>(bit);
    positions.count[m] = static_cast<std::uint8_t>(n);
  }
  return positions;
}();

// The perspective pairs split into vectors: 16-bit factors to multiply the heights by (see ScaledHeights), and
// the ground rows.
struct alignas(16) DepthRows {
  std::uint16_t factor[256];
  std::uint8_t base[256];
};

// floor(scale * h / 255), what the ConversionTable holds, for heights h in 16-bit lanes. Up to a scale of 254 it
// is the high half of h * (scale * 257 + 1), exactly for every byte h; the real tables' scales are at most 119.
// A scale of 255 (only in made-up tables) takes the general form, with the scale itself as the factor: the high
// half of (scale * h) * 0x8081, shifted right by 7, which is exact for every product of two bytes.
template <bool kFullScale>
inline __m128i ScaledHeights(__m128i h, const std::uint16_t* factor) {
  const __m128i f = _mm_load_si128(reinterpret_cast<const __m128i*>(factor));
  if constexpr (kFullScale) {
    return _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(h, f), _mm_set1_epi16(static_cast<short>(0x8081))), 7);
  } else {
    return _mm_mulhi_epu16(h, f);
  }
}

inline __m128i Load16(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

// Byte lane 15 of v in every lane.
inline __m128i SpreadLastByte(__m128i v) {
  return _mm_shuffle_epi32(_mm_shufflehi_epi16(_mm_unpackhi_epi8(v, v), 0xFF), 0xFF);
}

// Byte-wise maximum of v and v moved up by 1, 2, 4 and 8 lanes: lane k holds the maximum of lanes 0 .. k.
inline __m128i PrefixMax(__m128i v) {
  v = _mm_max_epu8(v, _mm_slli_si128(v, 1));
  v = _mm_max_epu8(v, _mm_slli_si128(v, 2));
  v = _mm_max_epu8(v, _mm_slli_si128(v, 4));
  return _mm_max_epu8(v, _mm_slli_si128(v, 8));
}

// One column in two passes, neither with a branch per sample. The first forms the rows y of all 256 samples,
// sixteen at a time, with the ConversionTable's products computed (ScaledHeights). A sample is visible when its y is
// above the running maximum of the rows before it (top), so a prefix maximum across the lanes gives sixteen
// visibility bits at once, and they become a list of the visible depth steps. The second pass draws only those
// (a fifth of the samples or fewer): each run ends at its own y and starts at the previous visible sample's,
// and each is written with 16-byte stores from its start. A store reaching past the run's end is overwritten
// later by the next run or by the final zero fill, since both start at or below it, so every byte ends up as
// the exact drawing makes it. Stores reach up to 31 bytes past the column, which the caller must allow for.
template <bool kFullScale>
inline void DrawColumnVisible(const DepthRows& rows, const std::uint8_t* heights, const std::uint8_t* texels,
                              const std::uint8_t* fade, std::uint8_t* column) {
  alignas(16) std::uint8_t ys[256];
  alignas(16) std::uint16_t shades[256];  // FadeTable index of every sample: texel * 256 + h
  std::uint8_t visible[256 + 8];          // room for the last 8-byte copy of positions
  int count = 0;
  const __m128i zero = _mm_setzero_si128();
  __m128i top = zero;  // in every lane
  __m128i at = zero;   // the group's first depth step, in every lane
  const __m128i eight = _mm_set1_epi8(8);
  for (int g = 0; g < 256; g += 16) {
    const __m128i h = Load16(heights + g);
    const __m128i texel = Load16(texels + g);
    _mm_store_si128(reinterpret_cast<__m128i*>(shades + g), _mm_unpacklo_epi8(h, texel));
    _mm_store_si128(reinterpret_cast<__m128i*>(shades + g + 8), _mm_unpackhi_epi8(h, texel));
    const __m128i lo = ScaledHeights<kFullScale>(_mm_unpacklo_epi8(h, zero), rows.factor + g);
    const __m128i hi = ScaledHeights<kFullScale>(_mm_unpackhi_epi8(h, zero), rows.factor + g + 8);
    const __m128i y =
        _mm_add_epi8(_mm_packus_epi16(lo, hi), _mm_load_si128(reinterpret_cast<const __m128i*>(rows.base + g)));
    _mm_store_si128(reinterpret_cast<__m128i*>(ys + g), y);
    const __m128i before = _mm_max_epu8(PrefixMax(_mm_slli_si128(y, 1)), top);
    const __m128i hidden = _mm_cmpeq_epi8(_mm_max_epu8(y, before), before);
    const unsigned mask = ~static_cast<unsigned>(_mm_movemask_epi8(hidden));
    top = SpreadLastByte(_mm_max_epu8(y, before));
    const unsigned low = mask & 0xFF, high = (mask >> 8) & 0xFF;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(visible + count),
                     _mm_add_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(kBitPositions.at[low])), at));
    count += kBitPositions.count[low];
    at = _mm_add_epi8(at, eight);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(visible + count),
                     _mm_add_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(kBitPositions.at[high])), at));
    count += kBitPositions.count[high];
    at = _mm_add_epi8(at, eight);
  }

  unsigned from = 0;
  const auto draw = [&](unsigned s) {
    const unsigned y = ys[s];
    const __m128i colour = _mm_load_si128(reinterpret_cast<const __m128i*>(kSpread.lanes[fade[shades[s]]]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(column + from), colour);
    if (y > from + 16) {  // only near steps rise this far
      for (unsigned r = from + 16; r < y; r += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(column + r), colour);
    }
    from = y;
  };
  int i = 0;
  for (; i + 2 <= count; i += 2) {
    draw(visible[i]);
    draw(visible[i + 1]);
  }
  if (i < count) draw(visible[i]);
  // With the real tables at most 17 rows are left; a loop here would become a call to memset.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(column + from), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(column + from + 16), zero);
  if (from + 32 < 256) std::memset(column + from + 32, 0, 256 - (from + 32));
}
// Every column of the image.
template <bool kFullScale>
void DrawColumns(const DepthRows& rows, const std::uint8_t* heights, const std::uint8_t* texels,
                 const std::uint8_t* fade, std::uint8_t* column) {
  for (int c = 0; c < 255; ++c, heights += 256, texels += 256, column += 256)
    DrawColumnVisible<kFullScale>(rows, heights, texels, fade, column);
  // The last column's stores would run past the image.
  alignas(16) std::uint8_t last[256 + 32];
  DrawColumnVisible<kFullScale>(rows, heights, texels, fade, last);
  std::memcpy(column, last, 256);
}
#else
// Per depth step: the flat-ground row and the ConversionTable row of its height scale, so that the inner loop
// does no multiplication. Table bases live here, in locals, for the whole call.
struct DepthSteps {
  std::uint8_t base[256];
  const std::uint8_t* scaled[256];
};

// One column through a single forward write position with byte fills: rows top .. y-1 take the colour of each
// sample that rises above top, rows top .. 255 are 0 at the end.
inline void DrawColumnExactly(const DepthSteps& steps, const std::uint8_t* heights, const std::uint8_t* texels,
                              const std::uint8_t* fade, std::uint8_t* column) {
  std::uint8_t* write = column;
  unsigned top = 0;
  for (int s = 0; s < 256; ++s) {
    const unsigned h = heights[s];
    const unsigned y = static_cast<std::uint8_t>(steps.base[s] + steps.scaled[s][h]);
    if (y > top) {
      std::memset(write, fade[texels[s] * 256u + h], y - top);
      write = column + y;
      top = y;
    }
  }
  std::memset(write, 0, 256 - top);
}
#endif

}  // namespace

TAVELMIR_ALIGN_STACK void RenderLandscape(const TableSet& t, std::uint32_t textureOffset) {
  const std::uint8_t* const fade = t.FadeTable;
  // The offset is 0..65535 by construction; the mask keeps the last texel read inside the doubled texture.
  const std::uint8_t* texels = t.TextureMap + (textureOffset & 0xFFFFu);
  const std::uint8_t* heights = t.HeightMap;
  std::uint8_t* column = t.LandscapeImage;
#if TAVELMIR_SSE2
  DepthRows rows;
  bool fullScale = false;
  for (int s = 0; s < 256; ++s) fullScale = fullScale || t.PerspectiveTable[2 * s + 1] == 255;
  for (int s = 0; s < 256; ++s) {
    const unsigned scale = t.PerspectiveTable[2 * s + 1];
    rows.base[s] = t.PerspectiveTable[2 * s];
    rows.factor[s] = static_cast<std::uint16_t>(fullScale ? scale : scale * 257 + 1);
  }
  if (fullScale)
    DrawColumns<true>(rows, heights, texels, fade, column);
  else
    DrawColumns<false>(rows, heights, texels, fade, column);
#else
  DepthSteps steps;
  for (int s = 0; s < 256; ++s) {
    steps.base[s] = t.PerspectiveTable[2 * s];
    steps.scaled[s] = t.ConversionTable + t.PerspectiveTable[2 * s + 1] * 256;
  }
  for (int c = 0; c < 256; ++c, heights += 256, texels += 256, column += 256)
    DrawColumnExactly(steps, heights, texels, fade, column);
#endif
}
