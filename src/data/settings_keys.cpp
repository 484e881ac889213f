// The table of settings keys and what is done with it: parsing "KEY=VALUE", listing and the help.
#include "data/settings_keys.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "data/text_case.h"

namespace {

constexpr SettingKey kKeys[] = {
    {"RadioIndex", &EffectSettings::RadioIndex, 0, 4,
     "wave preset, named for the music's loudness: 1 Very Soft (quiet music: strongest response), 2 Soft, "
     "3 Loud, 4 Very Loud (calmest); 0 uses WaveAmplitude and WaveShiftPower",
     SettingControl::PresetRadio},
    {"WaveAmplitude", &EffectSettings::WaveAmplitude, 0, 255,
     "with RadioIndex 0: height of the ripples each sound makes (0: none move)", SettingControl::Slider},
    {"WaveShiftPower", &EffectSettings::WaveShiftPower, 0, 8,
     "with RadioIndex 0: the higher, the weaker and longer the ripples", SettingControl::Slider},
    {"WaveAttenuationRate", &EffectSettings::WaveAttenuationRate, 0, 8,
     "how long ripples last: 0 dies out fastest, 8 rings longest", SettingControl::Slider},
    {"PaletteAnimationSpeed", &EffectSettings::PaletteAnimationSpeed, 0, 255,
     "palette cycling: each palette shows 255 / (palettes x speed) s; 0 keeps the first", SettingControl::Slider},
    {"FadeOffset", &EffectSettings::FadeOffset, 0, 255, "brightness of the far, dark end of the tunnel (0: black)",
     SettingControl::Slider},
    {"FadeAmplitude", &EffectSettings::FadeAmplitude, 0, 255,
     "how much brighter the near end gets (0: all as dark as the far end)", SettingControl::Slider},
    {"FadePower", &EffectSettings::FadePower, 0, 255,
     "shape of the light from far to near: 192 is even, lower brightens sooner, higher later", SettingControl::Slider},
    {"UseTexture", &EffectSettings::UseTexture, 0, 1,
     "1 draws TextureName (a 256 x 256 BMP of 8 bits per pixel) on the landscape", SettingControl::CheckBox},
    {"TextureName", nullptr, 0, 0, "path of that bitmap", SettingControl::FileChooser},
    {"DisplayMode", &EffectSettings::DisplayMode, 0, 3,
     "the plug-in's screen: 0 full screen with fall-backs, 1 320 x 200 x 8 only, 2 a window, 3 docked in the "
     "player's window",
     SettingControl::DisplayChoice},
    {"Picture", &EffectSettings::Picture, 0, 1,
     "the plug-in's window, borderless and docked picture: 0 the 320 x 200 frame enlarged, 1 smooth, drawn at the "
     "window's own size (the 8-bit full-screen modes stay 0)",
     SettingControl::DisplayChoice},
};

// The value is one line of the profile file, whose reader trims blanks and a pair of quotes: anything that would
// start a new line or not read back the same would change the file instead of the setting.
bool CheckTextValue(const SettingKey& key, std::string_view value, std::string& error) {
  if (value.size() >= sizeof(EffectSettings::TextureName)) {
    error = std::string(key.name) + " is longer than " + std::to_string(sizeof(EffectSettings::TextureName) - 1) +
            " characters";
    return false;
  }
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      error = std::string(key.name) + " cannot hold line breaks or other control characters";
      return false;
    }
  }
  const bool blankEdge = !value.empty() && (value.front() == ' ' || value.back() == ' ');
  const bool quoted =
      value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  if (blankEdge || quoted) {
    error = std::string(key.name) +
            " cannot begin or end with a blank or be in quotes: the file would read it back "
            "differently";
    return false;
  }
  return true;
}

}  // namespace

std::span<const SettingKey> SettingKeys() { return kKeys; }

const SettingKey* FindSettingKey(std::string_view name) {
  for (const SettingKey& key : kKeys)
    if (SameNoCase(key.name, name)) return &key;
  return nullptr;
}

std::int32_t SettingDefault(const SettingKey& key) {
  static constexpr EffectSettings kDefaults{};
  return key.field ? kDefaults.*key.field : 0;
}

std::string SettingText(const SettingKey& key, const EffectSettings& settings) {
  return key.field ? std::to_string(settings.*key.field) : std::string(settings.TextureName);
}

bool ApplySettingAssignment(std::string_view assignment, EffectSettings& settings, std::string& error) {
  const std::size_t equals = assignment.find('=');
  if (equals == std::string_view::npos || equals == 0) {
    error = "'" + std::string(assignment) + "' is not KEY=VALUE";
    return false;
  }
  const std::string_view name = assignment.substr(0, equals);
  const std::string value(assignment.substr(equals + 1));
  const SettingKey* key = FindSettingKey(name);
  if (!key) {
    error = "unknown setting '" + std::string(name) + "'; the keys are";
    for (const SettingKey& k : kKeys) error += std::string(" ") + k.name;
    return false;
  }
  if (!key->field) {
    if (!CheckTextValue(*key, value, error)) return false;
    std::memcpy(settings.TextureName, value.c_str(), value.size() + 1);
    return true;
  }
  errno = 0;
  char* end = nullptr;
  const long number = value.empty() ? 0 : std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno == ERANGE) {
    error = std::string(key->name) + " takes a whole number, not '" + value + "'";
    return false;
  }
  if (number < key->minimum || number > key->maximum) {
    error = std::string(key->name) + " must lie in " + std::to_string(key->minimum) + ".." +
            std::to_string(key->maximum) + ", not " + value;
    return false;
  }
  settings.*(key->field) = static_cast<std::int32_t>(number);
  return true;
}

std::string FormatSettings(const EffectSettings& settings) {
  std::string text;
  for (const SettingKey& key : kKeys) text += std::string(key.name) + "=" + SettingText(key, settings) + "\n";
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

std::string SettingsHelpText(const EffectSettings& defaults) {
  std::string text;
  for (const SettingKey& key : kKeys) {
    std::string head = std::string("  ") + key.name;
    if (key.field) {
      head += " " + std::to_string(key.minimum) + ".." + std::to_string(key.maximum);
      const std::int32_t own = SettingDefault(key), given = defaults.*key.field;
      head += " (default " + std::to_string(given) +
              (given == own ? std::string() : "; the plug-in's " + std::to_string(own)) + ")";
    }
    // Two blanks at least between the columns, where the help's layout looks for the second one.
    head.resize(std::max<std::size_t>(head.size() + 1, 40), ' ');
    text += head + " " + key.help + "\n";
  }
  return text;
}
