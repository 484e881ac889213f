// The web page in Debian's headless Chromium, served by python3's http.server: frames equal to `tavelmir render
// --dump` of the same song, pixel for pixel, classic and HD; a song opened through the file input plays at 50 frames
// a second; the keys change the look and the look is kept; the HD picture takes the device's pixels and is kept; the
// microphone, refused and allowed; bad files give a message.
//
// usage: node page_test.mjs WEB_DIR TAVELMIR DATA_PLUGIN_DIR
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { closeSync, cpSync, mkdirSync, mkdtempSync, openSync, readFileSync, readdirSync, rmSync, writeFileSync,
  writeSync } from 'node:fs';
import net from 'node:net';
import { gzipSync } from 'node:zlib';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { crc32, testSong, wavBytes } from './web_test_support.mjs';

const [webDir, tavelmir, dataPluginDir] = process.argv.slice(2);
const CHROMIUM = process.env.TAVELMIR_CHROMIUM || '/usr/bin/chromium';
const COMPARED_FRAMES = 100;
const SONG_RATE = 44100;

const work = mkdtempSync(path.join(os.tmpdir(), 'tavelmir-web-'));
const site = path.join(work, 'site');
const songs = path.join(site, 'songs');
let server, browser, origin;

function freePort() {
  return new Promise((resolve, reject) => {
    const s = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
    s.on('error', reject);
  });
}

async function waitForServer(url) {
  for (let i = 0; i < 100; ++i) {
    try {
      if ((await fetch(url)).ok) return;
    } catch (_) { /* not listening yet */ }
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error(`the page server at ${url} did not answer`);
}

// The browser's renderer processes, from /proc: pid -> { cpu (ticks), status (text of /proc/pid/status) }.
function rendererProcesses(browserMarker) {
  const procs = readdirSync('/proc').filter((d) => /^\d+$/.test(d));
  const info = new Map();
  for (const pid of procs) {
    try {
      const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      const cmdline = readFileSync(`/proc/${pid}/cmdline`, 'utf8');
      const status = readFileSync(`/proc/${pid}/status`, 'utf8');
      info.set(pid, { ppid: fields[1], cpu: Number(fields[11]) + Number(fields[12]), cmdline, status });
    } catch (_) { /* gone */ }
  }
  const root = [...info].find(([, p]) => p.cmdline.includes(browserMarker) && !p.cmdline.includes('--type='));
  const inTree = (pid) => {
    for (let p = pid, hops = 0; p && hops < 10; p = info.get(p)?.ppid, ++hops) if (p === root[0]) return true;
    return false;
  };
  return root ? [...info].filter(([pid, p]) => p.cmdline.includes('--type=renderer') && inTree(pid)).map(([, p]) => p)
    : [];
}

// Seconds of CPU that the browser's renderer processes have used.
function rendererCpuSeconds(browserMarker) {
  const renderers = rendererProcesses(browserMarker);
  if (!renderers.length) return NaN;
  return renderers.reduce((sum, p) => sum + p.cpu, 0) / 100;  // USER_HZ
}

// Kilobytes the browser's renderer processes hold in memory now.
function rendererMemoryKiB(browserMarker) {
  return rendererProcesses(browserMarker).reduce((sum, p) => sum + Number(/VmRSS:\s+(\d+)/.exec(p.status)[1]), 0);
}

async function openPage(context, query = '') {
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(`${origin}/index.html${query}`);
  await page.evaluate(() => window.tavelmirTest.ready);
  page.errors = errors;
  return page;
}

const state = (page) => page.evaluate(() => window.tavelmirTest.state());

async function waitForState(page, predicate, what, timeoutMs = 10000) {
  const until = Date.now() + timeoutMs;
  let s;
  while (Date.now() < until) {
    s = await state(page);
    if (predicate(s)) return s;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error(`${what}; the page shows ${JSON.stringify(s)}`);
}

const marker = `--tavelmir-page-test=${process.pid}`;

// Debian's Chromium, its processes found again by `browserMarker`.
function launchBrowser(browserMarker) {
  return chromium.launch({
    executablePath: CHROMIUM,
    args: ['--autoplay-policy=no-user-gesture-required', '--use-fake-device-for-media-stream', browserMarker,
      '--disable-background-networking', '--disable-component-update', '--no-first-run', '--disable-sync'],
  });
}

// A song of `minutes` made quickly: ten seconds of the test song over and over.
function writeLongSong(file, rate, minutes) {
  const piece = testSong(rate, 2, 10);
  const data = piece.subarray(44);
  const repeats = minutes * 6;
  const header = Buffer.from(piece.subarray(0, 44));
  header.writeUInt32LE(36 + data.length * repeats, 4);
  header.writeUInt32LE(data.length * repeats, 40);
  const fd = openSync(file, 'w');
  writeSync(fd, header);
  for (let i = 0; i < repeats; ++i) writeSync(fd, data);
  closeSync(fd);
}

const setSeek = (page, seconds) => page.evaluate((t) => {
  const seek = document.getElementById('seek');
  seek.value = String(t);
  seek.dispatchEvent(new Event('input'));
  seek.dispatchEvent(new Event('change'));
}, seconds);

before(async () => {
  cpSync(webDir, site, { recursive: true });
  mkdirSync(songs);
  writeFileSync(path.join(songs, 'song.wav'), testSong(SONG_RATE, 2, 3));
  writeFileSync(path.join(songs, 'mono.wav'), testSong(22050, 1, 2));
  writeFileSync(path.join(songs, 'low-8k.wav'), testSong(8000, 2, 2));
  writeFileSync(path.join(songs, 'high-192k.wav'), testSong(192000, 2, 2));
  writeFileSync(path.join(songs, 'empty.wav'), Buffer.alloc(0));
  writeFileSync(path.join(songs, 'noise.mp3'), Buffer.from(Array.from({ length: 4096 }, (_, i) => (i * 7919) & 0xff)));
  writeFileSync(path.join(songs, 'header-only.wav'), wavBytes(44100, 2, 0, () => 0));
  // At both common rates, and in 5.1 (mixed down by the command line's own code in both).
  writeFileSync(path.join(songs, 'song-48k.wav'), testSong(48000, 2, 3));
  // Compressed, as most songs are: the browser's decoder and the command line's FFmpeg give the same samples.
  for (const [name, codec] of [['song-48k.mp3', 'libmp3lame'], ['song-48k.opus', 'libopus']])
    execFileSync('ffmpeg', ['-v', 'error', '-y', '-i', path.join(songs, 'song-48k.wav'), '-c:a', codec,
      path.join(songs, name)]);
  writeFileSync(path.join(songs, 'surround-5.1.wav'), testSong(48000, 6, 3));
  writeFileSync(path.join(songs, 'longer.wav'), testSong(SONG_RATE, 2, 6));
  writeFileSync(path.join(songs, 'notes.txt'), 'not a song\n');

  const port = await freePort();
  origin = `http://127.0.0.1:${port}`;
  server = spawn('python3', ['-m', 'http.server', String(port), '--bind', '127.0.0.1', '-d', site],
    { stdio: 'ignore' });
  await waitForServer(`${origin}/index.html`);
  browser = await launchBrowser(marker);
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.kill();
  rmSync(work, { recursive: true, force: true });
});

// The dump records' CRC-32s of `tavelmir render --dump` for the first `frames` frames of `song` with the look.
function nativeFrameCrcs(song, frames, look) {
  const dump = path.join(work, `${path.basename(song)}.raw`);
  execFileSync(tavelmir, ['render', song, '--dump', dump, '--plugin-dir', dataPluginDir, '--frames', String(frames),
    '--set', `PaletteAnimationSpeed=${look.settings.paletteAnimationSpeed}`, '--set',
    `RadioIndex=${look.settings.radioIndex}`, '-y'], { stdio: 'pipe' });
  const bytes = readFileSync(dump);
  const record = 64000 + 768;
  assert.equal(bytes.length, frames * record);
  return Array.from({ length: frames }, (_, f) => crc32(bytes.subarray(f * record, (f + 1) * record)));
}

describe('the page', () => {
  test('draws the frames that tavelmir render --dump writes for the same song, pixel for pixel', async () => {
    const dump = path.join(work, 'song.raw');
    let frames = null;
    // The SIMD module (what this browser gets) and the portable one (what a browser without SIMD gets).
    for (const query of ['', '?portable']) {
      const context = await browser.newContext();
      const page = await openPage(context, query);
      if ((await state(page)).look.hd) await page.keyboard.press('d');
      const look = (await state(page)).look;
      assert.equal(look.hd, false);
      const crcs = await page.evaluate(([r, n]) => window.tavelmirTest.renderSong('songs/song.wav', n),
        [SONG_RATE, COMPARED_FRAMES]);
      if (!frames) {
        execFileSync(tavelmir, ['render', path.join(songs, 'song.wav'), '--dump', dump, '--plugin-dir', dataPluginDir,
          '--frames', String(COMPARED_FRAMES), '--set', `PaletteAnimationSpeed=${look.settings.paletteAnimationSpeed}`,
          '--set', `RadioIndex=${look.settings.radioIndex}`, '-y'], { stdio: 'pipe' });
        frames = readFileSync(dump);
      }
      const frameBytes = 64000 + 768;
      assert.equal(frames.length, COMPARED_FRAMES * frameBytes);
      const rgb = new Uint8Array(64000 * 3);
      for (let f = 0; f < COMPARED_FRAMES; ++f) {
        const indices = frames.subarray(f * frameBytes, f * frameBytes + 64000);
        const palette = frames.subarray(f * frameBytes + 64000, (f + 1) * frameBytes);
        for (let i = 0; i < 64000; ++i) rgb.set(palette.subarray(3 * indices[i], 3 * indices[i] + 3), 3 * i);
        assert.equal(crcs[f], crc32(rgb), `frame ${f}${query} differs from the native frame`);
      }
      assert.deepEqual(page.errors, []);
      await context.close();
    }
  });

  test('live, songs of 44.1 and 48 kHz, a 5.1 file, MP3 and Opus draw the frames of render --dump whatever the output rate', async () => {
    const frames = 60;
    const context = await browser.newContext();
    const page = await openPage(context);
    const outputRate = await page.evaluate(() => new AudioContext().sampleRate);
    const look = (await state(page)).look;
    for (const [name, status] of [['song.wav', /\(0:03, stereo\)/], ['song-48k.wav', /\(0:03, stereo\)/],
      ['surround-5.1.wav', /\(0:03, 6 channels, mixed down to stereo\)/], ['song-48k.mp3', /\(0:03, stereo\)/],
      ['song-48k.opus', /\(0:03, stereo\)/]]) {
      // A fresh effect for each song, as render starts one.
      await page.evaluate(async (n) => {
        window.tavelmirTest.stop();
        await window.tavelmirTest.startEngine();
        window.tavelmirTest.recordFrames(n);
      }, frames);
      await page.setInputFiles('#file', path.join(songs, name));
      const s = await waitForState(page, (x) => x.mode === 'song' && x.nextFrame > frames, `${name} did not play`);
      assert.match(s.status, status, name);
      const live = await page.evaluate(() => window.tavelmirTest.recordedFrames());
      const native = nativeFrameCrcs(path.join(songs, name), frames, look);
      const equal = native.filter((c, f) => live[f] === c).length;
      console.log(`# ${name} on a ${outputRate} Hz output: ${equal} of ${frames} live frames equal render's`);
      assert.equal(equal, frames, `${name}: live frames differ from render's`);
    }
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('plays a song opened through the file input at 50 frames a second, loading under 1 MB compressed', async () => {
    const context = await browser.newContext();
    const loaded = [];
    context.on('request', (request) => loaded.push(request));
    const page = await openPage(context);
    await page.setInputFiles('#file', path.join(songs, 'song.wav'));
    const start = await waitForState(page, (s) => s.mode === 'song' && s.nextFrame > 10, 'the song did not play');
    assert.match(start.status, /Playing "song\.wav" \(0:03, stereo\)/);
    const t0 = Date.now();
    const cpu0 = rendererCpuSeconds(marker);
    await new Promise((r) => setTimeout(r, 2000));
    const end = await state(page);
    const seconds = (Date.now() - t0) / 1000;
    const cpu = (rendererCpuSeconds(marker) - cpu0) / seconds;
    const fps = (end.nextFrame - start.nextFrame) / seconds;
    console.log(`# playing: ${fps.toFixed(1)} frames/s stepped, ${end.drawn - start.drawn} drawn in ` +
      `${seconds.toFixed(2)} s, ${end.skipped} skipped, renderer CPU ${(cpu * 100).toFixed(1)} % of one core`);
    // Every frame of the song's clock runs (a busy machine's stalls are caught up), and the page draws.
    assert.ok(Math.abs(end.nextFrame - 1 - Math.floor(end.position * 50)) <= 10,
      `frame ${end.nextFrame} at ${end.position} s`);
    assert.equal(end.skipped, 0);
    assert.ok((end.drawn - start.drawn) / seconds > 20, `${end.drawn - start.drawn} frames drawn`);
    await waitForState(page, (s) => s.mode === 'idle' && /Finished "song\.wav"/.test(s.status),
      'the end of the song was not noticed');

    // Every file of the page's folder counts, loaded or not (the worklet's module is loaded outside the page's
    // requests); the page must have loaded nothing from elsewhere.
    let compressed = 0;
    const files = readdirSync(webDir, { recursive: true, withFileTypes: true }).filter((e) => e.isFile());
    for (const f of files) compressed += gzipSync(readFileSync(path.join(f.parentPath ?? f.path, f.name)), { level: 9 }).length;
    console.log(`# the page's ${files.length} files: ${(compressed / 1024).toFixed(1)} KiB compressed`);
    for (const request of loaded) assert.ok(request.url().startsWith(origin) || request.url().startsWith(`blob:${origin}`),
      request.url());
    assert.ok(loaded.some((r) => r.url().endsWith('/tavelmir.wasm')), 'the SIMD module was not the one loaded');
    assert.ok(compressed < 1 << 20, `${compressed} bytes compressed`);
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('keys change the palette and the wave, Space pauses, and the look is kept', async () => {
    const context = await browser.newContext();
    const page = await openPage(context);
    assert.match((await state(page)).paletteName, /^palette 1 of 8: aurora$/);
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowLeft');
    let s = await state(page);
    assert.equal(s.paletteName, 'palette 2 of 8: ember');
    assert.equal(s.note, 'palette 2 of 8: ember');
    await page.keyboard.press('3');
    assert.equal((await state(page)).note, 'wave preset 3: Loud');
    await page.keyboard.press('ArrowUp');
    s = await state(page);
    assert.equal(s.note, 'wave amplitude 130');
    assert.deepEqual([s.look.settings.radioIndex, s.look.settings.waveShiftPower], [0, 3]);
    await page.keyboard.press('c');
    assert.equal((await state(page)).note, 'palette cycling off');
    await page.keyboard.press('f');
    await page.waitForFunction(() => document.fullscreenElement !== null);
    await page.dblclick('#stage');
    await page.waitForFunction(() => document.fullscreenElement === null);

    await page.setInputFiles('#file', path.join(songs, 'song.wav'));
    await waitForState(page, (x) => x.mode === 'song' && x.nextFrame > 5, 'the song did not play');
    await page.keyboard.press(' ');
    const paused = await waitForState(page, (x) => x.paused, 'Space did not pause');
    await new Promise((r) => setTimeout(r, 300));
    assert.equal((await state(page)).nextFrame, paused.nextFrame, 'frames went on while paused');
    await page.keyboard.press(' ');
    await waitForState(page, (x) => !x.paused && x.nextFrame > paused.nextFrame, 'Space did not go on');

    await page.reload();
    await page.evaluate(() => window.tavelmirTest.ready);
    s = await state(page);
    assert.equal(s.paletteName, 'palette 2 of 8: ember');
    assert.deepEqual(s.look.settings, { radioIndex: 0, waveAmplitude: 130, waveShiftPower: 3,
      waveAttenuationRate: 5, paletteAnimationSpeed: 0 });
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('the HD switch: the canvas takes the device pixels of its 4:3 box, draws the native hd frames, is kept', async () => {
    const context = await browser.newContext({ viewport: { width: 700, height: 500 }, deviceScaleFactor: 2 });
    const page = await openPage(context);
    // The backing store, and the box it shows in, in device pixels.
    const canvas = () => page.evaluate(() => {
      const c = document.getElementById('picture');
      const r = devicePixelRatio;
      return { width: c.width, height: c.height, boxWidth: Math.round(parseFloat(c.style.width) * r),
        boxHeight: Math.round(parseFloat(c.style.height) * r) };
    });
    const deviceSized = async (what) => {
      await page.waitForFunction(() => {
        const c = document.getElementById('picture');
        return Math.abs(c.width - parseFloat(c.style.width) * devicePixelRatio) < 1 && c.width > 320;
      }, null, { timeout: 5000 }).catch(async () => assert.fail(`${what}: ${JSON.stringify(await canvas())}`));
      const c = await canvas();
      assert.equal(c.height, c.boxHeight, what);
      assert.ok(Math.abs(c.width / c.height - 4 / 3) < 0.01, `${what}: ${c.width}x${c.height} is not 4:3`);
      return c;
    };
    let s = await state(page);
    assert.equal(s.look.hd, true, 'a first visit with SIMD gets the HD picture');
    const first = await deviceSized('at first');

    // The frames of a song, at the canvas' size, against `render --look hd` at that size (4:3 frame pixels).
    const frames = 5;
    const crcs = await page.evaluate(([r, n]) => window.tavelmirTest.renderSong('songs/song.wav', n),
      [SONG_RATE, frames]);
    const dump = path.join(work, 'song-hd.raw');
    execFileSync(tavelmir, ['render', path.join(songs, 'song.wav'), '--dump', dump, '--plugin-dir', dataPluginDir,
      '--frames', String(frames), '--look', 'hd', '--size', `${first.width}x${first.height}`, '--set',
      `PaletteAnimationSpeed=${s.look.settings.paletteAnimationSpeed}`, '--set', `RadioIndex=${s.look.settings.radioIndex}`,
      '-y'], { stdio: 'pipe' });
    const native = readFileSync(dump);
    const frameBytes = first.width * first.height * 3;
    assert.equal(native.length, frames * frameBytes);
    for (let f = 0; f < frames; ++f)
      assert.equal(crcs[f], crc32(native.subarray(f * frameBytes, (f + 1) * frameBytes)), `hd frame ${f} differs`);

    // A new window size: the backing store follows, drawn again at once from the last frame.
    await page.setViewportSize({ width: 900, height: 700 });
    await page.waitForFunction((w) => document.getElementById('picture').width !== w, first.width);
    const resized = await deviceSized('after a resize');
    assert.ok(resized.width > first.width, `${resized.width} after ${first.width}`);
    const lit = await page.evaluate(() => {
      const c = document.getElementById('picture');
      const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      let n = 0;
      for (let i = 0; i < d.length; i += 4) if (d[i] | d[i + 1] | d[i + 2]) ++n;
      return n / (d.length / 4);
    });
    assert.ok(lit > 0.3, `after the resize ${(100 * lit).toFixed(1)} % of the picture is drawn`);
    // On a big screen the backing store stops at its limit and the browser enlarges it.
    await page.setViewportSize({ width: 1600, height: 1000 });
    await page.waitForFunction(() => document.getElementById('picture').width === 1920);
    const big = await canvas();
    assert.ok(big.boxWidth > 2400 && big.height === 1440, JSON.stringify(big));
    await page.setViewportSize({ width: 900, height: 700 });

    // D goes back to the classic picture, which is kept; the control brings HD back, which is kept too.
    await page.keyboard.press('d');
    s = await state(page);
    assert.deepEqual([s.look.hd, s.note], [false, 'classic picture']);
    assert.deepEqual(await canvas().then((c) => [c.width, c.height]), [320, 200]);
    await page.reload();
    await page.evaluate(() => window.tavelmirTest.ready);
    assert.equal((await state(page)).look.hd, false);
    assert.equal(await page.isChecked('#hd'), false);
    assert.deepEqual(await canvas().then((c) => [c.width, c.height]), [320, 200]);
    await page.click('#hd');
    await deviceSized('after the control');
    await page.reload();
    await page.evaluate(() => window.tavelmirTest.ready);
    assert.equal((await state(page)).look.hd, true);
    await deviceSized('after a reload');
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('the microphone: refused, a message; allowed, the picture follows it', async () => {
    const refused = await browser.newContext({ permissions: [] });
    let page = await openPage(refused);
    await page.click('#mic');
    let s = await waitForState(page, (x) => x.statusIsError, 'no message after the refusal');
    assert.match(s.status, /refused the microphone/);
    assert.equal(s.mode, 'idle');
    await refused.close();

    const allowed = await browser.newContext({ permissions: ['microphone'] });
    page = await openPage(allowed);
    await page.click('#mic');
    s = await waitForState(page, (x) => x.mode === 'listening' && x.nextFrame > 10, 'the microphone was not heard');
    assert.equal(s.status, 'Listening to the microphone.');
    assert.deepEqual(page.errors, []);
    await allowed.close();
  });

  test('bad files, and a page without an audio worklet, give a message; odd files play; the page never freezes', async () => {
    const context = await browser.newContext();
    const page = await openPage(context);
    const cases = [
      ['empty.wav', /"empty\.wav" is empty/, 'idle'],
      ['noise.mp3', /"noise\.mp3" cannot be played/, 'idle'],
      ['header-only.wav', /"header-only\.wav" (holds no sound|cannot be played)/, 'idle'],
      ['mono.wav', /Playing "mono\.wav" \(0:02, mono: both channels show the same wave\)/, 'song'],
      ['low-8k.wav', /Playing "low-8k\.wav" \(0:02, stereo\)/, 'song'],
      ['high-192k.wav', /Playing "high-192k\.wav" \(0:02, stereo\)/, 'song'],
    ];
    for (const [file, message, mode] of cases) {
      await page.evaluate(() => window.tavelmirTest.stop());
      await page.setInputFiles('#file', path.join(songs, file));
      const s = await waitForState(page, (x) => !/^Opening/.test(x.status) && message.test(x.status),
        `${file}: no message`, 5000).catch((e) => assert.fail(e.message));
      assert.equal(s.mode, mode, file);
      if (mode === 'song') {
        const later = await waitForState(page, (x) => x.nextFrame > s.nextFrame + 5, `${file}: frames stopped`);
        assert.equal(later.mode, 'song', file);
      }
    }
    assert.deepEqual(page.errors, []);
    await context.close();

    // Served over plain http to another machine, a page gets no audio worklet: listening says why; a song plays.
    const insecure = await browser.newContext({ permissions: ['microphone'] });
    await insecure.addInitScript(() =>
      Object.defineProperty(BaseAudioContext.prototype, 'audioWorklet', { get: () => undefined }));
    const bare = await openPage(insecure);
    await bare.click('#mic');
    const s = await waitForState(bare, (x) => x.statusIsError, 'no message without an audio worklet');
    assert.match(s.status, /no audio worklet: open it from localhost or over https/);
    await bare.setInputFiles('#file', path.join(songs, 'song.wav'));
    await waitForState(bare, (x) => x.mode === 'song' && x.nextFrame > 5, 'no song without an audio worklet');
    await insecure.close();
  });

  test('a play list: next, previous, seek, the title in the tab, and on to the next song at the end', async () => {
    const context = await browser.newContext();
    const page = await openPage(context);
    await page.setInputFiles('#file', [path.join(songs, 'longer.wav'), path.join(songs, 'song.wav')]);
    let s = await waitForState(page, (x) => x.mode === 'song' && x.nextFrame > 5, 'the list did not play');
    assert.match(s.status, /^Playing 1 of 2 "longer\.wav" \(0:06, stereo\)/);
    assert.deepEqual([s.title, s.songTitle], ['longer.wav – Ombrelo Tunnel', 'longer.wav']);
    assert.deepEqual(await page.evaluate(() => [navigator.mediaSession.metadata.title,
      navigator.mediaSession.playbackState]), ['longer.wav', 'playing'], 'the media keys\' and lock screen\'s song');
    await page.click('#next');
    s = await waitForState(page, (x) => x.current === 1 && x.mode === 'song', 'Next did not play the second');
    assert.equal(s.title, 'song.wav – Ombrelo Tunnel');
    await page.click('#previous');
    await waitForState(page, (x) => x.current === 0 && x.mode === 'song', 'Previous did not go back');
    // Seeking moves the song and the picture's frames with it.
    await setSeek(page, 4.5);
    s = await waitForState(page, (x) => x.position >= 4.5 && x.nextFrame >= 225, 'the seek did not move');
    assert.equal(await page.textContent('#total'), '0:06');
    // The first song's end plays the second, whose end finishes the list.
    await waitForState(page, (x) => x.current === 1 && x.mode === 'song', 'the list did not go on', 10000);
    s = await waitForState(page, (x) => x.mode === 'idle', 'the list did not finish', 10000);
    assert.equal(s.status, 'Finished "song.wav".');

    // A folder: its songs by name, what is not a song left out.
    const folder = path.join(work, 'folder');
    mkdirSync(folder);
    cpSync(path.join(songs, 'song.wav'), path.join(folder, 'b.wav'));
    cpSync(path.join(songs, 'mono.wav'), path.join(folder, 'a.wav'));
    cpSync(path.join(songs, 'notes.txt'), path.join(folder, 'notes.txt'));
    await page.setInputFiles('#folder', folder);
    s = await waitForState(page, (x) => x.mode === 'song' && x.playlist.length === 2, 'the folder did not play');
    assert.deepEqual(s.playlist, ['a.wav', 'b.wav']);

    // A compressed song too long to decode whole (here: any) plays with the picture following its sound.
    await page.evaluate(() => window.tavelmirTest.setDecodeBudget(1));
    await page.setInputFiles('#file', path.join(songs, 'song-48k.mp3'));
    s = await waitForState(page, (x) => x.mode === 'song' && x.playlist[0] === 'song-48k.mp3' && x.nextFrame > 20,
      'the long song did not play');
    assert.match(s.status, /"song-48k\.mp3" \(0:03, long: the picture follows the sound as heard\)/);
    await waitForState(page, (x) => x.mode === 'idle' && /Finished "song-48k\.mp3"/.test(x.status),
      'the long song did not end');
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('a failed open while a song plays: the song goes on and still ends; the message says why and goes', async () => {
    const context = await browser.newContext();
    const page = await openPage(context);
    await page.setInputFiles('#file', path.join(songs, 'longer.wav'));
    await waitForState(page, (x) => x.mode === 'song' && x.nextFrame > 5, 'the song did not play');
    await page.setInputFiles('#file', path.join(songs, 'noise.mp3'));
    let s = await waitForState(page, (x) => x.statusIsError, 'no message for the failed open');
    assert.match(s.status, /"noise\.mp3" cannot be played/);
    assert.equal(s.mode, 'song');
    // Dropped text holds no file.
    await page.evaluate(() => {
      const data = new DataTransfer();
      data.setData('text/plain', 'a line of text');
      window.dispatchEvent(new DragEvent('drop', { dataTransfer: data, cancelable: true }));
    });
    s = await waitForState(page, (x) => /holds no file/.test(x.status), 'no message for dropped text');
    const before = s.nextFrame;
    s = await waitForState(page, (x) => x.mode === 'idle', 'the song did not end', 10000);
    assert.ok(s.nextFrame > before + 50, `${s.nextFrame} frames`);
    assert.deepEqual([s.status, s.statusIsError, s.paused], ['Finished "longer.wav".', false, true]);
    assert.equal(await page.isDisabled('#pause'), true);
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('a 30-minute song starts at once, plays and seeks in bounded memory, and an error message goes away', async () => {
    const long = path.join(work, 'thirty-minutes.wav');
    writeLongSong(long, SONG_RATE, 30);
    // A browser of its own, so that its renderer's memory is this page's.
    const own = `${marker}-long`;
    const ownBrowser = await launchBrowser(own);
    const context = await ownBrowser.newContext();
    const page = await openPage(context);
    const idle = rendererMemoryKiB(own);
    await page.setInputFiles('#file', long);
    let s = await waitForState(page, (x) => x.mode === 'song' && x.nextFrame > 25, 'the long song did not start');
    assert.match(s.status, /"thirty-minutes\.wav" \(30:00, stereo\)/);
    let peak = rendererMemoryKiB(own);
    await setSeek(page, 29 * 60 + 55);
    s = await waitForState(page, (x) => x.position > 29 * 60 + 55 && x.nextFrame > 50 * (29 * 60 + 55),
      'the seek to the end did not play');
    peak = Math.max(peak, rendererMemoryKiB(own));
    // A message for a failure goes away by itself while the song plays on.
    await setSeek(page, 600);
    await waitForState(page, (x) => x.position >= 600 && x.position < 700, 'the seek back did not play');
    await page.setInputFiles('#file', path.join(songs, 'empty.wav'));
    await waitForState(page, (x) => x.statusIsError && /is empty/.test(x.status), 'no message for the empty file');
    s = await waitForState(page, (x) => !x.statusIsError, 'the message stayed', 12000);
    assert.match(s.status, /^Playing "thirty-minutes\.wav"/);
    peak = Math.max(peak, rendererMemoryKiB(own));
    console.log(`# a 30-minute song (318 MB): renderers ${(idle / 1024).toFixed(0)} MiB before, ` +
      `at most ${(peak / 1024).toFixed(0)} MiB playing and seeking`);
    assert.ok(peak < 600 * 1024, `${peak} KiB`);
    assert.deepEqual(page.errors, []);
    await ownBrowser.close();
    rmSync(long);
  });

  test('on a phone: nothing wider than the screen, touch controls, and messages never move the picture', async () => {
    const context = await browser.newContext({ viewport: { width: 390, height: 844 }, deviceScaleFactor: 3,
      isMobile: true, hasTouch: true });
    const page = await openPage(context);
    const within = async (selector) => {
      const box = await page.locator(selector).boundingBox();
      assert.ok(box && box.x >= 0 && box.x + box.width <= 390.5, `${selector}: ${JSON.stringify(box)}`);
    };
    assert.ok(await page.evaluate(() => document.documentElement.scrollWidth) <= 390);
    await page.tap('#help-button');
    await within('#help');
    const picture = await page.locator('#picture').boundingBox();
    await page.setInputFiles('#file', path.join(songs, 'noise.mp3'));
    await waitForState(page, (x) => x.statusIsError, 'no message');
    await within('#status');
    assert.deepEqual(await page.locator('#picture').boundingBox(), picture, 'the message moved the picture');
    await within('#bar');
    const name = (await state(page)).paletteName;
    await page.tap('#palette-next');
    assert.notEqual((await state(page)).paletteName, name);
    await page.selectOption('#preset', '4');
    assert.equal((await state(page)).look.settings.radioIndex, 4);
    await page.tap('#fullscreen');
    await page.waitForFunction(() => document.fullscreenElement !== null);
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('keys on a focused control are the control\'s; every control is reachable by Tab', async () => {
    const context = await browser.newContext();
    const page = await openPage(context);
    await page.setInputFiles('#file', path.join(songs, 'longer.wav'));
    await waitForState(page, (x) => x.mode === 'song' && x.nextFrame > 5, 'the song did not play');
    await page.focus('#cycling');
    await page.keyboard.press(' ');
    let s = await state(page);
    assert.deepEqual([s.paused, s.look.settings.paletteAnimationSpeed], [false, 0]);
    await page.focus('#pause');
    await page.keyboard.press(' ');
    await waitForState(page, (x) => x.paused, 'Space on Pause did not pause');
    await page.keyboard.press('Enter');
    await waitForState(page, (x) => !x.paused, 'Enter on Pause did not go on');
    const reached = new Set();
    await page.focus('#previous');
    for (let i = 0; i < 30; ++i) {
      reached.add(await page.evaluate(() => document.activeElement.id));
      await page.keyboard.press('Tab');
    }
    for (const id of ['pause', 'seek', 'volume', 'open', 'open-folder', 'mic', 'tab', 'hd', 'palette-previous',
      'palette-next', 'cycling', 'preset', 'fullscreen', 'still', 'record', 'link', 'help-button'])
      assert.ok(reached.has(id), `${id} is not reached by Tab`);
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('keep and share: a PNG still, a WebM clip with video and sound, a link that carries the look', async () => {
    const context = await browser.newContext({ acceptDownloads: true });
    const page = await openPage(context);
    await page.setInputFiles('#file', path.join(songs, 'longer.wav'));
    await waitForState(page, (x) => x.mode === 'song' && x.nextFrame > 5, 'the song did not play');
    const [still] = await Promise.all([page.waitForEvent('download'), page.click('#still')]);
    assert.match(still.suggestedFilename(), /^longer .*\.png$/);
    const png = readFileSync(await still.path());
    assert.equal(png.subarray(1, 4).toString(), 'PNG');
    await page.click('#record');
    await waitForState(page, (x) => x.recording && x.nextFrame > 150, 'no recording');
    assert.match(await page.textContent('#recording'), /recording 0:0[1-9]/);
    const [clip] = await Promise.all([page.waitForEvent('download'), page.click('#record')]);
    const file = path.join(work, 'clip.webm');
    await clip.saveAs(file);
    const streams = JSON.parse(execFileSync('ffprobe', ['-v', 'error', '-show_streams', '-of', 'json', file]))
      .streams.map((x) => x.codec_type).sort();
    assert.deepEqual(streams, ['audio', 'video']);
    assert.deepEqual(page.errors, []);

    // The address carries the look; opened, the link gives it.
    await page.evaluate(() => window.tavelmirTest.stop());
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('4');
    const link = await page.evaluate(() => location.hash);
    const look = (await state(page)).look;
    assert.equal(link, `#p=${look.palette + 1}&w=4&a=133&s=7&t=5&c=${look.settings.paletteAnimationSpeed}&hd=1&sm=0`);
    const other = await openPage(await browser.newContext(), '#p=3&w=1&c=0&hd=0');
    const s = await state(other);
    assert.deepEqual([s.paletteName, s.look.settings.radioIndex, s.look.settings.paletteAnimationSpeed, s.look.hd],
      ['palette 3 of 8: ultraviolet', 1, 0, false]);
    await context.close();
  });

  test('installable and offline: manifest, icons, service worker, no console error; from the disk it says how', async () => {
    const context = await browser.newContext();
    const page = await context.newPage();
    const problems = [];
    page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') problems.push(m.text()); });
    page.on('response', (r) => { if (r.status() >= 400) problems.push(`${r.status()} ${r.url()}`); });
    await page.goto(`${origin}/index.html`);
    await page.evaluate(() => window.tavelmirTest.ready);
    await page.evaluate(() => navigator.serviceWorker.ready);
    const manifest = await page.evaluate(async () => (await fetch('manifest.webmanifest')).json());
    for (const icon of manifest.icons)
      assert.equal(await page.evaluate(async (src) => (await fetch(src)).status, icon.src), 200, icon.src);
    assert.deepEqual(problems, []);
    await context.setOffline(true);
    await page.reload();
    await page.evaluate(() => window.tavelmirTest.ready);
    assert.match((await state(page)).paletteName, /^palette 1 of 8/);
    await context.close();

    // Opened from the disk the modules are refused: plain text says how to serve it.
    const disk = await browser.newContext();
    const local = await disk.newPage();
    await local.goto(`file://${site}/index.html`);
    assert.equal(await local.isVisible('#served'), true);
    assert.match(await local.textContent('#served'), /python3 -m http\.server/);
    await disk.close();
  });
});
