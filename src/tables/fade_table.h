// The fade table: computing "TavelDat\fade.dat" from the reference palette, and loading it.
#pragma once
#include <cstdint>

#include "platform/platform.h"
#include "settings/settings_types.h"

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

// Computes the table from the reference palette and `params` and writes the file.
FadeBuildStatus BuildFadeTable(const EffectParams& params, const FadeProgress& progress);
// 0 = the 65536-byte file was read whole into `table`; 1 otherwise.
int LoadFadeTable(std::uint8_t* table);

// The computation itself: out[c * 256 + s] = the lowest index of the reference colour nearest to colour c
// scaled by the shade factor of step s.
void FillFadeTable(const PALETTEENTRY reference[256], const EffectParams& params, std::uint8_t* out,
                   const FadeProgress& progress = {});

// Shade factor of step s: (s * (float)(1/255))^FadeExponent * FadeGain + FadeBias, in double precision.
double FadeFactor(const EffectParams& params, int step);

// A scaled colour byte: truncated toward zero, then its low 8 bits (so 378 wraps to 122). Values beyond the
// 32-bit range saturate to it first (+inf and huge values give 255, -inf 0), NaN gives 0.
std::uint8_t ScaledColourByte(double value);
