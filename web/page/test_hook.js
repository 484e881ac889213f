// What the page's automated tests reach (in test builds only): the page's state, the frames a playing song ran, and
// a deterministic feeder that runs a song's frames through the same samples, stepper and drawing as playing does,
// with the clock taken out.
import { FrameStepper } from './frame_stepper.js';
import { sniffSong } from './song_format.js';
import { openSongSamples } from './song_samples.js';

const crcTable = new Uint32Array(256).map((_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; ++i) c = crcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

// The canvas as it shows: red, green, blue of every pixel, row by row.
function canvasRgb(canvas) {
  const rgba = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  const rgb = new Uint8Array((rgba.length / 4) * 3);
  for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) {
    rgb[j] = rgba[i];
    rgb[j + 1] = rgba[i + 1];
    rgb[j + 2] = rgba[i + 2];
  }
  return rgb;
}

// CRC-32 of a frame as `tavelmir render --dump` writes it: the 64000 palette indices, then 256 red, green, blue.
function frameRecordCrc(engine) {
  const record = new Uint8Array(64000 + 768);
  record.set(engine.pixels());
  record.set(engine.palette(), 64000);
  return crc32(record);
}

export function installTestHook(page, { main, startEngine, drawFrame, stop, isPaused, openFiles, seekTo }) {
  window.tavelmirTest = {
    ready: main.then(() => true),

    state() {
      return {
        mode: page.mode,
        nextFrame: page.stepper ? page.stepper.next : 0,
        skipped: page.stepper ? page.stepper.skipped : 0,
        drawn: page.drawn,
        status: document.getElementById('status').textContent,
        statusIsError: document.getElementById('status').classList.contains('error'),
        note: document.getElementById('note').textContent,
        paletteName: document.getElementById('palette-name').textContent,
        paused: isPaused(),
        title: document.title,
        songTitle: document.getElementById('song-title').textContent,
        current: page.current,
        playlist: page.playlist.map((f) => f.name),
        position: page.song ? page.song.element.currentTime : 0,
        recording: page.recorder !== null,
        look: JSON.parse(JSON.stringify(page.look)),
      };
    },

    // Runs the first `frames` frames of the song at `url` in a fresh effect, from the samples the page reads for it
    // (at the song's own rate), each drawn into the canvas; returns the CRC-32 of the canvas's RGB after each frame.
    async renderSong(url, frames) {
      page.mode = 'idle';  // the live clock stays out of it
      const blob = await (await fetch(url)).blob();
      const file = new File([blob], url.split('/').pop());
      const head = new Uint8Array(await file.slice(0, 1 << 16).arrayBuffer());
      const samples = await openSongSamples(file, sniffSong(head, file.size), page.engine.downmixer());
      await startEngine();
      const stepper = new FrameStepper(page.engine, samples);
      stepper.start(0);
      const crcs = [];
      for (let f = 0; f < frames; ++f) {
        await samples.prime(Math.floor((f * samples.rate) / 50));
        if (!stepper.runFrame(f)) throw new Error(`frame ${f}: its samples are not there`);
        drawFrame();
        crcs.push(crc32(canvasRgb(document.getElementById('picture'))));
      }
      return crcs;
    },

    // From now on, the dump record's CRC-32 of each frame the page runs, by frame number (the first `count`).
    recordFrames(count) {
      const crcs = [];
      this.recorded = crcs;
      page.frameObserver = (n) => {
        if (n < count && crcs[n] === undefined) crcs[n] = frameRecordCrc(page.engine);
      };
    },

    recordedFrames() {
      return Array.from(this.recorded, (c) => (c === undefined ? null : c));
    },

    seekTo,
    openFiles,

    // Songs whose decoded samples would take more than `bytes` play with the picture following their sound.
    setDecodeBudget(bytes) {
      page.decodeBudget = bytes;
    },
    stop,
    startEngine,

    canvasRgb() {
      return Array.from(canvasRgb(document.getElementById('picture')));
    },
  };
}
