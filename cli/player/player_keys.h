// The player's keys and what each changes in the running effect.
#pragma once
#include <SDL2/SDL_keycode.h>

#include <cstdint>
#include <string>

#include "core/effect_settings.h"

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
  TogglePicture,  // the classic picture or the one drawn at the window's size
  // The transport of `play`.
  TogglePause,
  NextSong,
  PreviousSong,
  SeekForward,
  SeekBackward,
  SeekToStart,
};

struct KeyAction {
  PlayerAction action = PlayerAction::None;
  int preset = 0;
};

// The help shown on H or F1: the keys of `live`, and those of `play` with its transport.
extern const char kLiveHelpLines[];
extern const char kPlayHelpLines[];
// How far Shift+Left/Right move in the song.
constexpr int kSeekSeconds = 10;

// A transport key of `play` (pause, songs, seeking).
bool IsTransportAction(PlayerAction action);

KeyAction ActionForKey(SDL_Keycode key, std::uint16_t modifiers);

// What the keys change in the session's settings.
struct LiveLook {
  EffectSettings settings;
  int paletteCount = 0;
  std::int32_t cyclingSpeed = 0;  // PaletteAnimationSpeed that cycling on restores; kept across toggles
};

// Applies a look action to `look.settings` and returns what it did in a few words for the screen ("wave preset
// 3: Loud"); empty for actions that are not about the look. For the palette keys `paletteStep` becomes +1 or -1
// and the caller moves the palette animation; otherwise it is 0.
std::string ApplyLookAction(const KeyAction& action, LiveLook& look, int& paletteStep);
