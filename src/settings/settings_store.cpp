// The settings store: "plugin.ini" in the plug-in's folder, the presets and the derived parameters.
#include "settings/settings_store.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "numeric/exact_math.h"
#include "plugin/effect_state.h"
#include "plugin/plugin_folder.h"
#include "settings/settings_types.h"

const WavePreset WavePresets[5] = {{0, 0}, {178, 5}, {153, 4}, {114, 3}, {63, 2}};

namespace {

constexpr char kSettingsFile[] = "plugin.ini";
constexpr char kDisplayModeKey[] = "DisplayMode";

// Factors of the derived parameters; products are formed in double and rounded once to float.
constexpr double kWaveGainFactor = 0.01568627450980392;                         // 4 / 255
constexpr double kPaletteStepFactor = 7.843137254901961e-05;                    // 1 / (255 * 50)
constexpr double kFadeBiasFactor = static_cast<double>(0.003921568859368563f);  // the float nearest 1/255
constexpr double kFadeGainFactor = 0.0078125;                                   // 1 / 128
constexpr double kFadeExponentFactor = 0.015625;                                // 1 / 64
constexpr std::int32_t kFadePowerUnit = 192;                                    // FadePower giving exponent 1

struct IntegerKey {
  const char* name;
  std::int32_t EffectSettings::*field;
};

// In file order; "UseTexture" and "TextureName" follow them.
constexpr IntegerKey kIntegerKeys[] = {
    {"RadioIndex", &EffectSettings::RadioIndex},
    {"WaveAmplitude", &EffectSettings::WaveAmplitude},
    {"WaveShiftPower", &EffectSettings::WaveShiftPower},
    {"WaveAttenuationRate", &EffectSettings::WaveAttenuationRate},
    {"PaletteAnimationSpeed", &EffectSettings::PaletteAnimationSpeed},
    {"FadeOffset", &EffectSettings::FadeOffset},
    {"FadeAmplitude", &EffectSettings::FadeAmplitude},
    {"FadePower", &EffectSettings::FadePower},
};

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

void LoadSettings(VisModule* module) {
  char path[kPluginPathBytes];
  if (!PluginFilePath(kSettingsFile, path)) return;
  EffectSettings& s = g_state.Settings;
  const char* section = module->description;
  for (const IntegerKey& key : kIntegerKeys)
    s.*key.field = static_cast<std::int32_t>(GetPrivateProfileIntA(section, key.name, s.*key.field, path));
  s.UseTexture = GetPrivateProfileIntA(section, "UseTexture", s.UseTexture, path) != 0 ? 1 : 0;
  // The current name is the default; the read must not take it from the buffer it writes into.
  char current[sizeof s.TextureName];
  std::memcpy(current, s.TextureName, sizeof current);
  current[sizeof current - 1] = '\0';
  GetPrivateProfileStringA(section, "TextureName", current, s.TextureName, sizeof s.TextureName, path);
  s.DisplayMode = static_cast<std::int32_t>(GetPrivateProfileIntA(section, kDisplayModeKey, s.DisplayMode, path));
}

void LoadDisplayMode(VisModule* module) {
  char path[kPluginPathBytes];
  if (!PluginFilePath(kSettingsFile, path)) return;
  std::int32_t& mode = g_state.Settings.DisplayMode;
  mode = static_cast<std::int32_t>(GetPrivateProfileIntA(module->description, kDisplayModeKey, mode, path));
}

void SaveDisplayMode(VisModule* module) {
  char path[kPluginPathBytes];
  if (!PluginFilePath(kSettingsFile, path)) return;
  char text[16];  // "%d" of a 32-bit value needs at most 12 bytes
  wsprintfA(text, "%d", g_state.Settings.DisplayMode);
  WritePrivateProfileStringA(module->description, kDisplayModeKey, text, path);
}

void SaveSettings(VisModule* module) {
  char path[kPluginPathBytes];
  if (!PluginFilePath(kSettingsFile, path)) return;
  const EffectSettings& s = g_state.Settings;
  const char* section = module->description;
  char text[16];  // "%d" of a 32-bit value needs at most 12 bytes
  for (const IntegerKey& key : kIntegerKeys) {
    wsprintfA(text, "%d", s.*key.field);
    WritePrivateProfileStringA(section, key.name, text, path);
  }
  wsprintfA(text, "%d", s.UseTexture != 0 ? 1 : 0);
  WritePrivateProfileStringA(section, "UseTexture", text, path);
  WritePrivateProfileStringA(section, "TextureName", s.TextureName, path);
}

void DeriveEffectParams() {
  const EffectSettings& s = g_state.Settings;
  EffectParams& p = g_state.Params;
  // Rows 1..4 are the presets; 0 and any value a hand-edited file may hold select the custom pair.
  WavePreset wave{s.WaveAmplitude, s.WaveShiftPower};
  if (s.RadioIndex >= 1 && s.RadioIndex <= 4) wave = WavePresets[s.RadioIndex];
  p.WaveGain = static_cast<float>(static_cast<double>(wave.Amplitude) * kWaveGainFactor);
  p.WaveShift = wave.ShiftPower;
  p.PaletteStep = static_cast<float>(static_cast<double>(s.PaletteAnimationSpeed) * kPaletteStepFactor);
  p.FadeBias = static_cast<float>(static_cast<double>(s.FadeOffset) * kFadeBiasFactor);
  p.FadeGain = static_cast<float>(static_cast<double>(s.FadeAmplitude) * kFadeGainFactor);
  // In double: FadePower - 192 cannot overflow there whatever the file held.
  double exponent = (static_cast<double>(s.FadePower) - kFadePowerUnit) * kFadeExponentFactor;
  p.FadeExponent = static_cast<float>(ExactExp(exponent));
}

void LoadSettingsAndParams(VisModule* module) {
  LoadSettings(module);
  DeriveEffectParams();
}

void SettingsFromParams() {
  const EffectParams& p = g_state.Params;
  EffectSettings& s = g_state.Settings;
  s.PaletteAnimationSpeed = RoundToSetting(static_cast<double>(p.PaletteStep) * 255.0 * 50.0);
  s.FadeOffset = RoundToSetting(static_cast<double>(p.FadeBias) * 255.0);
  s.FadeAmplitude = RoundToSetting(static_cast<double>(p.FadeGain) * 128.0);
  double logExponent = ExactLog(static_cast<double>(p.FadeExponent));
  s.FadePower = RoundToSetting((1.0 - logExponent * (-1.0 / 3.0)) * kFadePowerUnit);
}
