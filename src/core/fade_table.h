// The fade table: for each colour of the reference palette and each of 256 shades, the nearest reference colour.
#pragma once
#include <cstdint>

#include "core/effect_settings.h"

constexpr std::int32_t kFadeTableBytes = 65536;

// How far the computation is: `done` colour rows of 256 are finished. Called with 0 .. 255 as each row starts,
// then with 256 once the table is complete.
struct FadeProgress {
  void (*Report)(void* context, int done) = nullptr;
  void* Context = nullptr;
};

enum FadeBuildStatus : int {
  kFadeBuilt = 0,
  kFadeNoReference = 1,  // "refrence.pal" missing, cut short or too long
  kFadeNoMemory = 2,
  kFadeNotWritten = 3,  // "fade.dat" could not be named or written whole
};

// out[c * 256 + s] = the lowest index of the reference colour nearest to colour c scaled by the shade factor of
// step s. `reference` holds 256 entries of red, green, blue, flags.
void FillFadeTable(const std::uint8_t reference[1024], const EffectParams& params, std::uint8_t* out,
                   const FadeProgress& progress = {});

// Whether a table computed for `a` serves `b`: the fade settings alone shape it.
bool SameFadeSettings(const EffectSettings& a, const EffectSettings& b);

// Shade factor of step s: (s * (float)(1/255))^FadeExponent * FadeGain + FadeBias, in double precision.
double FadeFactor(const EffectParams& params, int step);

// A scaled colour byte: truncated toward zero, then its low 8 bits (so 378 wraps to 122). Values beyond the
// 32-bit range saturate to it first (+inf and huge values give 255, -inf 0), NaN gives 0.
std::uint8_t ScaledColourByte(double value);
