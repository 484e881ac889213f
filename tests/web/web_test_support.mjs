// What the web tests share: reading the built page's data set as the page does, and zlib's CRC-32.
import { readFileSync } from 'node:fs';
import path from 'node:path';

// The module and the data set as build/web holds them, in the order the page loads them.
export function loadWebDataSet(webDir) {
  const names = JSON.parse(readFileSync(path.join(webDir, 'data', 'palettes.json'), 'utf8'));
  return {
    wasm: readFileSync(path.join(webDir, 'tavelmir.wasm')),
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
