// Baseline copy of today's landscape stage, for the frame benchmark only (see baseline_frame.h).

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "effect/stack_alignment.h"

#include "baseline/baseline_frame.h"

namespace baseline {

namespace {

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

// The same column without a branch per sample. Every sample stores 16 bytes of its colour at top, visible or
// not, and top then moves up to y. Bytes at or above top are always written again later (by a later visible
// run, which starts at or below them, or by the final zero fill), so the last store to every byte is the one
// the exact drawing makes. Stores run up to 15 bytes past the column, so the caller keeps this away from the
// image's last column.
inline void DrawColumnOverlapping(const DepthSteps& steps, const std::uint8_t* heights, const std::uint8_t* texels,
                                  const std::uint8_t* fade, std::uint8_t* column) {
  unsigned top = 0;
  for (int s = 0; s < 256; ++s) {
    const unsigned h = heights[s];
    const unsigned y = static_cast<std::uint8_t>(steps.base[s] + steps.scaled[s][h]);
    const __m128i colour = _mm_load_si128(reinterpret_cast<const __m128i*>(kSpread.lanes[fade[texels[s] * 256u + h]]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(column + top), colour);
    if (y > top + 16) {  // long runs: the first few near steps of a column
      for (unsigned r = top + 16; r < y; r += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(column + r), colour);
    }
    top = y > top ? y : top;
  }
  const __m128i zero = _mm_setzero_si128();
  for (unsigned r = top; r < 256; r += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(column + r), zero);
}
#endif

}  // namespace

TAVELMIR_ALIGN_STACK int RenderLandscape(const TableSet& t, std::uint32_t textureOffset) {
  DepthSteps steps;
  for (int s = 0; s < 256; ++s) {
    steps.base[s] = t.PerspectiveTable[2 * s];
    steps.scaled[s] = t.ConversionTable + t.PerspectiveTable[2 * s + 1] * 256;
  }
  const std::uint8_t* const fade = t.FadeTable;

  // The offset is 0..65535 by construction; the mask keeps the last texel read inside the doubled texture.
  const std::uint8_t* texels = t.TextureMap + (textureOffset & 0xFFFFu);
  const std::uint8_t* heights = t.HeightMap;
  std::uint8_t* column = t.LandscapeImage;
  for (int c = 0; c < 255; ++c, heights += 256, texels += 256, column += 256) {
#if TAVELMIR_SSE2
    DrawColumnOverlapping(steps, heights, texels, fade, column);
#else
    DrawColumnExactly(steps, heights, texels, fade, column);
#endif
  }
  DrawColumnExactly(steps, heights, texels, fade, column);
  return 0;
}

}  // namespace baseline
