// The player's keys and what each changes in the running effect.
#pragma once
#include <SDL2/SDL_keycode.h>

#include <cstdint>
#include <string>

#include "settings/settings_types.h"

enum class PlayerAction {
  None,
  Quit,
  ToggleFullscreen,
  ToggleHelp,
  NextPalette,
  PreviousPalette,
  TogglePaletteCycling,
  WavePreset,  // KeyAction::preset holds the RadioIndex
  AmplitudeUp,
  AmplitudeDown,
};

struct KeyAction {
  PlayerAction action = PlayerAction::None;
  int preset = 0;
};

// The one-line help shown on H or F1.
extern const char kPlayerHelpLine[];

KeyAction ActionForKey(SDL_Keycode key, std::uint16_t modifiers);

// What the keys change: the settings in memory and the palette animation's phase.
struct LiveLook {
  EffectSettings* settings;
  float* palettePhase;
  std::int32_t paletteCount;
  std::int32_t cyclingSpeed;  // PaletteAnimationSpeed that cycling on restores; kept across toggles
};

// A palette speed of about ten seconds per palette for a set of `paletteCount` palettes.
std::int32_t DefaultCyclingSpeed(std::int32_t paletteCount);

// Applies a settings action (palette, cycling, preset, amplitude) and returns what it did in a few words for the
// screen ("wave preset 3: Loud"); empty for actions that are not about the look. The caller derives the
// parameters again afterwards.
std::string ApplyLookAction(const KeyAction& action, LiveLook& look);
