// One song: its sound streamed by a media element (the browser decodes as it plays and resamples for the speakers,
// so memory does not grow with the song), and its own samples for the picture (song_samples.js). A song is opened
// whole or not at all: until `open` succeeds, whatever played before goes on untouched.
import { sniffSong, songTags } from './song_format.js';
import { openSongSamples } from './song_samples.js';

const HEAD_BYTES = 1 << 16;
const TAIL_BYTES = 1 << 18;
const OPEN_TIMEOUT_MS = 20000;
// A compressed song is decoded whole for the picture (the browser decodes no other way at a chosen rate), as 4-byte
// samples: beyond this the picture follows the sound as heard instead, so memory stays bounded (about 12 minutes of
// 44.1 kHz stereo).
export const DECODE_BUDGET_BYTES = 256 * 1024 * 1024;

// An Error whose message is for the user.
const refused = (text) => Object.assign(new Error(text), { forUser: true });

function waitForMetadata(element) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('timeout')), OPEN_TIMEOUT_MS);
    element.addEventListener('loadedmetadata', () => { clearTimeout(timer); resolve(); }, { once: true });
    element.addEventListener('error', () => { clearTimeout(timer); reject(element.error); }, { once: true });
  });
}

export class Song {
  // Opens `file`; throws an Error whose message says why it cannot be played. `downmix`: the engine's surround
  // downmix, for files of more than two channels.
  static async open(file, downmix, decodeBudget = DECODE_BUDGET_BYTES) {
    if (file.size === 0) throw refused(`"${file.name}" is empty: there is nothing to play.`);
    const head = new Uint8Array(await file.slice(0, HEAD_BYTES).arrayBuffer());
    const tail = file.size > HEAD_BYTES ? new Uint8Array(await file.slice(-TAIL_BYTES).arrayBuffer()) : head;
    const info = sniffSong(head, file.size, tail);
    if (info && info.pcm && info.pcm.frames === 0) throw refused(`"${file.name}" holds no sound.`);
    const url = URL.createObjectURL(file);
    const element = new Audio();
    element.preload = 'auto';
    element.src = url;
    let samples = null;
    try {
      await waitForMetadata(element);
      const decoded = (info ? info.rate : 48000) * Math.max(2, info ? info.channels : 2) * 4 * element.duration;
      if (!(info && info.pcm) && Number.isFinite(decoded) && decoded > decodeBudget) {
        if (!(element.duration > 0)) throw refused(`"${file.name}" holds no sound.`);
        return new Song(file, element, url, null, songTags(head), info);
      }
      samples = await openSongSamples(file, info, downmix);
      if (samples.length === 0) throw refused(`"${file.name}" holds no sound.`);
      await samples.prime(0);
    } catch (error) {
      element.removeAttribute('src');
      element.load();
      URL.revokeObjectURL(url);
      if (error && error.forUser) throw error;
      throw refused(`"${file.name}" cannot be played: this browser does not decode it as audio.`);
    }
    return new Song(file, element, url, samples, songTags(head), info);
  }

  // `samples`: the song's own samples for the picture, or null for a long compressed song, whose picture follows
  // its sound as heard (`live`).
  constructor(file, element, url, samples, tags, info) {
    this.file = file;
    this.element = element;
    this.url = url;
    this.samples = samples;
    this.live = samples === null;
    this.channels = samples ? samples.channels : info ? info.channels : 0;
    this.tags = tags;
    this.title = tags && tags.title ? (tags.artist ? `${tags.artist} – ${tags.title}` : tags.title) : file.name;
  }

  get duration() {
    const d = this.element.duration;
    return Number.isFinite(d) || !this.samples ? d : this.samples.length / this.samples.rate;
  }

  // The song frame being heard: the element's position, which allows for the output's latency.
  heardFrame() {
    return Math.floor(this.element.currentTime * this.samples.rate);
  }

  // The sound of the song for a recording, where the browser gives it.
  audioTracks() {
    const capture = this.element.captureStream || this.element.mozCaptureStream;
    if (!capture) return [];
    if (!this.stream) this.stream = capture.call(this.element);
    return this.stream.getAudioTracks();
  }

  close() {
    this.element.pause();
    this.element.removeAttribute('src');
    this.element.load();
    URL.revokeObjectURL(this.url);
  }
}
