// The persisted integer settings, the wave presets, and the floating-point parameters the effect derives from them.
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
  std::int32_t Picture = 0;                // the plug-in's window modes: 0 = the frame enlarged, 1 = smooth
};

// The values of DisplayMode; any other value a hand-edited file holds counts as the first.
constexpr std::int32_t kDisplayModeChain = 0;
constexpr std::int32_t kDisplayModeEffectOnly = 1;
constexpr std::int32_t kDisplayModeWindow = 2;
constexpr std::int32_t kDisplayModeDocked = 3;

// The values of Picture; any other value a hand-edited file holds counts as the first.
constexpr std::int32_t kPictureClassic = 0;
constexpr std::int32_t kPictureHd = 1;

struct WavePreset {
  std::int32_t Amplitude;
  std::int32_t ShiftPower;
};

// Rows 1..4, selected by RadioIndex; row 0 is unused (RadioIndex 0 selects the custom pair). Row 1 ("Very Soft",
// for quiet music) gives the strongest response, row 4 ("Very Loud") the calmest.
extern const WavePreset WavePresets[5];

// The wave pair the settings select: the preset row for RadioIndex 1..4, the custom pair for 0 and for any other
// value a hand-edited file may hold. The only place that knows this rule.
WavePreset SelectedWave(const EffectSettings& settings);

struct EffectParams {
  float WaveGain = 0;
  std::int32_t WaveShift = 0;
  float PaletteStep = 0;
  float FadeBias = 0;
  float FadeGain = 0;
  float FadeExponent = 0;
};

// The derived parameters, each product formed in double and rounded once to float.
EffectParams DeriveEffectParams(const EffectSettings& settings);
// The inverse for the palette speed and the three fade settings (the settings dialog shows its sliders from the
// parameters); the other fields of `settings` stay.
void SettingsFromParams(const EffectParams& params, EffectSettings& settings);
