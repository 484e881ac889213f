// The page's own modules in Node, where their faults are easy to pin down: the sample history's ring, the frame
// grid on the audio clock, the stored look, the palette names.
// usage: node page_modules_test.mjs WEB_DIR
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

import { ENGINE_MODULES, loadWebDataSet } from './web_test_support.mjs';

const webDir = path.resolve(process.argv[2] || 'build/web');
const load = (name) => import(pathToFileURL(path.join(webDir, name)));
const { SampleHistory } = await load('sample_history.js');
const { FrameStepper, frameStartSample } = await load('frame_stepper.js');
const { loadLook, paletteName, saveLook } = await load('look_store.js');
const { Engine } = await load('engine.js');

const ramp = (from, count) => Float32Array.from({ length: count }, (_, i) => from + i);

function memoryStorage(text) {
  const items = new Map(text === undefined ? [] : [['tavelmir.look', text]]);
  return { getItem: (k) => items.get(k) ?? null, setItem: (k, v) => items.set(k, v) };
}

describe('sample history', () => {
  // Each case appends batches (first frame, length) of samples whose value is their frame number, then reads.
  const cases = [
    { name: 'in order', batches: [[0, 512], [512, 512]], read: 300, expect: (f) => f },
    { name: 'a gap is silence', batches: [[0, 100], [200, 100]], read: 50, expect: (f) => (f >= 100 && f < 200 ? 0 : f) },
    { name: 'an overlap keeps the first', batches: [[0, 100], [50, 100]], read: 0, expect: (f) => f },
    { name: 'wrapped round the ring', batches: [[0, 800], [800, 800], [1600, 800]], read: 1500, expect: (f) => f },
    { name: 'too old is silence', batches: [[0, 1000], [1000, 1000]], read: 900, expect: (f) => (f < 1000 ? 0 : f) },
    { name: 'before the start is silence', batches: [[10, 1000]], read: 0, expect: (f) => (f < 10 ? 0 : f) },
  ];
  for (const c of cases) {
    test(c.name, () => {
      const h = new SampleHistory(1000, 1);  // holds 1000 frames
      for (const [first, count] of c.batches) h.append(first, ramp(first, count), ramp(first, count).map((v) => -v));
      const left = new Float32Array(576);
      const right = new Float32Array(576);
      h.copy(c.read, left, right);
      for (let i = 0; i < 576; ++i) {
        const f = c.read + i;
        const want = f < h.end ? c.expect(f) : 0;
        assert.equal(left[i], want, `left at ${f}`);
        assert.equal(right[i] || 0, -want || 0, `right at ${f}`);
      }
    });
  }

  test('holds only what has arrived', () => {
    const h = new SampleHistory(1000, 1);
    h.append(0, ramp(0, 600), ramp(0, 600));
    assert.equal(h.holds(24, 576), true);
    assert.equal(h.holds(25, 576), false);
  });
});

describe('frame grid', () => {
  test('frame n starts at floor(n * rate / 50), as the command line cuts its blocks', () => {
    for (const [rate, frame, start] of [[44100, 1, 882], [44100, 7, 6174], [22050, 3, 1323], [8000, 5, 800],
      [11025, 1, 220], [11025, 3, 661], [192000, 49, 188160], [44100, 180000, 158760000]])
      assert.equal(frameStartSample(frame, rate), start, `${rate} Hz, frame ${frame}`);
  });

  test('steps by the audio clock, waits for samples, and starts a new grid after a stall', () => {
    const h = new SampleHistory(44100, 10);
    const firsts = [];
    const copy = h.copy.bind(h);
    h.copy = (first, l, r) => { firsts.push(first); copy(first, l, r); };
    const engine = { blockFromSamples: (fill) => fill(new Float32Array(576), new Float32Array(576)), frame() {} };
    const stepper = new FrameStepper(engine, h);
    stepper.start(1000);
    h.append(0, new Float32Array(2000), new Float32Array(2000));
    const ran = [999, 1000, 2764].map((heard) => stepper.advance(heard));  // before, at frame 0, at frame 2
    h.append(2000, new Float32Array(148000), new Float32Array(148000));
    // The samples came; then a stall of half a second is caught up, one of two seconds is not.
    ran.push(stepper.advance(2764), stepper.advance(2764 + 22050), stepper.advance(2764 + 22050 + 88200));
    assert.deepEqual(ran, [0, 1, 0, 2, 25, 1]);
    assert.deepEqual(firsts.slice(0, 4), [1000, 1882, 2764, 3646]);
    assert.deepEqual(firsts.slice(-2), [1000 + 27 * 882, 1000 + 127 * 882]);
    assert.equal(stepper.skipped, 127 - 28);
  });
});

// The settings' defaults and ranges as the module gives them, from the plug-in's own table.
const rules = await (async () => {
  const data = loadWebDataSet(webDir, ENGINE_MODULES[1]);
  const engine = await Engine.create(data.wasm, data.palettes, data.fade);
  const read = engine.settingRules();
  engine.destroy();
  return read;
})();

describe('stored look', () => {
  test('the module gives the plug-in settings\' defaults and ranges', () => {
    assert.deepEqual(rules.radioIndex, { value: 2, minimum: 0, maximum: 4 });
    assert.deepEqual(rules.waveShiftPower, { value: 7, minimum: 0, maximum: 8 });
    assert.deepEqual(Object.keys(rules), ['radioIndex', 'waveAmplitude', 'waveShiftPower', 'waveAttenuationRate',
      'paletteAnimationSpeed']);
  });

  test('defaults: the plug-in settings with the palettes cycling', () => {
    const look = loadLook(rules, 8, memoryStorage());
    assert.deepEqual(look.settings, { radioIndex: 2, waveAmplitude: 133, waveShiftPower: 7, waveAttenuationRate: 5,
      paletteAnimationSpeed: 3 });
    assert.deepEqual([look.palette, look.smooth, look.cyclingSpeed, look.hd], [0, false, 0, true]);
    assert.equal(loadLook(rules, 8, memoryStorage(), { hd: false }).hd, false, 'the classic picture where HD is slow');
  });

  test('kept, and what is unreadable or out of range falls back to the default alone', () => {
    const storage = memoryStorage();
    const look = loadLook(rules, 8, storage);
    Object.assign(look.settings, { radioIndex: 0, waveAmplitude: 200 });
    Object.assign(look, { palette: 5, smooth: true, hd: false });
    saveLook(look, storage);
    assert.deepEqual(loadLook(rules, 8, storage), look);
    assert.equal(loadLook(rules, 8, memoryStorage('{"hd": "yes"}'), { hd: false }).hd, false);
    for (const text of ['{"radioIndex": 9, "waveAmplitude": 200}', '{"radioIndex": "1", "waveAmplitude": 200.5}',
      '{"palette": 8, "waveAmplitude": 200}', 'not json', 'null']) {
      const read = loadLook(rules, 8, memoryStorage(text));
      assert.equal(read.settings.radioIndex, 2, text);
      assert.equal(read.palette, 0, text);
      assert.equal(read.settings.waveAmplitude, text.includes('200}') ? 200 : 133, text);
    }
  });

  test('a storage that refuses leaves the look for the visit', () => {
    assert.doesNotThrow(() => saveLook(loadLook(rules, 8, memoryStorage()), { setItem() { throw new Error('full'); } }));
  });

  test('palette names from file names', () => {
    for (const [file, name] of [['01-aurora.pal', 'aurora'], ['04-deep-sea.pal', 'deep sea'], ['sunset.PAL', 'sunset'],
      ['12_my_colours.pal', 'my colours'], ['07.pal', '07.pal']])
      assert.equal(paletteName(file), name);
  });
});
