// What the page's automated tests reach: the page's state, and a deterministic feeder that runs a song's frames
// through the same stepper and drawing as playing does, with the clock and the audio thread taken out.
import { SampleHistory } from './sample_history.js';
import { FrameStepper } from './frame_stepper.js';

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

export function installTestHook(page, { main, startEngine, drawFrame, stop }) {
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
        paused: page.audio.paused,
        look: JSON.parse(JSON.stringify(page.look)),
      };
    },

    // Decodes the song at `url` at its own `rate` (no resampling), then runs its first `frames` frames in a fresh
    // effect, each drawn into the canvas; returns the CRC-32 of the canvas's RGB after each frame.
    async renderSong(url, rate, frames) {
      page.mode = 'idle';  // the live clock stays out of it
      const bytes = await (await fetch(url)).arrayBuffer();
      const song = await new OfflineAudioContext(2, 1, rate).decodeAudioData(bytes);
      const left = song.getChannelData(0);
      const right = song.numberOfChannels > 1 ? song.getChannelData(1) : left;
      const history = new SampleHistory(rate, song.duration + 2);
      history.append(0, left, right);
      history.append(song.length, new Float32Array(rate), new Float32Array(rate));  // silence after the end
      await startEngine();
      const stepper = new FrameStepper(page.engine, history);
      stepper.start(0);
      const crcs = [];
      for (let f = 0; f < frames; ++f) {
        if (!stepper.runFrame(f)) throw new Error(`frame ${f}: its samples are not there`);
        drawFrame();
        crcs.push(crc32(canvasRgb(document.getElementById('picture'))));
      }
      return crcs;
    },

    stop,

    canvasRgb() {
      return Array.from(canvasRgb(document.getElementById('picture')));
    },
  };
}
