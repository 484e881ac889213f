// The fade table computed the plain way, as a reference for the fast search.
#include "support/fade_oracle.h"

#include "numeric/exact_math.h"
#include "core/fade_table.h"

void LiteralFadeTable(const std::uint8_t reference[1024], const EffectParams& params, std::uint8_t* out) {
  for (int c = 0; c < 256; ++c) {
    const int red = reference[4 * c], green = reference[4 * c + 1], blue = reference[4 * c + 2];
    for (int s = 0; s < 256; ++s) {
      const double factor =
          ExactPow(s * static_cast<double>(0.003921568859368563f), params.FadeExponent) * params.FadeGain +
          params.FadeBias;
      const int r = ScaledColourByte(factor * red);
      const int g = ScaledColourByte(factor * green);
      const int b = ScaledColourByte(factor * blue);
      double best = 1e20;
      int nearest = 0;
      for (int j = 0; j < 256; ++j) {
        const int dr = reference[4 * j] - r, dg = reference[4 * j + 1] - g, db = reference[4 * j + 2] - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) {
          best = d;
          nearest = j;
        }
      }
      out[c * 256 + s] = static_cast<std::uint8_t>(nearest);
    }
  }
}
