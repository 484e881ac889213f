// The look kept in the browser between visits: the settings the keys change, the chosen palette, smoothing, and
// the classic or the HD picture.
import { videoPaletteSpeed } from './player_keys.js';

const STORAGE_KEY = 'tavelmir.look';

function whole(value, [low, high], fallback) {
  return Number.isInteger(value) && value >= low && value <= high ? value : fallback;
}

// The stored look, each value checked against `rules` (the engine's settingRules(): each setting's default and
// range); anything missing, out of range or unreadable takes the default (the plug-in's settings, with the
// palettes cycling as in the command line's player; the HD picture as `hd` says).
export function loadLook(rules, paletteCount, storage = globalThis.localStorage, { hd = true } = {}) {
  const defaults = Object.fromEntries(Object.entries(rules).map(([key, rule]) => [key, rule.value]));
  defaults.paletteAnimationSpeed = videoPaletteSpeed(paletteCount);
  let stored = {};
  try {
    stored = JSON.parse(storage.getItem(STORAGE_KEY) || '{}') || {};
  } catch (_) {
    stored = {};
  }
  const settings = {};
  for (const [key, rule] of Object.entries(rules))
    settings[key] = whole(stored[key], [rule.minimum, rule.maximum], defaults[key]);
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

// The look as an address's fragment ("#p=3&w=2&a=133&s=7&t=5&c=3&hd=1&sm=0"), so a link opens the page with it.
const FRAGMENT_KEYS = { w: 'radioIndex', a: 'waveAmplitude', s: 'waveShiftPower', t: 'waveAttenuationRate',
  c: 'paletteAnimationSpeed' };

export function lookFragment(look) {
  const parts = [`p=${look.palette + 1}`];
  for (const [short, key] of Object.entries(FRAGMENT_KEYS)) parts.push(`${short}=${look.settings[key]}`);
  parts.push(`hd=${look.hd ? 1 : 0}`, `sm=${look.smooth ? 1 : 0}`);
  return `#${parts.join('&')}`;
}

// `look` with what the fragment gives, each value checked as a stored one is (against `rules`, as for loadLook);
// true when it gave anything.
export function applyLookFragment(hash, look, rules) {
  const values = new URLSearchParams(String(hash || '').replace(/^#/, ''));
  const number = (name) => (/^\d{1,3}$/.test(values.get(name) || '') ? Number(values.get(name)) : NaN);
  let given = false;
  for (const [short, key] of Object.entries(FRAGMENT_KEYS)) {
    const value = whole(number(short), [rules[key].minimum, rules[key].maximum], null);
    if (value !== null) { look.settings[key] = value; given = true; }
  }
  const palette = whole(number('p') - 1, [0, Math.max(0, look.paletteCount - 1)], null);
  if (palette !== null) { look.palette = palette; given = true; }
  for (const [name, key] of [['hd', 'hd'], ['sm', 'smooth']]) {
    const flag = number(name);
    if (flag === 0 || flag === 1) { look[key] = flag === 1; given = true; }
  }
  return given;
}

// "03-ultraviolet.pal" -> "ultraviolet", "04-deep-sea.pal" -> "deep sea".
export function paletteName(fileName) {
  return fileName.replace(/\.pal$/i, '').replace(/^\d+[-_ ]*/, '').replace(/[-_]+/g, ' ') || fileName;
}
