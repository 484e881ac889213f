// What the web tests share: reading the built page's data set as the page does, and zlib's CRC-32.
import { readFileSync } from 'node:fs';
import path from 'node:path';

// The modules build/web holds: the SIMD one and the portable one.
export const ENGINE_MODULES = ['tavelmir.wasm', 'tavelmir-portable.wasm'];

// A module and the data set as build/web holds them, in the order the page loads them.
export function loadWebDataSet(webDir, module = 'tavelmir.wasm') {
  const names = JSON.parse(readFileSync(path.join(webDir, 'data', 'palettes.json'), 'utf8'));
  return {
    wasm: readFileSync(path.join(webDir, module)),
    names,
    palettes: names.map((n) => new Uint8Array(readFileSync(path.join(webDir, 'data', n)))),
    fade: new Uint8Array(readFileSync(path.join(webDir, 'data', 'fade.dat'))),
  };
}

const table = new Uint32Array(256).map((_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

export function crc32(bytes) {
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; ++i) c = table[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

// A 16-bit PCM WAV file of `frames` sample frames; `sample(channel, i)` gives each value in -1 .. 1.
export function wavBytes(rate, channels, frames, sample) {
  const data = frames * channels * 2;
  const b = Buffer.alloc(44 + data);
  b.write('RIFF', 0);
  b.writeUInt32LE(36 + data, 4);
  b.write('WAVEfmt ', 8);
  b.writeUInt32LE(16, 16);
  b.writeUInt16LE(1, 20);
  b.writeUInt16LE(channels, 22);
  b.writeUInt32LE(rate, 24);
  b.writeUInt32LE(rate * channels * 2, 28);
  b.writeUInt16LE(channels * 2, 32);
  b.writeUInt16LE(16, 34);
  b.write('data', 36);
  b.writeUInt32LE(data, 40);
  for (let i = 0, at = 44; i < frames; ++i)
    for (let c = 0; c < channels; ++c, at += 2)
      b.writeInt16LE(Math.max(-32768, Math.min(32767, Math.round(sample(c, i) * 32767))), at);
  return b;
}

// Music enough for the effect: two tones per channel, a beat every half second, and some noise, the same bytes on
// every machine.
export function testSong(rate, channels, seconds) {
  let seed = 12345;
  return wavBytes(rate, channels, Math.round(rate * seconds), (c, i) => {
    seed = (seed * 1103515245 + 12345) & 0x7fffffff;
    const t = i / rate;
    const beat = Math.floor(t * 2) % 2 === 0 ? 1 : 0.4;
    return beat * (0.45 * Math.sin(2 * Math.PI * (110 + 55 * c) * t) + 0.2 * Math.sin(2 * Math.PI * 3.1 * t)) +
      0.1 * (((seed >> 16) & 0xff) / 128 - 1);
  });
}
