// The "Display..." dialog's choices as the settings window keeps them until its own OK: how the effect shows,
// the picture in windows, and whether to forget the normal window's place. No window system: the dialog, the
// settings window and the tests all drive these.
#pragma once
#include <cstdint>

#include "core/effect_settings.h"

struct DisplayChoices {
  std::int32_t Mode = kDisplayModeChain;   // a DisplayMode value
  std::int32_t Picture = kPictureClassic;  // a Picture value
  bool ForgetWindowPlace = false;
};

// The choices the settings hold, as the display reads them: a value outside its key's range counts as the first.
DisplayChoices DisplayChoicesOf(const EffectSettings& settings);
// The choices into the settings, which the settings window's OK then stores with the others.
void ApplyDisplayChoices(const DisplayChoices& choices, EffectSettings& settings);

// Whether a way of showing can be chosen: docking needs a player that offers frames. A stored docked choice stays
// as it is in a player without them (the effect then opens a normal window), but it cannot be chosen anew there.
bool DisplayModeSelectable(std::int32_t mode, bool frameOffered);
// A click on a way of showing: taken (true) when it can be chosen.
bool ChooseDisplayMode(DisplayChoices& choices, std::int32_t mode, bool frameOffered);
