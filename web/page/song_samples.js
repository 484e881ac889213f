// The song's own samples, at its own rate, for the picture: what `tavelmir render` reads from the same file, so the
// page draws the command line's frames whatever rate the sound card plays at. A PCM WAV file is read a few seconds
// at a time around the playing position (memory does not grow with the song); anything else is decoded by the
// browser at the file's own rate and kept as two channels. Both answer `holds` and `copy` by song sample frame, as
// the sample history does by context frame, so one frame stepper serves both.

const CHUNK_SECONDS = 4;
const KEPT_CHUNKS = 4;  // the one playing, the next, and two behind for a short seek back

// Channels of a frame as the picture's two: the first two as they are, a mono file on both; more than two through
// `downmix` (channels, count, mask) -> [left, right] in double, where the page has one.
function toStereo(channels, count, downmix, mask = 0) {
  if (channels.length === 1) return [channels[0], channels[0]];
  if (channels.length > 2 && downmix) return downmix(channels, count, mask);
  return [channels[0], channels[1]];
}

// A file's sample bytes as full-scale floats, the way the command line's decoder normalises integers (a sample
// divided by 2^(bits - 1); 8-bit WAV samples are unsigned).
function pcmToFloat(bytes, { channels, bits, float, blockAlign }) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const frames = Math.floor(bytes.byteLength / blockAlign);
  const out = Array.from({ length: channels }, () => new Float32Array(frames));
  const width = bits / 8;
  for (let f = 0; f < frames; ++f) {
    for (let c = 0; c < channels; ++c) {
      const at = f * blockAlign + c * width;
      let v;
      if (float) v = view.getFloat32(at, true);
      else if (bits === 16) v = view.getInt16(at, true) / 32768;
      else if (bits === 24) v = ((view.getUint8(at + 2) << 24 >> 8) | view.getUint16(at, true)) / 8388608;
      else if (bits === 32) v = view.getInt32(at, true) / 2147483648;
      else v = (view.getUint8(at) - 128) / 128;
      out[c][f] = v;
    }
  }
  return out;
}

// A PCM WAV file read in pieces of a few seconds as the song plays.
export class PcmSongSamples {
  constructor(file, info, downmix = null) {
    this.file = file;
    this.pcm = { ...info.pcm, channels: info.channels };
    this.rate = info.rate;
    this.channels = info.channels;
    this.length = info.pcm.frames;
    this.chunkFrames = Math.ceil(this.rate * CHUNK_SECONDS);
    this.chunks = new Map();  // chunk index -> [left, right], or a promise while it is read
    this.downmix = downmix;
    this.precise = this.channels > 2 && downmix !== null;  // samples in double
    this.failure = null;
  }

  // Starts reading the pieces around song frame `frame` that are not held yet; what is far behind is let go.
  prefetch(frame) {
    const at = Math.floor(Math.max(0, frame) / this.chunkFrames);
    for (const index of [at, at + 1]) {
      if (index * this.chunkFrames >= this.length || this.chunks.has(index)) continue;
      this.chunks.set(index, this.read(index));
    }
    for (const index of this.chunks.keys())
      if (index < at - (KEPT_CHUNKS - 2) || index > at + 1) this.chunks.delete(index);
  }

  // Reads the pieces around `frame` and waits for them; throws if the file cannot be read.
  async prime(frame) {
    this.prefetch(frame);
    await Promise.all([...this.chunks.values()]);
    if (this.failure) throw this.failure;
  }

  async read(index) {
    const first = index * this.chunkFrames;
    const count = Math.min(this.chunkFrames, this.length - first);
    const from = this.pcm.dataOffset + first * this.pcm.blockAlign;
    try {
      const bytes = new Uint8Array(await this.file.slice(from, from + count * this.pcm.blockAlign).arrayBuffer());
      const stereo = toStereo(pcmToFloat(bytes, this.pcm), count, this.downmix, this.pcm.mask);
      if (this.chunks.has(index)) this.chunks.set(index, stereo);
    } catch (error) {
      this.failure = error;  // the file went away or cannot be read any more: said by the page
      this.chunks.delete(index);
    }
  }

  // Whether song frames first .. first + count - 1 can be copied now (after the end is silence, always held).
  // (A block is far shorter than a piece, so it spans two at most.)
  holds(first, count) {
    const from = Math.max(0, first);
    const last = Math.min(first + count, this.length) - 1;
    if (last < from) return true;
    return [from, last].every((f) => Array.isArray(this.chunks.get(Math.floor(f / this.chunkFrames))));
  }

  copy(first, left, right) {
    for (let i = 0; i < left.length; ++i) {
      const f = first + i;
      const chunk = f >= 0 && f < this.length ? this.chunks.get(Math.floor(f / this.chunkFrames)) : null;
      const at = f % this.chunkFrames;
      left[i] = Array.isArray(chunk) ? chunk[0][at] : 0;
      right[i] = Array.isArray(chunk) ? chunk[1][at] : 0;
    }
  }
}

// A song the browser decoded whole at its own rate (`rate`, from the file's header; the browser's choice where the
// header said nothing), kept as the picture's two channels.
export class DecodedSongSamples {
  static async decode(file, rate, downmix = null) {
    const bytes = await file.arrayBuffer();
    const context = new OfflineAudioContext(1, 1, rate || 48000);
    const buffer = await context.decodeAudioData(bytes);
    const channels = Array.from({ length: buffer.numberOfChannels }, (_, c) => buffer.getChannelData(c));
    return new DecodedSongSamples(buffer.sampleRate, buffer.numberOfChannels,
      toStereo(channels, buffer.length, downmix), buffer.length);
  }

  constructor(rate, channels, [left, right], length) {
    this.rate = rate;
    this.channels = channels;
    this.left = left;
    this.right = right;
    this.length = length;
    this.precise = left instanceof Float64Array;
    this.failure = null;
  }

  prefetch() {}

  async prime() {}

  holds() {
    return true;
  }

  copy(first, left, right) {
    for (let i = 0; i < left.length; ++i) {
      const f = first + i;
      const held = f >= 0 && f < this.length;
      left[i] = held ? this.left[f] : 0;
      right[i] = held ? this.right[f] : 0;
    }
  }
}

// The picture's samples of `file`, whose first bytes `info` describes (sniffSong's answer, or null). Throws with
// the browser's reason when the file cannot be decoded.
export async function openSongSamples(file, info, downmix = null) {
  if (info && info.pcm && info.pcm.frames > 0) return new PcmSongSamples(file, info, downmix);
  return DecodedSongSamples.decode(file, info ? info.rate : 0, downmix);
}
