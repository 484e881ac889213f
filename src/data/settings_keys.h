// The settings keys, listed once: the store, the settings dialog's controls, `config`, `--set` and the help all
// read this table.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/effect_settings.h"

// The control of the settings dialog that edits a key.
enum class SettingControl {
  Slider,         // a track bar over minimum..maximum
  PresetRadio,    // the five buttons "Custom", "Very Soft" .. "Very Loud" (RadioIndex)
  CheckBox,       // "UseTexture"
  FileChooser,    // "TextureName", through the texture button
  DisplayChoice,  // "DisplayMode" and "Picture": radio buttons of the "Display..." dialog the settings open
};

struct SettingKey {
  const char* name;                     // as in "plugin.ini"
  std::int32_t EffectSettings::*field;  // null for the one text key, TextureName
  std::int32_t minimum, maximum;        // the range the dialog allows, and --set and config accept
  const char* help;                     // one line
  SettingControl control;
};

// In the order "plugin.ini" holds them.
std::span<const SettingKey> SettingKeys();
// The key of that name, compared without regard to case; null when there is none.
const SettingKey* FindSettingKey(std::string_view name);
// The key's value in a default EffectSettings (0 for TextureName, whose default is empty).
std::int32_t SettingDefault(const SettingKey& key);
// The key's value in `settings` as "plugin.ini" writes it.
std::string SettingText(const SettingKey& key, const EffectSettings& settings);

// Applies one "KEY=VALUE" (key case-insensitive) to `settings`. False, with a message, for an unknown key, a
// value that is not a whole number, or one outside the key's range; `settings` is then unchanged.
bool ApplySettingAssignment(std::string_view assignment, EffectSettings& settings, std::string& error);

// The settings as "plugin.ini" holds them, one "Key=Value" line each, in the file's order.
std::string FormatSettings(const EffectSettings& settings);
// The derived parameters, one "Name=value" line each.
std::string FormatEffectParams(const EffectParams& params);
// One line per key: name, range, default and help, aligned, for the command line's help. The default is that of
// `defaults` (what a host starts from); where that is not the plug-in's own, the plug-in's follows it.
std::string SettingsHelpText(const EffectSettings& defaults);
