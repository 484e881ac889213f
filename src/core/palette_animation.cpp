// The palette animation: blends the display palette from one palette of the set to the next.
#include "core/palette_animation.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

bool AnimatePalette(const FrameInputs& in, FrameCounters& counters, FrameOutput& out) {
  const std::int32_t n = in.PaletteCount;
  const std::uint8_t* const set = in.PaletteSet;
  const bool blended = set && n >= 1;
  if (blended) {
    const double product = static_cast<double>(n) * counters.PalettePhase;

    // Palette a = trunc(product) mod n, taken through fmod so that the conversion is defined for any phase
    // (fmod is exact); a non-finite product shows palette 0.
    double whole = std::fmod(std::trunc(product), static_cast<double>(n));
    if (!std::isfinite(whole)) whole = 0;
    std::int32_t a = static_cast<std::int32_t>(whole);
    const float rounded = static_cast<float>(product);
    double f = std::isfinite(rounded) ? std::fmod(static_cast<double>(rounded), 1.0) : 0.0;
    // A falling phase (negative speed from a hand-edited plugin.ini) lands below a whole palette: step back to
    // the palette before and blend forward from it, so a stays in 0..n-1 and every blend stays between its
    // two colours.
    if (f < 0) {
      f += 1.0;
      a -= 1;
    }
    if (a < 0) a += n;
    const std::int32_t b = (a + 1) % n;

    const std::uint8_t* const from = set + static_cast<std::size_t>(a) * 1024;
    const std::uint8_t* const to = set + static_cast<std::size_t>(b) * 1024;
    for (int k = 0; k < 256; ++k) {
      std::uint8_t* const entry = out.PaletteEntries + kPaletteEntryBytes * k;
      const std::uint8_t* const p = from + 4 * k;
      const std::uint8_t* const q = to + 4 * k;
      entry[0] = static_cast<std::uint8_t>(static_cast<int>(p[0] + f * (q[0] - p[0])));
      entry[1] = static_cast<std::uint8_t>(static_cast<int>(p[1] + f * (q[1] - p[1])));
      entry[2] = static_cast<std::uint8_t>(static_cast<int>(p[2] + f * (q[2] - p[2])));
    }
  }
  const float next = counters.PalettePhase + in.Params.PaletteStep;
  counters.PalettePhase = next;
  return blended;
}
