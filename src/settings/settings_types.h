// The persisted integer settings, the wave presets and the floating-point parameters derived from them.
#pragma once
#include <cstdint>

struct EffectSettings {
  std::int32_t RadioIndex = 2;             // 0 = custom pair, 1..4 = preset row
  std::int32_t WaveAmplitude = 133;        // custom pair, 0..255
  std::int32_t WaveShiftPower = 7;         // custom pair, 0..8
  std::int32_t WaveAttenuationRate = 5;    // 0..8
  std::int32_t PaletteAnimationSpeed = 0;  // 0..255
  std::int32_t FadeOffset = 51;            // 0..255
  std::int32_t FadeAmplitude = 104;        // 0..255
  std::int32_t FadePower = 176;            // 0..255, 192 = exponent 1
  std::int32_t UseTexture = 0;             // 0 or 1
  char TextureName[260] = {};              // path of the texture bitmap
  std::int32_t DisplayMode = 0;            // 0 = full screen with fall-backs, 1 = 320 x 200 x 8 only, 2 = window,
                                           // 3 = docked in the player's frame
};

// The values of DisplayMode; any other value a hand-edited file holds counts as the first.
constexpr std::int32_t kDisplayModeChain = 0;
constexpr std::int32_t kDisplayModeEffectOnly = 1;
constexpr std::int32_t kDisplayModeWindow = 2;
constexpr std::int32_t kDisplayModeDocked = 3;

struct WavePreset {
  std::int32_t Amplitude;
  std::int32_t ShiftPower;
};

// Rows 1..4, selected by RadioIndex; row 0 is unused (RadioIndex 0 selects the custom pair).
extern const WavePreset WavePresets[5];

struct EffectParams {
  float WaveGain = 0;
  std::int32_t WaveShift = 0;
  float PaletteStep = 0;
  float FadeBias = 0;
  float FadeGain = 0;
  float FadeExponent = 0;
};
