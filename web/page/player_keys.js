// The keys of `tavelmir play`, and what each changes in the look: the same bindings, steps and notes; and D, the
// page's own, between the classic and the HD picture (H being the help, as in the player).

// The keys, one group a line where the screen is narrow (the help wraps between groups).
export const HELP_LINE = 'F full screen · D HD/classic · Left/Right palette · C cycling · 0-4 wave preset · ' +
  'Up/Down amplitude · Space pause · N/P next/previous song · H help';

// One press of Up or Down moves the amplitude by a sixteenth of its range.
const AMPLITUDE_STEP = 16;
const PRESET_NAMES = ['custom', 'Very Soft', 'Soft', 'Loud', 'Very Loud'];
// The plug-in's wave presets, rows 1..4: amplitude and shift power.
export const WAVE_PRESETS = [null, [178, 5], [153, 4], [114, 3], [63, 2]];
// Seconds each palette shows when cycling starts from the video default.
const SECONDS_PER_PALETTE = 10;

// The cycling speed of the video default: each palette shows for about ten seconds.
export function videoPaletteSpeed(paletteCount) {
  if (paletteCount < 1) return 1;
  const speed = Math.round(255 / (SECONDS_PER_PALETTE * paletteCount));
  return Math.min(255, Math.max(1, speed));
}

// The action of a keydown event, or null. `code` keeps the keypad's digits apart from the row's.
export function actionForKey(event) {
  const key = event.key;
  switch (key) {
    case 'f':
    case 'F':
      return { action: 'fullscreen' };
    case 'Enter':
      return event.altKey ? { action: 'fullscreen' } : null;
    case 'd':
    case 'D':
      return { action: 'hd' };
    case 'h':
    case 'H':
    case 'F1':
      return { action: 'help' };
    case 'ArrowRight':
      return { action: 'palette', step: 1 };
    case 'ArrowLeft':
      return { action: 'palette', step: -1 };
    case 'c':
    case 'C':
      return { action: 'cycling' };
    case 'ArrowUp':
      return { action: 'amplitude', step: AMPLITUDE_STEP };
    case 'ArrowDown':
      return { action: 'amplitude', step: -AMPLITUDE_STEP };
    case ' ':
    case 'MediaPlayPause':
      return { action: 'pause' };
    case 'n':
    case 'N':
      return { action: 'song', step: 1 };
    case 'p':
    case 'P':
      return { action: 'song', step: -1 };
    default:
      break;
  }
  if (/^[0-4]$/.test(key)) return { action: 'preset', preset: Number(key) };
  return null;
}

// Applies a look action to `look` ({settings, paletteCount, cyclingSpeed}) and returns its note for the screen.
export function applyLookAction(action, look) {
  const s = look.settings;
  switch (action.action) {
    case 'cycling':
      if (s.paletteAnimationSpeed !== 0) {
        look.cyclingSpeed = s.paletteAnimationSpeed;
        s.paletteAnimationSpeed = 0;
        return 'palette cycling off';
      }
      s.paletteAnimationSpeed = look.cyclingSpeed > 0 ? look.cyclingSpeed : videoPaletteSpeed(look.paletteCount);
      return `palette cycling on (speed ${s.paletteAnimationSpeed})`;
    case 'preset':
      s.radioIndex = Math.min(4, Math.max(0, action.preset));
      return `wave preset ${s.radioIndex}: ${PRESET_NAMES[s.radioIndex]}`;
    case 'amplitude':
      // A preset's amplitude is not editable: the custom pair starts from the preset in force, so the first press
      // changes the wave by one step and not by the distance to an old custom value.
      if (s.radioIndex >= 1 && s.radioIndex <= 4) [s.waveAmplitude, s.waveShiftPower] = WAVE_PRESETS[s.radioIndex];
      s.radioIndex = 0;
      s.waveAmplitude = Math.min(255, Math.max(0, s.waveAmplitude + action.step));
      return `wave amplitude ${s.waveAmplitude}`;
    default:
      return '';
  }
}
