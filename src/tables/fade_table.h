// The fade table: computing "TavelDat\fade.dat" from the reference palette, and loading it.
#pragma once
#include <cstdint>

#include "platform/platform.h"
#include "settings/settings_types.h"

// Computes the table from the reference palette and EffectParams and writes the file; progress goes to
// `progressBar` as PBM_SETPOS. 0 = written whole; 1 = any failure.
int BuildFadeTable(HWND progressBar);
// 0 = the 65536-byte file was read whole into `table`; 1 otherwise.
int LoadFadeTable(std::uint8_t* table);

// The computation itself: out[c * 256 + s] = the lowest index of the reference colour nearest to colour c
// scaled by the shade factor of step s. Sends the progress positions to `progressBar` (none when it is null).
void FillFadeTable(const PALETTEENTRY reference[256], const EffectParams& params, std::uint8_t* out, HWND progressBar);

// Shade factor of step s: (s * (float)(1/255))^FadeExponent * FadeGain + FadeBias, in double precision.
double FadeFactor(const EffectParams& params, int step);

// A scaled colour byte: truncated toward zero, then its low 8 bits (so 378 wraps to 122). Values beyond the
// 32-bit range saturate to it first (+inf and huge values give 255, -inf 0), NaN gives 0.
std::uint8_t ScaledColourByte(double value);
