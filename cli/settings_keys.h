// The keys of "plugin.ini" with the ranges the settings dialog allows, for `tavelmir config`.
#pragma once
#include <cstdint>
#include <string>

#include "settings/settings_types.h"

struct SettingKey {
  const char* name;                     // as in "plugin.ini"
  std::int32_t EffectSettings::*field;  // null for TextureName
  std::int32_t minimum, maximum;
};

constexpr int kSettingKeyCount = 11;
extern const SettingKey kSettingKeys[kSettingKeyCount];

// Applies one "KEY=VALUE" (key case-insensitive) to `settings`. False, with a message, for an unknown key, a
// value that is not a whole number, or one outside the dialog's range; `settings` is then unchanged.
bool ApplySettingAssignment(const std::string& assignment, EffectSettings& settings, std::string& error);

// The settings as "plugin.ini" holds them, one "Key=Value" line each, in the file's order.
std::string FormatSettings(const EffectSettings& settings);
// The derived parameters, one line each.
std::string FormatEffectParams(const EffectParams& params);
