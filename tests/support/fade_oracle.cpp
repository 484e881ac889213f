// The fade table computed the plain way, as a reference for the fast search.
#include "support/fade_oracle.h"

#include "numeric/exact_math.h"
#include "tables/fade_table.h"

void LiteralFadeTable(const PALETTEENTRY reference[256], const EffectParams& params, std::uint8_t* out) {
  for (int c = 0; c < 256; ++c) {
    const int red = reference[c].peRed, green = reference[c].peGreen, blue = reference[c].peBlue;
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
        const int dr = reference[j].peRed - r, dg = reference[j].peGreen - g, db = reference[j].peBlue - b;
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
