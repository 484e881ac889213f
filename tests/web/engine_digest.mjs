// Each WebAssembly module of the effect (SIMD and portable) over the regression runs: the same waveforms and settings as the native regression test
// (taken from its script, so the two cannot drift apart), the same digest lines, diffed against the committed
// expectation.
//
// usage: node engine_digest.mjs WEB_DIR REGRESSION_DIR
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
const { Engine, DEFAULT_SETTINGS } = await import(pathToFileURL(path.join(webDir, 'engine.js')));

// The runs and their waveform bytes, straight from the native test's script.
const runs = JSON.parse(execFileSync('python3', ['-c', `
import json, sys, base64
sys.path.insert(0, sys.argv[1])
import frame_digest as d
print(json.dumps({"frames": d.FRAMES, "runs": [
  {"name": n, "settings": s, "wave": base64.b64encode(d.waveform(k)).decode()} for n, s, k in d.RUNS]}))
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
    const settings = { ...DEFAULT_SETTINGS };
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

const expected = readFileSync(path.join(regressionDir, 'expected_frames.txt'), 'utf8').trimEnd().split('\n');
let failures = 0;
let compared = 0;
for (const module of ENGINE_MODULES) {
  const lines = await digestLines(module);
  for (let i = 0; i < Math.max(expected.length, lines.length); ++i) {
    ++compared;
    if (expected[i] !== lines[i] && ++failures <= 5)
      console.error(`${module}, line ${i + 1}\n  expected: ${expected[i]}\n  web:      ${lines[i]}`);
  }
}

console.log(`${compared - failures} passed, ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
