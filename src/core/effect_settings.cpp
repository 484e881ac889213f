// The wave presets and the parameters derived from the settings, both ways.
#include "core/effect_settings.h"

#include <cmath>
#include <limits>

#include "numeric/exact_math.h"

const WavePreset WavePresets[5] = {{0, 0}, {178, 5}, {153, 4}, {114, 3}, {63, 2}};

namespace {

// Factors of the derived parameters; products are formed in double and rounded once to float.
constexpr double kWaveGainFactor = 0.01568627450980392;                         // 4 / 255
constexpr double kPaletteStepFactor = 7.843137254901961e-05;                    // 1 / (255 * 50)
constexpr double kFadeBiasFactor = static_cast<double>(0.003921568859368563f);  // the float nearest 1/255
constexpr double kFadeGainFactor = 0.0078125;                                   // 1 / 128
constexpr double kFadeExponentFactor = 0.015625;                                // 1 / 64
constexpr std::int32_t kFadePowerUnit = 192;                                    // FadePower giving exponent 1

// Nearest integer, halves away from zero. Values beyond 32 bits saturate and NaN gives 0, so parameters that
// did not come from DeriveEffectParams can never make the conversion undefined.
std::int32_t RoundToSetting(double value) {
  if (std::isnan(value)) return 0;
  double r = std::round(value);
  if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(r);
}

}  // namespace

WavePreset SelectedWave(const EffectSettings& s) {
  if (s.RadioIndex >= 1 && s.RadioIndex <= 4) return WavePresets[s.RadioIndex];
  return {s.WaveAmplitude, s.WaveShiftPower};
}

EffectParams DeriveEffectParams(const EffectSettings& s) {
  EffectParams p;
  const WavePreset wave = SelectedWave(s);
  p.WaveGain = static_cast<float>(static_cast<double>(wave.Amplitude) * kWaveGainFactor);
  p.WaveShift = wave.ShiftPower;
  p.PaletteStep = static_cast<float>(static_cast<double>(s.PaletteAnimationSpeed) * kPaletteStepFactor);
  p.FadeBias = static_cast<float>(static_cast<double>(s.FadeOffset) * kFadeBiasFactor);
  p.FadeGain = static_cast<float>(static_cast<double>(s.FadeAmplitude) * kFadeGainFactor);
  // In double: FadePower - 192 cannot overflow there whatever the file held.
  double exponent = (static_cast<double>(s.FadePower) - kFadePowerUnit) * kFadeExponentFactor;
  p.FadeExponent = static_cast<float>(ExactExp(exponent));
  return p;
}

void SettingsFromParams(const EffectParams& p, EffectSettings& s) {
  s.PaletteAnimationSpeed = RoundToSetting(static_cast<double>(p.PaletteStep) * 255.0 * 50.0);
  s.FadeOffset = RoundToSetting(static_cast<double>(p.FadeBias) * 255.0);
  s.FadeAmplitude = RoundToSetting(static_cast<double>(p.FadeGain) * 128.0);
  double logExponent = ExactLog(static_cast<double>(p.FadeExponent));
  s.FadePower = RoundToSetting((1.0 - logExponent * (-1.0 / 3.0)) * kFadePowerUnit);
}
