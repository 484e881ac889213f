// The page: loads the effect and its data set, opens songs or listens, steps the effect on the audio clock and
// draws each frame, and answers the player's keys.
import { AudioInput } from './audio_input.js';
import { Engine } from './engine.js';
import { FrameStepper } from './frame_stepper.js';
import { loadLook, paletteName, saveLook } from './look_store.js';
import { PictureView } from './picture_view.js';
import { actionForKey, applyLookAction, HELP_LINE } from './player_keys.js';
import { installTestHook } from './test_hook.js';

const $ = (id) => document.getElementById(id);
const NOTE_MS = 2000;
const CURSOR_IDLE_MS = 2500;

// A module that uses one SIMD instruction (i8x16.popcnt): valid only where the browser runs WebAssembly SIMD.
const SIMD_PROBE = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 10, 1, 8, 0,
  65, 0, 253, 15, 253, 98, 11]);

// The effect with its stages on WebAssembly SIMD where the browser has it, the portable module elsewhere (or
// ?portable in the address); both draw the same frames.
const PORTABLE = new URLSearchParams(location.search).has('portable') || !WebAssembly.validate(SIMD_PROBE);
const ENGINE_MODULE = PORTABLE ? 'tavelmir-portable.wasm' : 'tavelmir.wasm';

// The HD picture's largest backing store, beyond which the browser enlarges it smoothly, and whether a first visit
// gets it. With SIMD the picture takes about 3.5 ms at 1920 x 1080 and 11 ms at 2880 x 2160 (a 4:3 box on a 4K
// screen), where with the copy into the canvas a browser showed only 25 of the 50 frames a second; at 1920 x 1440 it
// showed 47. Without SIMD it is seven times slower: 1024 x 768 (about 10 ms), and a first visit gets the classic
// picture.
const HD_LIMIT = PORTABLE ? [1024, 768] : [1920, 1440];
const HD_BY_DEFAULT = !PORTABLE;

const page = {
  dataSet: null,
  engine: null,
  look: null,
  view: new PictureView($('picture'), $('stage'), HD_LIMIT),
  audio: new AudioInput(),
  stepper: null,
  mode: 'idle',  // 'song', 'listening' or 'idle'
  paletteShown: -1,
  drawn: 0,
  noteTimer: 0,
  openToken: 0,
};

function showStatus(text, error = false) {
  const status = $('status');
  status.textContent = text;
  status.classList.toggle('error', error);
}

function showNote(text) {
  $('note').textContent = text;
  clearTimeout(page.noteTimer);
  page.noteTimer = setTimeout(() => { $('note').textContent = ''; }, NOTE_MS);
}

async function fetchBytes(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
  return new Uint8Array(await response.arrayBuffer());
}

// The module and the default data set, fetched once.
async function loadDataSet() {
  const response = await fetch('data/palettes.json');
  if (!response.ok) throw new Error(`data/palettes.json: ${response.status} ${response.statusText}`);
  const names = await response.json();
  const [wasm, fade, ...palettes] = await Promise.all(
    [ENGINE_MODULE, 'data/fade.dat', ...names.map((n) => `data/${n}`)].map(fetchBytes));
  return { wasm, fade, palettes, names: names.map(paletteName) };
}

// A fresh effect with the stored look; the previous one (if any) is dropped with its module.
async function startEngine() {
  const d = page.dataSet;
  page.engine = await Engine.create(d.wasm, d.palettes, d.fade);
  // The first effect gives the settings' defaults and ranges that the stored look is read against.
  page.look ??= loadLook(page.engine.settingRules(), d.palettes.length, localStorage, { hd: HD_BY_DEFAULT });
  page.engine.settings(page.look.settings);
  page.engine.stepPalette(page.look.palette);
  page.paletteShown = -1;
  if (page.audio.history) page.stepper = new FrameStepper(page.engine, page.audio.history);
}

function showPaletteName() {
  const index = page.engine.paletteIndex();
  if (index === page.paletteShown) return;
  page.paletteShown = index;
  $('palette-name').textContent = `palette ${index + 1} of ${page.engine.paletteCount}: ${page.dataSet.names[index]}`;
}

function drawFrame() {
  page.view.draw(page.engine);
  if (++page.drawn === 1) document.body.classList.add('drawn');
  showPaletteName();
}

// Every display refresh: the frames the audio clock has reached since the last one, then the newest drawn.
function tick() {
  if (page.mode !== 'idle' && page.stepper && !page.audio.paused) {
    if (page.stepper.advance(page.audio.heardFrame()) > 0) drawFrame();
  }
  requestAnimationFrame(tick);
}

function ensureStepper() {
  if (!page.stepper) page.stepper = new FrameStepper(page.engine, page.audio.history);
}

function setMode(mode) {
  page.mode = mode;
  $('pause').disabled = mode === 'idle';
  $('pause').textContent = 'Pause';
}

function describeSong(buffer) {
  const seconds = Math.round(buffer.duration);
  const length = `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
  const channels = buffer.numberOfChannels === 1 ? 'mono: both channels show the same wave'
    : buffer.numberOfChannels === 2 ? 'stereo' : `${buffer.numberOfChannels} channels, the first two shown`;
  return `${length}, ${channels}`;
}

async function openSong(file) {
  const token = ++page.openToken;
  if (!file) return;
  if (file.size === 0) {
    showStatus(`"${file.name}" is empty: there is nothing to play.`, true);
    return;
  }
  showStatus(`Opening "${file.name}"…`);
  try {
    await page.audio.ready();
  } catch (error) {
    showStatus(error.message, true);
    return;
  }
  let buffer;
  try {
    const bytes = await file.arrayBuffer();
    buffer = await page.audio.decode(bytes);
  } catch (error) {
    if (token === page.openToken)
      showStatus(`"${file.name}" cannot be played: this browser does not decode it as audio.`, true);
    return;
  }
  if (token !== page.openToken) return;  // another song was opened meanwhile
  if (buffer.length === 0) {
    showStatus(`"${file.name}" holds no sound.`, true);
    return;
  }
  ensureStepper();
  page.stepper.start(page.audio.playSong(buffer));
  // The source ends when its last sample is rendered; the picture goes on until that sample has been heard.
  page.audio.onEnded = () => setTimeout(() => {
    if (token !== page.openToken) return;
    setMode('idle');
    showStatus(`Finished "${file.name}".`);
  }, 1000 * (page.audio.outputLatency + 0.05));
  setMode('song');
  showStatus(`Playing "${file.name}" (${describeSong(buffer)}).`);
}

async function listen(kind) {
  ++page.openToken;
  showStatus(kind === 'tab' ? 'Asking for a tab’s sound…' : 'Asking for the microphone…');
  try {
    const origin = await page.audio.listen(kind);
    ensureStepper();
    page.stepper.start(origin);
    setMode('listening');
    showStatus(kind === 'tab' ? 'Listening to the shared sound.' : 'Listening to the microphone.');
  } catch (error) {
    showStatus(error.message, true);
  }
}

async function togglePause() {
  if (page.mode === 'idle') return;
  const pause = !page.audio.paused;
  await page.audio.setPaused(pause);
  $('pause').textContent = pause ? 'Go on' : 'Pause';
  showNote(pause ? 'paused' : 'playing');
}

// The classic picture or the HD one, on the control and in the view; Smooth means something in classic only.
function showPicture(hd) {
  page.look.hd = hd;
  $('hd').checked = hd;
  $('smooth').disabled = hd;
  page.view.setHd(hd);
}

async function toggleFullscreen() {
  try {
    if (document.fullscreenElement) await document.exitFullscreen();
    else await document.documentElement.requestFullscreen();
  } catch (error) {
    showStatus('The browser refused full screen here.', true);
  }
}

function onKey(event) {
  if (event.ctrlKey || event.metaKey) return;
  const action = actionForKey(event);
  if (!action || !page.engine) return;
  event.preventDefault();
  switch (action.action) {
    case 'fullscreen':
      toggleFullscreen();
      return;
    case 'help':
      $('help').hidden = !$('help').hidden;
      return;
    case 'pause':
      togglePause();
      return;
    case 'hd':
      showPicture(!page.look.hd);
      showNote(page.look.hd ? 'HD picture' : 'classic picture');
      break;
    case 'palette':
      page.engine.stepPalette(action.step);
      page.look.palette = page.engine.paletteIndex();
      showPaletteName();
      showNote($('palette-name').textContent);
      break;
    default:
      showNote(applyLookAction(action, page.look));
      page.engine.settings(page.look.settings);
      break;
  }
  saveLook(page.look);
}

function hideIdleCursor() {
  let timer = 0;
  const wake = () => {
    document.body.classList.remove('idle');
    clearTimeout(timer);
    timer = setTimeout(() => document.body.classList.add('idle'), CURSOR_IDLE_MS);
  };
  for (const e of ['mousemove', 'mousedown', 'touchstart']) window.addEventListener(e, wake, { passive: true });
  wake();
}

function wireControls() {
  const file = $('file');
  $('open').addEventListener('click', () => file.click());
  file.addEventListener('change', () => {
    openSong(file.files[0]);
    file.value = '';
  });
  $('mic').addEventListener('click', () => listen('microphone'));
  $('tab').addEventListener('click', () => listen('tab'));
  $('pause').addEventListener('click', togglePause);
  $('fullscreen').addEventListener('click', toggleFullscreen);
  $('stage').addEventListener('dblclick', toggleFullscreen);
  $('hd').addEventListener('change', () => {
    showPicture($('hd').checked);
    saveLook(page.look);
  });
  $('smooth').addEventListener('change', () => {
    page.look.smooth = $('smooth').checked;
    page.view.setSmooth(page.look.smooth);
    saveLook(page.look);
  });
  // Buttons keep no focus, so Space and Enter stay the player's keys.
  for (const b of document.querySelectorAll('#bar button, #bar input')) b.addEventListener('mouseup', () => b.blur());
  window.addEventListener('keydown', onKey);

  let depth = 0;
  const dragging = (on) => document.body.classList.toggle('dragging', on);
  window.addEventListener('dragenter', (e) => { e.preventDefault(); ++depth; dragging(true); });
  window.addEventListener('dragleave', () => { if (--depth <= 0) { depth = 0; dragging(false); } });
  window.addEventListener('dragover', (e) => e.preventDefault());
  window.addEventListener('drop', (e) => {
    e.preventDefault();
    depth = 0;
    dragging(false);
    openSong(e.dataTransfer.files[0]);
  });
  $('help').textContent = HELP_LINE;
}

async function main() {
  wireControls();
  hideIdleCursor();
  try {
    page.dataSet = await loadDataSet();
  } catch (error) {
    showStatus(`The effect could not be loaded (${error.message}). Serve the page's folder over HTTP, for ` +
      'example with: python3 -m http.server -d build/web', true);
    throw error;
  }
  await startEngine();
  $('smooth').checked = page.look.smooth;
  page.view.setSmooth(page.look.smooth);
  showPicture(page.look.hd);
  page.view.onHdFailure = (error) => {
    showPicture(false);
    showStatus(`The HD picture cannot be drawn here (${error.message}); the classic one shows.`, true);
  };
  showPaletteName();
  showStatus('');
  requestAnimationFrame(tick);
}

function stop() {
  ++page.openToken;
  page.audio.stop();
  setMode('idle');
}

installTestHook(page, { main: main(), startEngine, drawFrame, stop });
