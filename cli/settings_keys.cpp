// Parsing, range checks and listing of the settings keys.
#include "settings_keys.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

const SettingKey kSettingKeys[kSettingKeyCount] = {
    {"RadioIndex", &EffectSettings::RadioIndex, 0, 4},
    {"WaveAmplitude", &EffectSettings::WaveAmplitude, 0, 255},
    {"WaveShiftPower", &EffectSettings::WaveShiftPower, 0, 8},
    {"WaveAttenuationRate", &EffectSettings::WaveAttenuationRate, 0, 8},
    {"PaletteAnimationSpeed", &EffectSettings::PaletteAnimationSpeed, 0, 255},
    {"FadeOffset", &EffectSettings::FadeOffset, 0, 255},
    {"FadeAmplitude", &EffectSettings::FadeAmplitude, 0, 255},
    {"FadePower", &EffectSettings::FadePower, 0, 255},
    {"UseTexture", &EffectSettings::UseTexture, 0, 1},
    {"TextureName", nullptr, 0, 0},
    {"DisplayMode", &EffectSettings::DisplayMode, 0, 3},
};

bool ApplySettingAssignment(const std::string& assignment, EffectSettings& settings, std::string& error) {
  const std::size_t equals = assignment.find('=');
  if (equals == std::string::npos || equals == 0) {
    error = "'" + assignment + "' is not KEY=VALUE";
    return false;
  }
  const std::string key = assignment.substr(0, equals);
  const std::string value = assignment.substr(equals + 1);
  const SettingKey* found = nullptr;
  for (const SettingKey& k : kSettingKeys)
    if (strcasecmp(k.name, key.c_str()) == 0) found = &k;
  if (!found) {
    error = "unknown setting '" + key + "'; the keys are";
    for (const SettingKey& k : kSettingKeys) error += std::string(" ") + k.name;
    return false;
  }
  if (!found->field) {
    if (value.size() >= sizeof(settings.TextureName)) {
      error = std::string(found->name) + " is longer than " + std::to_string(sizeof(settings.TextureName) - 1) +
              " characters";
      return false;
    }
    // The value is one line of the profile file, whose reader trims blanks and a pair of quotes: anything that
    // would start a new line or not read back the same would change the file instead of the setting.
    for (char c : value) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
        error = std::string(found->name) + " cannot hold line breaks or other control characters";
        return false;
      }
    }
    const bool blankEdge = !value.empty() && (value.front() == ' ' || value.back() == ' ');
    const bool quoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    if (blankEdge || quoted) {
      error = std::string(found->name) +
              " cannot begin or end with a blank or be in quotes: the file would read "
              "it back differently";
      return false;
    }
    std::memcpy(settings.TextureName, value.c_str(), value.size() + 1);
    return true;
  }
  errno = 0;
  char* end = nullptr;
  const long number = value.empty() ? 0 : std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno == ERANGE) {
    error = std::string(found->name) + " takes a whole number, not '" + value + "'";
    return false;
  }
  if (number < found->minimum || number > found->maximum) {
    error = std::string(found->name) + " must lie in " + std::to_string(found->minimum) + ".." +
            std::to_string(found->maximum) + ", not " + value;
    return false;
  }
  settings.*(found->field) = static_cast<std::int32_t>(number);
  return true;
}

std::string FormatSettings(const EffectSettings& settings) {
  std::string text;
  for (const SettingKey& k : kSettingKeys) {
    text += k.name;
    text += '=';
    text += k.field ? std::to_string(settings.*(k.field)) : std::string(settings.TextureName);
    text += '\n';
  }
  return text;
}

std::string FormatEffectParams(const EffectParams& params) {
  char text[512];
  std::snprintf(text, sizeof text,
                "WaveGain=%.7g\nWaveShift=%d\nPaletteStep=%.7g\nFadeBias=%.7g\nFadeGain=%.7g\nFadeExponent=%.7g\n",
                static_cast<double>(params.WaveGain), params.WaveShift, static_cast<double>(params.PaletteStep),
                static_cast<double>(params.FadeBias), static_cast<double>(params.FadeGain),
                static_cast<double>(params.FadeExponent));
  return text;
}
