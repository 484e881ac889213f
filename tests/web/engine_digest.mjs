// Each WebAssembly module of the effect (SIMD and portable) over the regression runs: the same waveforms and settings as the native regression test
// (taken from its script, so the two cannot drift apart), the same digest lines, diffed against the committed
// expectation; and the picture drawn at an output's own size, against the native digests of that picture.
//
// usage: node engine_digest.mjs WEB_DIR REGRESSION_DIR
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { crc32, ENGINE_MODULES, loadWebDataSet } from './web_test_support.mjs';

const [webDir, regressionDir] = process.argv.slice(2);
if (!webDir || !regressionDir) {
  console.error('usage: node engine_digest.mjs WEB_DIR REGRESSION_DIR');
  process.exit(2);
}
const { Engine } = await import(pathToFileURL(path.join(webDir, 'engine.js')));

// The runs and their waveform bytes, straight from the native test's script.
const runs = JSON.parse(execFileSync('python3', ['-c', `
import json, sys, base64
sys.path.insert(0, sys.argv[1])
import frame_digest as d
import hd_picture_digest as hd
print(json.dumps({"frames": d.FRAMES, "runs": [
  {"name": n, "settings": s, "wave": base64.b64encode(d.waveform(k)).decode()} for n, s, k in d.RUNS],
  "hd": {"frames": hd.FRAMES, "width": hd.WIDTH, "height": hd.HEIGHT,
         "wave": base64.b64encode(d.waveform("music")[:hd.FRAMES * hd.BLOCK]).decode()}}))
`, regressionDir], { maxBuffer: 64 << 20 }).toString());

const keyNames = {
  RadioIndex: 'radioIndex', WaveAmplitude: 'waveAmplitude', WaveShiftPower: 'waveShiftPower',
  WaveAttenuationRate: 'waveAttenuationRate', PaletteAnimationSpeed: 'paletteAnimationSpeed',
};

function digestLine(name, frame, indices, palette) {
  const pad = (v, n) => String(v).padStart(n, ' ');
  const hex = (v) => v.toString(16).padStart(8, '0');
  const distinct = new Set(indices).size;
  return `${name} ${pad(frame, 3)} pixels ${hex(crc32(indices))} distinct ${pad(distinct, 3)} ` +
    `centre ${pad(indices[100 * 320 + 160], 3)} corner ${pad(indices[0], 3)} palette ${hex(crc32(palette))} ` +
    `rgb[251] ${pad(palette[753], 3)},${pad(palette[754], 3)},${pad(palette[755], 3)}`;
}

async function digestLines(module) {
  const data = loadWebDataSet(webDir, module);
  const lines = [];
  for (const run of runs.runs) {
    const engine = await Engine.create(data.wasm, data.palettes, data.fade);
    const settings = engine.defaultSettings();
    for (const assignment of run.settings) {
      const [key, value] = assignment.split('=');
      if (!(key in keyNames)) throw new Error(`the web engine has no setting ${key}`);
      settings[keyNames[key]] = Number(value);
    }
    engine.settings(settings);
    const wave = Buffer.from(run.wave, 'base64');
    for (let f = 0; f < runs.frames; ++f) {
      engine.setBlock(wave.subarray(f * 1152, (f + 1) * 1152));
      engine.frame();
      lines.push(digestLine(run.name, f, engine.pixels(), engine.palette()));
    }
  }
  return lines;
}

// The native script's lines for the picture at its own size: its RGB bytes of each frame, and two pixels.
function hdDigestLine(frame, rgb, width, height) {
  const pad = (v) => String(v).padStart(3, ' ');
  const pixel = (at) => `${pad(rgb[at])},${pad(rgb[at + 1])},${pad(rgb[at + 2])}`;
  const row = 3 * (height / 2) * width;
  return `hd ${pad(frame)} rgb ${crc32(rgb).toString(16).padStart(8, '0')} centre ${pixel(row + 3 * (width / 2))} ` +
    `left ${pixel(row + 3 * 40)}`;
}

// The recorded music with the plug-in's settings, drawn as `render --look hd --aspect 16:10` draws it (square frame
// pixels at 640 x 400); the page's RGBA read back as RGB.
async function hdDigestLines(module) {
  const data = loadWebDataSet(webDir, module);
  const { frames, width, height, wave } = runs.hd;
  const bytes = Buffer.from(wave, 'base64');
  const engine = await Engine.create(data.wasm, data.palettes, data.fade);
  engine.settings(engine.defaultSettings());
  engine.prepareHd(width, height, 1);
  const rgb = new Uint8Array(width * height * 3);
  const lines = [];
  for (let f = 0; f < frames; ++f) {
    engine.setBlock(bytes.subarray(f * 1152, (f + 1) * 1152));
    engine.frame();
    const rgba = engine.drawHd();
    for (let i = 0, j = 0; j < rgb.length; i += 4, j += 3) rgb.set(rgba.subarray(i, i + 3), j);
    lines.push(hdDigestLine(f, rgb, width, height));
  }
  // A size beyond the map's limit is refused in words, not by stopping the module.
  for (const [w, h] of [[0, height], [width, 4321]]) {
    assert.throws(() => engine.prepareHd(w, h, 1), new RegExp(`cannot be drawn at ${w}x${h}`), module);
    engine.prepareHd(width, height, 1);
    assert.equal(engine.drawHd().length, width * height * 4, module);
  }
  return lines;
}

let failures = 0;
let compared = 0;
for (const [file, digest] of [['expected_frames.txt', digestLines], ['expected_hd_frames.txt', hdDigestLines]]) {
  const expected = readFileSync(path.join(regressionDir, file), 'utf8').trimEnd().split('\n');
  for (const module of ENGINE_MODULES) {
    const lines = await digest(module);
    for (let i = 0; i < Math.max(expected.length, lines.length); ++i) {
      ++compared;
      if (expected[i] !== lines[i] && ++failures <= 5)
        console.error(`${module}, ${file} line ${i + 1}\n  expected: ${expected[i]}\n  web:      ${lines[i]}`);
    }
  }
}

console.log(`${compared - failures} passed, ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
