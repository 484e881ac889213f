// Key bindings of `play` and `live`: the changes people make while watching.
#include "player_keys.h"

#include "look_options.h"

#include <algorithm>

const char kLiveHelpLines[] =
    "Esc/Q quit  F full screen  D hd/classic  Left/Right palette  C cycling  0-4 wave preset  Up/Down amplitude\n"
    "H help";
const char kPlayHelpLines[] =
    "Space pause  N/P next/previous song  Shift+Left/Right seek 10 s  Home start of the song  H help\n"
    "Esc/Q quit  F full screen  D hd/classic  Left/Right palette  C cycling  0-4 wave preset  Up/Down amplitude";

bool IsTransportAction(PlayerAction action) {
  return action >= PlayerAction::TogglePause && action <= PlayerAction::SeekToStart;
}

namespace {
// One press of Up or Down moves the amplitude by a sixteenth of its range.
constexpr std::int32_t kAmplitudeStep = 16;
const char* const kPresetNames[5] = {"custom", "Very Soft", "Soft", "Loud", "Very Loud"};
}  // namespace

KeyAction ActionForKey(SDL_Keycode key, std::uint16_t modifiers) {
  switch (key) {
    case SDLK_ESCAPE:
    case SDLK_q:
      return {PlayerAction::Quit};
    case SDLK_f:
      return {PlayerAction::ToggleFullscreen};
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return {(modifiers & KMOD_ALT) ? PlayerAction::ToggleFullscreen : PlayerAction::None};
    case SDLK_d:
      return {PlayerAction::TogglePicture};
    case SDLK_h:
    case SDLK_F1:
      return {PlayerAction::ToggleHelp};
    case SDLK_RIGHT:
      return {(modifiers & KMOD_SHIFT) ? PlayerAction::SeekForward : PlayerAction::NextPalette};
    case SDLK_LEFT:
      return {(modifiers & KMOD_SHIFT) ? PlayerAction::SeekBackward : PlayerAction::PreviousPalette};
    case SDLK_SPACE:
      return {PlayerAction::TogglePause};
    case SDLK_n:
    case SDLK_PAGEDOWN:
      return {PlayerAction::NextSong};
    case SDLK_p:
    case SDLK_PAGEUP:
      return {PlayerAction::PreviousSong};
    case SDLK_HOME:
      return {PlayerAction::SeekToStart};
    case SDLK_c:
      return {PlayerAction::TogglePaletteCycling};
    case SDLK_UP:
      return {PlayerAction::AmplitudeUp};
    case SDLK_DOWN:
      return {PlayerAction::AmplitudeDown};
    default:
      break;
  }
  if (key >= SDLK_0 && key <= SDLK_4) return {PlayerAction::WavePreset, static_cast<int>(key - SDLK_0)};
  if (key == SDLK_KP_0) return {PlayerAction::WavePreset, 0};
  if (key >= SDLK_KP_1 && key <= SDLK_KP_4) return {PlayerAction::WavePreset, static_cast<int>(key - SDLK_KP_1) + 1};
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
      s.WaveAmplitude = std::clamp(s.WaveAmplitude + step, 0, 255);
      return "wave amplitude " + std::to_string(s.WaveAmplitude);
    }
    default:
      return {};
  }
}
