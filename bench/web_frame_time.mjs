// CPU time of one frame of the WebAssembly effect in Node, over raw waveform blocks (the file `tavelmir render
// --waveform` reads), after a warm-up. Prints the microseconds per frame. Used by bench/web_vs_native.sh.
// usage: node bench/web_frame_time.mjs WEB_DIR WAVEFORM_FILE FRAMES [MODULE]   (default tavelmir.wasm)
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [webDir, waveFile, framesText, module = 'tavelmir.wasm'] = process.argv.slice(2);
const { Engine } = await import(pathToFileURL(path.resolve(webDir, 'engine.js')));
const names = JSON.parse(readFileSync(path.join(webDir, 'data', 'palettes.json'), 'utf8'));
const engine = await Engine.create(readFileSync(path.join(webDir, module)),
  names.map((n) => readFileSync(path.join(webDir, 'data', n))), readFileSync(path.join(webDir, 'data', 'fade.dat')));
const wave = readFileSync(waveFile);
const blocks = wave.length / 1152;
const frames = Number(framesText);
const run = (f) => {
  engine.setBlock(wave.subarray((f % blocks) * 1152, (f % blocks + 1) * 1152));
  engine.frame();
};
for (let f = 0; f < 100; ++f) run(f);
const start = process.cpuUsage();
for (let f = 0; f < frames; ++f) run(f);
const used = process.cpuUsage(start);
console.log(((used.user + used.system) / frames).toFixed(1));
