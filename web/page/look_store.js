// The look kept in the browser between visits: the settings the keys change, the chosen palette, smoothing, and
// the classic or the HD picture.
import { DEFAULT_SETTINGS } from './engine.js';
import { videoPaletteSpeed } from './player_keys.js';

const STORAGE_KEY = 'tavelmir.look';
const RANGES = {
  radioIndex: [0, 4],
  waveAmplitude: [0, 255],
  waveShiftPower: [0, 8],
  waveAttenuationRate: [0, 8],
  paletteAnimationSpeed: [0, 255],
};

function whole(value, [low, high], fallback) {
  return Number.isInteger(value) && value >= low && value <= high ? value : fallback;
}

// The stored look, each value checked; anything missing, out of range or unreadable takes the default (the
// plug-in's settings, with the palettes cycling as in the command line's player; the HD picture as `hd` says).
export function loadLook(paletteCount, storage = globalThis.localStorage, { hd = true } = {}) {
  const defaults = { ...DEFAULT_SETTINGS, paletteAnimationSpeed: videoPaletteSpeed(paletteCount) };
  let stored = {};
  try {
    stored = JSON.parse(storage.getItem(STORAGE_KEY) || '{}') || {};
  } catch (_) {
    stored = {};
  }
  const settings = {};
  for (const [key, range] of Object.entries(RANGES)) settings[key] = whole(stored[key], range, defaults[key]);
  return {
    settings,
    paletteCount,
    cyclingSpeed: whole(stored.cyclingSpeed, [0, 255], 0),
    palette: whole(stored.palette, [0, Math.max(0, paletteCount - 1)], 0),
    smooth: stored.smooth === true,
    hd: typeof stored.hd === 'boolean' ? stored.hd : hd,
  };
}

export function saveLook(look, storage = globalThis.localStorage) {
  try {
    storage.setItem(STORAGE_KEY, JSON.stringify({
      ...look.settings, cyclingSpeed: look.cyclingSpeed, palette: look.palette, smooth: look.smooth,
      hd: look.hd,
    }));
  } catch (_) {
    // Storage refused (private mode, full): the look lasts for this visit.
  }
}

// "03-ultraviolet.pal" -> "ultraviolet", "04-deep-sea.pal" -> "deep sea".
export function paletteName(fileName) {
  return fileName.replace(/\.pal$/i, '').replace(/^\d+[-_ ]*/, '').replace(/[-_]+/g, ' ') || fileName;
}
