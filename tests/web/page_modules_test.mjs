// The page's own modules in Node, where their faults are easy to pin down: the sample history's ring, the frame
// grid on the audio clock, the stored look and the link's, the palette names, what a song's header says, and a
// WAV file's samples read a piece at a time.
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
const { applyLookFragment, loadLook, lookFragment, paletteName, saveLook } = await load('look_store.js');
const { sniffSong, songTags } = await load('song_format.js');
const { PcmSongSamples } = await load('song_samples.js');
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

describe('the link\'s look', () => {
  test('round trip, and what is out of range or missing is left as it was', () => {
    const look = loadLook(rules, 8, memoryStorage());
    Object.assign(look.settings, { radioIndex: 0, waveAmplitude: 200, paletteAnimationSpeed: 0 });
    Object.assign(look, { palette: 5, hd: false, smooth: true });
    const read = loadLook(rules, 8, memoryStorage());
    assert.equal(applyLookFragment(lookFragment(look), read, rules), true);
    assert.deepEqual(read, look);
    const partial = loadLook(rules, 8, memoryStorage());
    assert.equal(applyLookFragment('#p=9&w=7&a=-1&s=x&hd=2&sm=1&t=3', partial, rules), true);
    assert.deepEqual([partial.palette, partial.settings.radioIndex, partial.settings.waveAmplitude, partial.hd,
      partial.smooth, partial.settings.waveAttenuationRate], [0, 2, 133, true, true, 3]);
    assert.equal(applyLookFragment('', loadLook(rules, 8, memoryStorage()), rules), false);
  });
});

// A file's first bytes from pieces: strings as Latin-1, numbers as [value, bytes, big-endian?], typed arrays as they are.
function bytes(...parts) {
  const out = [];
  for (const p of parts) {
    if (typeof p === 'string') for (const c of p) out.push(c.charCodeAt(0));
    else if (Array.isArray(p)) {
      const [value, size, bigEndian] = p;
      const b = Array.from({ length: size }, (_, i) => (value / 2 ** (8 * i)) & 0xff);
      out.push(...(bigEndian ? b.reverse() : b));
    } else out.push(...p);
  }
  return Uint8Array.from(out);
}

function waveHeader({ tag = 1, channels = 2, rate = 44100, bits = 16, frames = 10, mask = 0 }) {
  const align = (channels * bits) / 8;
  const fmt = tag === 0xfffe
    ? bytes([40, 4], [tag, 2], [channels, 2], [rate, 4], [rate * align, 4], [align, 2], [bits, 2], [22, 2], [bits, 2],
      [mask, 4], [1, 2], new Uint8Array(14))
    : bytes([16, 4], [tag, 2], [channels, 2], [rate, 4], [rate * align, 4], [align, 2], [bits, 2]);
  return bytes('RIFF', [0, 4], 'WAVE', 'LIST', [4, 4], 'INFO', 'fmt ', fmt, 'data', [frames * align, 4]);
}

describe('song headers', () => {
  const id3 = bytes('ID3', [3, 1], [0, 1], [0, 1], [0, 3, true], [40, 1], 'TIT2', [8, 4, true], [0, 2], [0, 1],
    'Tunnel!', 'TPE1', [6, 4, true], [0, 2], [0, 1], 'Aster', new Uint8Array(12));
  const mp3Frame = Uint8Array.of(0xff, 0xfb, 0x94, 0x64);  // MPEG 1 layer III, 48 kHz, joint stereo
  const cases = [
    ['WAV 16-bit', waveHeader({}), { rate: 44100, channels: 2, bits: 16, frames: 10, offset: 56 }],
    ['WAV 5.1 extensible with its mask', waveHeader({ tag: 0xfffe, channels: 6, rate: 48000, mask: 0x3f }),
      { rate: 48000, channels: 6, bits: 16, frames: 10, offset: 80, mask: 0x3f }],
    ['WAV float', waveHeader({ tag: 3, bits: 32, rate: 96000 }), { rate: 96000, channels: 2, bits: 32, float: true }],
    ['WAV compressed (no pcm)', waveHeader({ tag: 2, bits: 4 }), { rate: 44100, channels: 2, pcm: null }],
    ['MP3 after an ID3 tag', bytes(id3, mp3Frame), { rate: 48000, channels: 2, pcm: null }],
    ['MP3 without a tag, 22.05 kHz mono', bytes(Uint8Array.of(0xff, 0xf3, 0x90, 0xc4), new Uint8Array(8)), { rate: 22050, channels: 1, pcm: null }],
    ['FLAC', bytes('fLaC', [0, 4], [0, 10], [0x0b, 1], [0xb8, 1], [0x02, 1], new Uint8Array(20)),
      { rate: 48000, channels: 2, pcm: null }],
    ['Ogg Opus', bytes('OggS', new Uint8Array(22), [1, 1], [19, 1], 'OpusHead', [1, 1], [2, 1], new Uint8Array(9)),
      { rate: 48000, channels: 2, pcm: null }],
    ['Ogg Vorbis', bytes('OggS', new Uint8Array(22), [1, 1], [30, 1], '\x01vorbis', [0, 4], [1, 1], [32000, 4],
      new Uint8Array(14)), { rate: 32000, channels: 1, pcm: null }],
    ['AAC in ADTS, 44.1 kHz stereo', bytes(Uint8Array.of(0xff, 0xf1, 0x50, 0x80), new Uint8Array(8)),
      { rate: 44100, channels: 2, pcm: null }],
    ['AIFF, 48 kHz in 80 bits', bytes('FORM', [0, 4, true], 'AIFF', 'COMM', [18, 4, true], [6, 2, true], [0, 4, true],
      [16, 2, true], Uint8Array.of(0x40, 0x0e, 0xbb, 0x80, 0, 0, 0, 0, 0, 0)), { rate: 48000, channels: 6, pcm: null }],
    ['unknown', bytes('not a song at all'), null],
    ['too short', bytes('RIFF'), null],
  ];
  for (const [name, head, want] of cases) {
    test(name, () => {
      const got = sniffSong(head, 1 << 20);
      if (want === null) {
        assert.equal(got, null);
        return;
      }
      assert.equal(got.rate, want.rate);
      assert.equal(got.channels, want.channels);
      if ('pcm' in want) assert.equal(got.pcm, want.pcm);
      if (want.bits) assert.equal(got.pcm.bits, want.bits);
      if (want.frames) assert.equal(got.pcm.frames, want.frames);
      if (want.offset) assert.equal(got.pcm.dataOffset, want.offset);
      if (want.float) assert.equal(got.pcm.float, true);
      if (want.mask) assert.equal(got.pcm.mask, want.mask);
    });
  }

  test('a data chunk longer than the file is cut to the file', () => {
    assert.equal(sniffSong(waveHeader({ frames: 1000 }), 56 + 400).pcm.frames, 100);
  });

  test('titles from ID3v2 and Vorbis comments', () => {
    assert.deepEqual(songTags(bytes(id3, mp3Frame)), { title: 'Tunnel!', artist: 'Aster' });
    const utf8 = new TextEncoder().encode('ARTIST=Ästhetik');
    assert.deepEqual(songTags(bytes('OggS', new Uint8Array(40), [6, 4], 'TITLE=', [0, 1], [utf8.length, 4], utf8,
      [11, 4], 'TITLE=Dusk!')), { artist: 'Ästhetik', title: 'Dusk!' });
    assert.equal(songTags(waveHeader({})), null);
  });
});

describe('a WAV file read a piece at a time', () => {
  // Every integer width and float, each sample's value its frame number (scaled), channel 1 negated.
  const frames = 20000;
  for (const [bits, float, scale] of [[8, false, 128], [16, false, 32768], [24, false, 8388608], [32, false, 2 ** 31],
    [32, true, 1]]) {
    test(`${float ? 'float' : `${bits}-bit`}: the command line's normalised values, across pieces`, async () => {
      const width = bits / 8;
      const data = Buffer.alloc(frames * 2 * width);
      const value = (f, c) => ((f % 100) - 50) * (c ? -1 : 1);  // small whole values every width holds
      for (let f = 0; f < frames; ++f) {
        for (let c = 0; c < 2; ++c) {
          const at = (f * 2 + c) * width;
          const v = value(f, c);
          if (float) data.writeFloatLE(v / 128, at);
          else if (bits === 8) data.writeUInt8(v + 128, at);
          else data.writeIntLE(v * (scale / 128), at, width);
        }
      }
      const head = waveHeader({ tag: float ? 3 : 1, bits, rate: 3000, frames });
      const file = new Blob([head, data]);
      const samples = new PcmSongSamples(file, sniffSong(head, file.size));
      assert.equal(samples.holds(11990, 20), false, 'nothing is held before it is read');
      await samples.prime(11990);  // pieces of 12000 frames at 3 kHz: this block spans two
      assert.equal(samples.holds(11990, 20), true);
      const left = new Float32Array(20);
      const right = new Float32Array(20);
      samples.copy(11990, left, right);
      for (let i = 0; i < 20; ++i) {
        assert.equal(left[i], value(11990 + i, 0) / 128, `left ${11990 + i}`);
        assert.equal(right[i], value(11990 + i, 1) / 128, `right ${11990 + i}`);
      }
      samples.copy(frames - 5, left, right);
      assert.deepEqual(Array.from(left.subarray(5)), new Array(15).fill(0), 'after the end: silence');
    });
  }
});
