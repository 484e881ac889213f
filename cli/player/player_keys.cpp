// Key bindings of `play` and `live`: the changes people make while watching.
#include "player_keys.h"

#include "look_options.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr SDL_Keycode kNone = SDLK_UNKNOWN;

// The transport of `play` first; the look's keys after it are those of `live` too.
// clang-format off
const PlayerKey kKeys[] = {
  {PlayerAction::TogglePause, 0, {SDLK_SPACE, kNone}, KeyModifier::Any, "Space", "pause", "pause and go on"},
  {PlayerAction::NextSong, 0, {SDLK_n, SDLK_PAGEDOWN}, KeyModifier::Any, "N/Page Down", "next song", "the next song"},
  {PlayerAction::PreviousSong, 0, {SDLK_p, SDLK_PAGEUP}, KeyModifier::Any, "P/Page Up", "previous song",
   "the song before (within its first 3 s; later: this song from its start)"},
  {PlayerAction::SeekBackward, 0, {SDLK_LEFT, kNone}, KeyModifier::Shift, "Shift+Left/Right", "seek 10 s",
   "10 s back or on in the song"},
  {PlayerAction::SeekForward, 0, {SDLK_RIGHT, kNone}, KeyModifier::Shift, nullptr, nullptr, nullptr},
  {PlayerAction::SeekToStart, 0, {SDLK_HOME, kNone}, KeyModifier::Any, "Home", "start of the song",
   "the start of the song"},
  {PlayerAction::OpenFiles, 0, {SDLK_o, kNone}, KeyModifier::Any, "O", "open files",
   "choose files to add to the playlist (with zenity or kdialog; files dropped on the window join it too)"},
  {PlayerAction::Quit, 0, {SDLK_ESCAPE, SDLK_q}, KeyModifier::Any, "Esc/Q", "quit", "quit"},
  {PlayerAction::ToggleFullscreen, 0, {SDLK_f, kNone}, KeyModifier::Any, "F/Alt+Enter", "full screen",
   "full screen on and off"},
  {PlayerAction::ToggleFullscreen, 0, {SDLK_RETURN, SDLK_KP_ENTER}, KeyModifier::Alt, nullptr, nullptr, nullptr},
  {PlayerAction::TogglePicture, 0, {SDLK_d, kNone}, KeyModifier::Any, "D", "hd/classic",
   "the hd picture or the classic one"},
  {PlayerAction::PreviousPalette, 0, {SDLK_LEFT, kNone}, KeyModifier::NoShift, "Left/Right", "palette",
   "the previous or next palette"},
  {PlayerAction::NextPalette, 0, {SDLK_RIGHT, kNone}, KeyModifier::NoShift, nullptr, nullptr, nullptr},
  {PlayerAction::TogglePaletteCycling, 0, {SDLK_c, kNone}, KeyModifier::Any, "C", "cycling",
   "palette cycling on and off"},
  {PlayerAction::WavePreset, 0, {SDLK_0, SDLK_KP_0}, KeyModifier::Any, "0-4", "wave preset",
   "the wave preset for the music's loudness (0 custom, 1 Very Soft: quiet music, the strongest response, ... "
   "4 Very Loud: the calmest)"},
  {PlayerAction::WavePreset, 1, {SDLK_1, SDLK_KP_1}, KeyModifier::Any, nullptr, nullptr, nullptr},
  {PlayerAction::WavePreset, 2, {SDLK_2, SDLK_KP_2}, KeyModifier::Any, nullptr, nullptr, nullptr},
  {PlayerAction::WavePreset, 3, {SDLK_3, SDLK_KP_3}, KeyModifier::Any, nullptr, nullptr, nullptr},
  {PlayerAction::WavePreset, 4, {SDLK_4, SDLK_KP_4}, KeyModifier::Any, nullptr, nullptr, nullptr},
  {PlayerAction::AmplitudeUp, 0, {SDLK_UP, kNone}, KeyModifier::Any, "Up/Down", "amplitude",
   "the wave's amplitude up or down"},
  {PlayerAction::AmplitudeDown, 0, {SDLK_DOWN, kNone}, KeyModifier::Any, nullptr, nullptr, nullptr},
  {PlayerAction::ToggleHelp, 0, {SDLK_h, SDLK_F1}, KeyModifier::Any, "H/F1", "help", "this help on screen"},
};
// clang-format on

bool Shown(const PlayerKey& key, bool play) { return key.names && (play || !IsTransportAction(key.action)); }

bool ModifierHolds(KeyModifier wanted, std::uint16_t held) {
  switch (wanted) {
    case KeyModifier::Shift:
      return (held & KMOD_SHIFT) != 0;
    case KeyModifier::NoShift:
      return (held & KMOD_SHIFT) == 0;
    case KeyModifier::Alt:
      return (held & KMOD_ALT) != 0;
    case KeyModifier::Any:
      break;
  }
  return true;
}

std::string OnScreen(bool play) {
  std::string text, line;
  for (const PlayerKey& key : kKeys) {
    if (!Shown(key, play)) continue;
    const std::string item = std::string(key.names) + " " + key.brief;
    if (!line.empty() && line.size() + 2 + item.size() > kHelpLineLength) {
      text += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : "  ") + item;
  }
  return text + line;
}

}  // namespace

bool IsTransportAction(PlayerAction action) {
  return action >= PlayerAction::TogglePause && action <= PlayerAction::OpenFiles;
}

const PlayerKey* PlayerKeys(std::size_t& count) {
  count = std::size(kKeys);
  return kKeys;
}

const char* PlayerKeysOnScreen(bool play) {
  static const std::string live = OnScreen(false), withTransport = OnScreen(true);
  return play ? withTransport.c_str() : live.c_str();
}

const char* const kLiveHelpLines = PlayerKeysOnScreen(false);
const char* const kPlayHelpLines = PlayerKeysOnScreen(true);

std::string PlayerKeysHelp(bool play) {
  std::string text = "Keys:";
  const char* separator = " ";
  for (const PlayerKey& key : kKeys) {
    if (!Shown(key, play)) continue;
    text += separator + std::string(key.names) + " " + key.meaning;
    separator = "; ";
  }
  return text + ". Changes last for the session unless --save.";
}

namespace {
// One press of Up or Down moves the amplitude by a sixteenth of its range.
constexpr std::int32_t kAmplitudeStep = 16;
const char* const kPresetNames[5] = {"custom", "Very Soft", "Soft", "Loud", "Very Loud"};
}  // namespace

KeyAction ActionForKey(SDL_Keycode key, std::uint16_t modifiers) {
  if (key == SDLK_UNKNOWN) return {};
  for (const PlayerKey& row : kKeys)
    if ((row.keys[0] == key || row.keys[1] == key) && ModifierHolds(row.modifier, modifiers))
      return {row.action, row.preset};
  return {};
}

std::string ApplyLookAction(const KeyAction& action, LiveLook& look, int& paletteStep) {
  EffectSettings& s = look.settings;
  paletteStep = 0;
  switch (action.action) {
    case PlayerAction::NextPalette:
      paletteStep = 1;
      return "next palette";
    case PlayerAction::PreviousPalette:
      paletteStep = -1;
      return "previous palette";
    case PlayerAction::TogglePaletteCycling:
      if (s.PaletteAnimationSpeed != 0) {
        look.cyclingSpeed = s.PaletteAnimationSpeed;
        s.PaletteAnimationSpeed = 0;
        return "palette cycling off";
      }
      s.PaletteAnimationSpeed = look.cyclingSpeed > 0 ? look.cyclingSpeed : VideoPaletteSpeed(look.paletteCount);
      return "palette cycling on (speed " + std::to_string(s.PaletteAnimationSpeed) + ")";
    case PlayerAction::WavePreset:
      s.RadioIndex = std::clamp(action.preset, 0, 4);
      return "wave preset " + std::to_string(s.RadioIndex) + ": " + kPresetNames[s.RadioIndex];
    case PlayerAction::AmplitudeUp:
    case PlayerAction::AmplitudeDown: {
      // A preset's amplitude is not editable: start the custom pair from the preset in force, so the first
      // press changes the wave by one step and not by the distance to an old custom value.
      const WavePreset inForce = SelectedWave(s);
      s.WaveAmplitude = inForce.Amplitude;
      s.WaveShiftPower = inForce.ShiftPower;
      s.RadioIndex = 0;
      const std::int32_t step = action.action == PlayerAction::AmplitudeUp ? kAmplitudeStep : -kAmplitudeStep;
      // In 64 bits: a settings file may hold any 32-bit amplitude, and a press only ever moves it into range.
      s.WaveAmplitude =
          static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{s.WaveAmplitude} + step, 0, 255));
      return "wave amplitude " + std::to_string(s.WaveAmplitude);
    }
    default:
      return {};
  }
}
