// The display choices between the settings and the "Display..." dialog, ranges from the one table of keys.
#include "plugin/display_choices.h"

#include "data/settings_keys.h"

namespace {

std::int32_t InRangeOrFirst(const char* name, std::int32_t value) {
  const SettingKey* key = FindSettingKey(name);
  return value < key->minimum || value > key->maximum ? key->minimum : value;
}

}  // namespace

DisplayChoices DisplayChoicesOf(const EffectSettings& settings) {
  DisplayChoices choices;
  choices.Mode = InRangeOrFirst("DisplayMode", settings.DisplayMode);
  choices.Picture = InRangeOrFirst("Picture", settings.Picture);
  return choices;
}

void ApplyDisplayChoices(const DisplayChoices& choices, EffectSettings& settings) {
  settings.DisplayMode = choices.Mode;
  settings.Picture = choices.Picture;
}

bool DisplayModeSelectable(std::int32_t mode, bool frameOffered) {
  return mode >= kDisplayModeChain && mode <= kDisplayModeDocked && (mode != kDisplayModeDocked || frameOffered);
}

bool ChooseDisplayMode(DisplayChoices& choices, std::int32_t mode, bool frameOffered) {
  if (!DisplayModeSelectable(mode, frameOffered)) return false;
  choices.Mode = mode;
  return true;
}
