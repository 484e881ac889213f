// The player's keys and what each changes in the running effect.
#pragma once
#include <SDL2/SDL_keycode.h>

#include <cstddef>
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
  OpenFiles,  // the desktop's file chooser, whose files join the playlist
};

struct KeyAction {
  PlayerAction action = PlayerAction::None;
  int preset = 0;
};

// One row of the player's key table: the keys that do one thing, and what the help says of them. ActionForKey,
// the help on screen and `tavelmir help play|live` (with the man page made from it) all read the same table.
enum class KeyModifier { Any, Shift, NoShift, Alt };
struct PlayerKey {
  PlayerAction action;
  int preset;           // the RadioIndex of a WavePreset row
  SDL_Keycode keys[2];  // the keys (SDLK_UNKNOWN: none), with `modifier` held
  KeyModifier modifier;
  const char* names;    // as the help names the row's keys ("Esc/Q"); nullptr: told in the row before
  const char* brief;    // a word or two for the help on screen
  const char* meaning;  // for the help of the command and the man page
};
// The table, and its length.
const PlayerKey* PlayerKeys(std::size_t& count);

// The help shown on H or F1, lines of at most kHelpLineLength characters: the keys of `live`, and those of `play`
// with its transport first.
constexpr std::size_t kHelpLineLength = 80;
const char* PlayerKeysOnScreen(bool play);
extern const char* const kLiveHelpLines;
extern const char* const kPlayHelpLines;
// The keys in sentences, for `tavelmir help play` (with the transport) and `tavelmir help live`.
std::string PlayerKeysHelp(bool play);
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
