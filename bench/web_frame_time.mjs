// CPU time of one frame of the WebAssembly effect in Node, over raw waveform blocks (the file `tavelmir render
// --waveform` reads), after a warm-up. Prints the microseconds per frame. Used by bench/web_vs_native.sh.
// With a size WxH, each frame is also drawn at that size as the page's HD picture draws it, and it prints the
// microseconds of the whole frame, of the drawing alone, and the milliseconds the map took (once per size).
// usage: node bench/web_frame_time.mjs WEB_DIR WAVEFORM_FILE FRAMES [MODULE [WxH]]   (default tavelmir.wasm)
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [webDir, waveFile, framesText, module = 'tavelmir.wasm', size] = process.argv.slice(2);
const { Engine } = await import(pathToFileURL(path.resolve(webDir, 'engine.js')));
const names = JSON.parse(readFileSync(path.join(webDir, 'data', 'palettes.json'), 'utf8'));
const engine = await Engine.create(readFileSync(path.join(webDir, module)),
  names.map((n) => readFileSync(path.join(webDir, 'data', n))), readFileSync(path.join(webDir, 'data', 'fade.dat')));
const wave = readFileSync(waveFile);
const blocks = wave.length / 1152;
const frames = Number(framesText);
const cpu = (since) => {
  const used = process.cpuUsage(since);
  return used.user + used.system;
};
const [width, height] = size ? size.split('x').map(Number) : [0, 0];
let mapUs = 0;
if (size) {
  const before = process.cpuUsage();
  engine.prepareHd(width, height, 1);  // square frame pixels, as the native benchmark's HD frames
  mapUs = cpu(before);
}
let drawUs = 0;
const run = (f) => {
  engine.setBlock(wave.subarray((f % blocks) * 1152, (f % blocks + 1) * 1152));
  engine.frame();
  if (size) {
    const before = process.cpuUsage();
    engine.drawHd();
    drawUs += cpu(before);
  }
};
for (let f = 0; f < 100; ++f) run(f);
drawUs = 0;
const start = process.cpuUsage();
for (let f = 0; f < frames; ++f) run(f);
const perFrame = (cpu(start) / frames).toFixed(1);
if (size) console.log(`${perFrame} ${(drawUs / frames).toFixed(1)} ${(mapUs / 1000).toFixed(0)}`);
else console.log(perFrame);
