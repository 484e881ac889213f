// The page: loads the effect and its data set, plays songs (a play list) or listens, steps the effect on the audio
// clock and draws each frame, and answers the player's keys and controls.
import { AudioInput } from './audio_input.js';
import { Engine } from './engine.js';
import { FrameStepper } from './frame_stepper.js';
import { applyLookFragment, loadLook, lookFragment, paletteName, saveLook } from './look_store.js';
import { PictureView } from './picture_view.js';
import { actionForKey, applyLookAction, HELP_LINE } from './player_keys.js';
import { ClipRecorder, saveStill } from './keep_picture.js';
import { Song } from './song_player.js';
import { installTestHook } from './test_hook.js';

const $ = (id) => document.getElementById(id);
const NOTE_MS = 2000;
const STATUS_MS = 5000;
const ERROR_MS = 8000;
const CURSOR_IDLE_MS = 2500;
// What a folder holds that the page tries to play.
const SONG_NAME = /\.(mp3|wav|wave|ogg|oga|opus|flac|m4a|mp4|aac|webm|weba|mka|aif|aiff)$/i;

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
  song: null,  // the Song playing (mode 'song')
  playlist: [],
  current: -1,
  volume: 1,
  paletteShown: -1,
  drawn: 0,
  noteTimer: 0,
  statusTimer: 0,
  steadyStatus: '',  // what the status says once an error has gone
  openToken: 0,
  seeking: false,
  decodeBudget: undefined,  // the tests' smaller limit for decoding a song whole
  frameObserver: null,  // the tests' record of every frame run
  recorder: null,
};

// The status lies over the picture: what happens shows for a while and then fades (the bar keeps the song's
// title); a failure is said for longer, then the page's state shows again.
function showStatus(text, error = false) {
  const status = $('status');
  status.textContent = text;
  status.classList.toggle('error', error);
  status.classList.remove('faded');
  clearTimeout(page.statusTimer);
  if (!error) {
    page.steadyStatus = text;
    page.statusTimer = setTimeout(() => status.classList.add('faded'), STATUS_MS);
    return;
  }
  page.statusTimer = setTimeout(() => showStatus(page.steadyStatus), ERROR_MS);
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

// The stepper over what is heard now: the song's own samples, or the sample history of what is listened to.
function makeStepper() {
  const song = page.mode === 'song' ? page.song : null;
  const source = song && !song.live ? song.samples : page.audio.history;
  page.stepper = source ? new FrameStepper(page.engine, source, (n) => page.frameObserver && page.frameObserver(n))
    : null;
}

// A fresh effect with the current look; the previous one (if any) is released first, then dropped with its module.
async function startEngine() {
  const d = page.dataSet;
  const engine = await Engine.create(d.wasm, d.palettes, d.fade);
  if (page.engine) page.engine.destroy();
  page.engine = engine;
  if (!page.look) {
    // The first effect gives the settings' defaults and ranges that the stored look and the link's are read against.
    const rules = page.engine.settingRules();
    page.look = loadLook(rules, d.palettes.length, localStorage, { hd: HD_BY_DEFAULT });
    applyLookFragment(location.hash, page.look, rules);
  }
  page.engine.settings(page.look.settings);
  page.engine.stepPalette(page.look.palette);
  page.paletteShown = -1;
  makeStepper();
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

const clock = (seconds) => {
  const s = Math.max(0, Math.floor(seconds || 0));
  const h = Math.floor(s / 3600);
  const m = String(Math.floor(s / 60) % 60);
  return `${h ? `${h}:${m.padStart(2, '0')}` : m}:${String(s % 60).padStart(2, '0')}`;
};

// The seek bar and the times follow the song, but not while the user drags the bar.
function showPosition() {
  const song = page.song;
  const at = song ? song.element.currentTime : 0;
  const total = song ? song.duration : 0;
  $('elapsed').textContent = clock(at);
  $('total').textContent = clock(total);
  if (!page.seeking) {
    $('seek').max = String(total || 0);
    $('seek').value = String(at);
  }
}

function isPaused() {
  if (page.mode === 'song') return !page.song || page.song.element.paused;
  return page.audio.paused;
}

// Every display refresh: the frames the audio clock has reached since the last one, then the newest drawn.
function tick() {
  if (page.mode === 'song' && page.song && page.stepper) {
    const song = page.song;
    const heard = song.live ? page.audio.heardFrame() : song.heardFrame();
    if (!song.live) song.samples.prefetch(heard);
    if (!isPaused() && page.stepper.advance(heard) > 0) drawFrame();
    showPosition();
  } else if (page.mode === 'listening' && page.stepper && !page.audio.paused) {
    if (page.stepper.advance(page.audio.heardFrame()) > 0) drawFrame();
  }
  if (page.recorder) $('recording').textContent = `● recording ${clock(page.recorder.seconds())}`;
  requestAnimationFrame(tick);
}

function setMode(mode) {
  page.mode = mode;
  $('pause').disabled = mode === 'idle';
  $('pause').textContent = 'Pause';
  $('seek').disabled = mode !== 'song';
  const many = mode === 'song' && page.playlist.length > 1;
  $('previous').disabled = !many;
  $('next').disabled = !many;
  if (mode !== 'song') {
    $('seek').value = '0';
    document.title = 'Ombrelo Tunnel';
  }
  if ('mediaSession' in navigator)
    navigator.mediaSession.playbackState = mode === 'idle' ? 'none' : 'playing';
}

function describeSong(song) {
  const c = song.channels;
  const channels = c === 1 ? 'mono: both channels show the same wave' : c === 2 || !c ? 'stereo'
    : `${c} channels, mixed down to stereo`;
  // A long compressed song is not decoded for the picture, which then follows the sound as the speakers get it.
  return `${clock(song.duration)}, ${song.live ? 'long: the picture follows the sound as heard' : channels}`;
}

function closeSong() {
  if (!page.song) return;
  page.song.close();
  page.song = null;
}

// Media keys and the lock screen's controls, for the song playing.
function showSongToSystem(song) {
  document.title = `${song.title} – Ombrelo Tunnel`;
  $('song-title').textContent = song.title;
  $('song-title').title = song.title;
  if (!('mediaSession' in navigator)) return;
  navigator.mediaSession.metadata = new MediaMetadata({
    title: song.tags && song.tags.title ? song.tags.title : song.file.name,
    artist: song.tags && song.tags.artist ? song.tags.artist : '',
    album: 'Ombrelo Tunnel',
    artwork: [{ src: 'icon-512.png', sizes: '512x512', type: 'image/png' }],
  });
}

function wireMediaSession() {
  if (!('mediaSession' in navigator)) return;
  const handlers = {
    play: () => isPaused() && togglePause(),
    pause: () => !isPaused() && togglePause(),
    previoustrack: () => stepSong(-1),
    nexttrack: () => stepSong(1),
    seekto: (d) => seekTo(d.seekTime),
    seekbackward: (d) => page.song && seekTo(page.song.element.currentTime - (d.seekOffset || 10)),
    seekforward: (d) => page.song && seekTo(page.song.element.currentTime + (d.seekOffset || 10)),
  };
  for (const [action, handler] of Object.entries(handlers)) {
    try {
      navigator.mediaSession.setActionHandler(action, handler);
    } catch (_) { /* an action this browser does not know */ }
  }
}

// Plays the open song from its start (a live one's picture from context frame `origin`); its end plays the next of
// the list, or ends.
function startSong(song, list, index, origin = 0) {
  if (!song.live) page.audio.stop();  // a live song's sound already goes through the audio graph
  closeSong();
  page.song = song;
  page.playlist = list;
  page.current = index;
  setMode('song');
  makeStepper();
  page.stepper.start(origin);
  song.element.volume = page.volume;
  song.element.addEventListener('ended', () => songEnded(song));
  song.element.addEventListener('seeked', () => {
    if (page.song === song && !song.live) page.stepper.jumpTo(song.heardFrame());
  });
  song.element.addEventListener('play', () => { $('pause').textContent = 'Pause'; });
  song.element.addEventListener('pause', () => { $('pause').textContent = song.element.ended ? 'Pause' : 'Go on'; });
  song.element.play().catch((error) => showStatus(`The browser did not start the song (${error.message}).`, true));
  showSongToSystem(song);
  const place = list.length > 1 ? ` ${index + 1} of ${list.length}` : '';
  showStatus(`Playing${place} "${song.file.name}" (${describeSong(song)}).`);
}

function songEnded(song) {
  if (page.song !== song) return;
  if (page.current + 1 < page.playlist.length) {
    playFrom(page.playlist, page.current + 1, 1);
    return;
  }
  closeSong();
  setMode('idle');
  $('song-title').textContent = song.title;
  showStatus(`Finished "${song.file.name}".`);
}

// Opens list[index] (or, should it fail, the next one in `direction`) and plays it. Whatever plays goes on until a
// song has opened; if none does, it goes on, and a message says what failed.
async function playFrom(list, index, direction = 1) {
  const token = ++page.openToken;
  const failures = [];
  const steady = page.steadyStatus;  // what shows again after the failure's message, if nothing opens
  for (let i = index; i >= 0 && i < list.length; i += direction) {
    const file = list[i];
    showStatus(`Opening "${file.name}"…`);
    try {
      const song = await Song.open(file, page.engine ? page.engine.downmixer() : null, page.decodeBudget);
      if (token !== page.openToken) {  // another song was chosen meanwhile
        song.close();
        return;
      }
      let origin = 0;
      if (song.live) {
        try {
          origin = await page.audio.playElement(song.element);
        } catch (error) {
          song.close();
          throw new Error(`"${file.name}" is too long to decode for the picture and cannot be followed as heard: ${error.message}`);
        }
      }
      startSong(song, list, i, origin);
      if (failures.length) showStatus(failures.join(' '), true);
      return;
    } catch (error) {
      if (token !== page.openToken) return;
      failures.push(error.message);
    }
  }
  page.steadyStatus = steady;
  showStatus(failures.join(' ') || 'Nothing to play.', true);
}

// Songs chosen or dropped become the play list (a folder's in the order of their names), played from the first.
function openFiles(fileList, fromFolder = false) {
  let files = Array.from(fileList || []);
  if (fromFolder || files.length > 1) {
    const songs = files.filter((f) => SONG_NAME.test(f.name) || /^(audio|video)\//.test(f.type));
    if (fromFolder) {
      songs.sort((a, b) => (a.webkitRelativePath || a.name).localeCompare(b.webkitRelativePath || b.name,
        undefined, { numeric: true }));
    }
    if (songs.length === 0) {
      showStatus(fromFolder ? 'The folder holds no songs the page knows.' : 'None of those files is a song.', true);
      return;
    }
    files = songs;
  }
  if (files.length) playFrom(files, 0, 1);
}

function stepSong(step) {
  if (page.mode !== 'song' || page.playlist.length < 2) return;
  // Back to the song's start first, as players do, unless it has only just begun.
  if (step < 0 && page.song && page.song.element.currentTime > 3) {
    seekTo(0);
    return;
  }
  const index = page.current + step;
  if (index < 0 || index >= page.playlist.length) {
    showNote(step > 0 ? 'the last song of the list' : 'the first song of the list');
    return;
  }
  playFrom(page.playlist, index, step);
}

function seekTo(seconds) {
  if (!page.song) return;
  const d = page.song.duration;
  page.song.element.currentTime = Math.max(0, Math.min(Number.isFinite(d) ? d : 0, seconds));
}

async function listen(kind) {
  const token = ++page.openToken;
  showStatus(kind === 'tab' ? 'Asking for a tab’s sound…' : 'Asking for the microphone…');
  try {
    const origin = await page.audio.listen(kind);
    if (token !== page.openToken) return;
    closeSong();
    setMode('listening');
    makeStepper();
    page.stepper.start(origin);
    $('song-title').textContent = kind === 'tab' ? 'Tab sound' : 'Microphone';
    showStatus(kind === 'tab' ? 'Listening to the shared sound.' : 'Listening to the microphone.');
  } catch (error) {
    showStatus(error.message, true);
  }
}

async function togglePause() {
  if (page.mode === 'idle') return;
  const pause = !isPaused();
  if (page.mode === 'song') {
    if (pause) page.song.element.pause();
    else await page.song.element.play().catch(() => {});
  } else {
    await page.audio.setPaused(pause);
  }
  $('pause').textContent = pause ? 'Go on' : 'Pause';
  if ('mediaSession' in navigator) navigator.mediaSession.playbackState = pause ? 'paused' : 'playing';
  showNote(pause ? 'paused' : 'playing');
}

// The classic picture or the HD one, on the control and in the view; Smooth means something in classic only.
function showPicture(hd) {
  page.look.hd = hd;
  $('hd').checked = hd;
  $('smooth').disabled = hd;
  page.view.setHd(hd);
}

// The controls show the look: wave preset, cycling.
function showLook() {
  $('preset').value = String(page.look.settings.radioIndex);
  $('cycling').checked = page.look.settings.paletteAnimationSpeed !== 0;
  $('smooth').checked = page.look.smooth;
}

function keepLook() {
  saveLook(page.look);
  showLook();
  // The address carries the look, so that copying it shares it.
  try {
    history.replaceState(null, '', lookFragment(page.look));
  } catch (_) { /* an address the browser will not change */ }
}

async function toggleFullscreen() {
  try {
    if (document.fullscreenElement) await document.exitFullscreen();
    else await document.documentElement.requestFullscreen();
  } catch (error) {
    showStatus('The browser refused full screen here.', true);
  }
}

// One look action, from a key or a control.
function doAction(action) {
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
    case 'song':
      stepSong(action.step);
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
  keepLook();
}

// Keys on a focused control are the control's (Space presses a button, arrows move a slider or a list); elsewhere
// they are the player's.
function onKey(event) {
  if (event.ctrlKey || event.metaKey) return;
  const target = event.target;
  const control = target && target.closest && target.closest('button, input, select, a');
  if (control && [' ', 'Enter'].includes(event.key)) return;
  if (control && /^(INPUT|SELECT)$/.test(control.tagName) && control.type !== 'checkbox' &&
      /^(Arrow|Page|Home|End)/.test(event.key)) return;
  const action = actionForKey(event);
  if (!action || !page.engine) return;
  event.preventDefault();
  doAction(action);
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

async function toggleRecording() {
  if (page.recorder) {
    const recorder = page.recorder;
    page.recorder = null;
    $('record').textContent = 'Record';
    $('recording').hidden = true;
    try {
      await recorder.stop();
      showNote('clip saved');
    } catch (error) {
      showStatus(`The clip could not be saved (${error.message}).`, true);
    }
    return;
  }
  const tracks = page.mode === 'song' && page.song ? page.song.audioTracks() : page.audio.streamTracks();
  try {
    page.recorder = new ClipRecorder($('picture'), tracks, page.song ? page.song.title : 'tavelmir');
  } catch (error) {
    showStatus(`This browser cannot record a clip here (${error.message}).`, true);
    return;
  }
  $('record').textContent = 'Stop';
  $('recording').hidden = false;
}

function wireControls() {
  const file = $('file');
  const folder = $('folder');
  $('open').addEventListener('click', () => file.click());
  $('open-folder').addEventListener('click', () => folder.click());
  file.addEventListener('change', () => {
    openFiles(file.files);
    file.value = '';
  });
  folder.addEventListener('change', () => {
    openFiles(folder.files, true);
    folder.value = '';
  });
  $('mic').addEventListener('click', () => listen('microphone'));
  $('tab').addEventListener('click', () => listen('tab'));
  $('pause').addEventListener('click', togglePause);
  $('previous').addEventListener('click', () => stepSong(-1));
  $('next').addEventListener('click', () => stepSong(1));
  $('seek').addEventListener('input', () => {
    page.seeking = true;
    $('elapsed').textContent = clock(Number($('seek').value));
  });
  $('seek').addEventListener('change', () => {
    page.seeking = false;
    seekTo(Number($('seek').value));
  });
  $('volume').addEventListener('input', () => {
    page.volume = Number($('volume').value);
    if (page.song) page.song.element.volume = page.volume;
    try {
      localStorage.setItem('tavelmir.volume', String(page.volume));
    } catch (_) { /* kept for this visit */ }
  });
  $('fullscreen').addEventListener('click', toggleFullscreen);
  $('stage').addEventListener('dblclick', toggleFullscreen);
  $('help-button').addEventListener('click', () => doAction({ action: 'help' }));
  $('palette-previous').addEventListener('click', () => page.engine && doAction({ action: 'palette', step: -1 }));
  $('palette-next').addEventListener('click', () => page.engine && doAction({ action: 'palette', step: 1 }));
  $('cycling').addEventListener('change', () => {
    if (page.engine && $('cycling').checked !== (page.look.settings.paletteAnimationSpeed !== 0))
      doAction({ action: 'cycling' });
  });
  $('preset').addEventListener('change', () => {
    if (page.engine) doAction({ action: 'preset', preset: Number($('preset').value) });
  });
  $('hd').addEventListener('change', () => {
    showPicture($('hd').checked);
    keepLook();
  });
  $('smooth').addEventListener('change', () => {
    page.look.smooth = $('smooth').checked;
    page.view.setSmooth(page.look.smooth);
    keepLook();
  });
  $('still').addEventListener('click', () => saveStill($('picture'), page.song ? page.song.title : 'tavelmir')
    .catch((error) => showStatus(`The picture could not be saved (${error.message}).`, true)));
  $('record').addEventListener('click', toggleRecording);
  $('link').addEventListener('click', async () => {
    const link = `${location.href.split('#')[0]}${lookFragment(page.look)}`;
    try {
      await navigator.clipboard.writeText(link);
      showNote('link copied');
    } catch (_) {
      showNote(link);  // no clipboard here: the link to copy by hand
    }
  });
  // Buttons clicked with the mouse keep no focus, so Space and Enter stay the player's keys; keyboard users keep
  // theirs on the control.
  for (const b of document.querySelectorAll('#bar button, #bar input[type=checkbox]'))
    b.addEventListener('mouseup', () => b.blur());
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
    if (e.dataTransfer.files.length) openFiles(e.dataTransfer.files);
    else showStatus('What was dropped holds no file: drop song files here.', true);
  });
  $('help').textContent = HELP_LINE;
  wireMediaSession();
}

// Offline use, where the page is served (a service worker needs http or https).
function registerServiceWorker() {
  if (!('serviceWorker' in navigator) || !/^https?:$/.test(location.protocol)) return;
  navigator.serviceWorker.register('service_worker.js').catch(() => { /* the page works without */ });
}

async function main() {
  document.body.classList.add('scripted');
  wireControls();
  hideIdleCursor();
  try {
    page.dataSet = await loadDataSet();
  } catch (error) {
    showStatus(`The effect could not be loaded (${error.message}). Serve the page's folder over HTTP, for ` +
      'example with: python3 -m http.server -d build/web', true);
    clearTimeout(page.statusTimer);
    throw error;
  }
  await startEngine();
  const volume = Number(localStorage.getItem('tavelmir.volume'));
  if (localStorage.getItem('tavelmir.volume') !== null && volume >= 0 && volume <= 1) page.volume = volume;
  $('volume').value = String(page.volume);
  page.view.setSmooth(page.look.smooth);
  showPicture(page.look.hd);
  showLook();
  page.view.onHdFailure = (error) => {
    showPicture(false);
    showStatus(`The HD picture cannot be drawn here (${error.message}); the classic one shows.`, true);
  };
  showPaletteName();
  showStatus('');
  registerServiceWorker();
  requestAnimationFrame(tick);
}

function stop() {
  ++page.openToken;
  page.audio.stop();
  closeSong();
  setMode('idle');
}

installTestHook(page, { main: main(), startEngine, drawFrame, stop, isPaused, openFiles, seekTo });
