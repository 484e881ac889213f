// The effect's WebAssembly module behind a small object that holds one effect of it (a handle, released by
// destroy()): started from the data set's bytes, then one frame per waveform block, the picture and palette read
// straight out of the module's memory. Used by the page and by the Node tests alike, so it takes bytes and never
// fetches.

export const FRAME_WIDTH = 320;
export const FRAME_HEIGHT = 200;
export const BLOCK_SAMPLES = 576;
const PALETTE_FILE_BYTES = 768;
const FADE_TABLE_BYTES = 65536;
const MIX_PIECE_FRAMES = 16384;

// The settings the page changes, in the order the module's tv_settings takes them; their defaults and ranges come
// from the module.
const SETTING_NAMES = ['radioIndex', 'waveAmplitude', 'waveShiftPower', 'waveAttenuationRate',
  'paletteAnimationSpeed'];

export class Engine {
  // `palettes`: the palette files' bytes (768 each) in the plug-in's order; `fade`: the 65536-byte fade table.
  static async create(wasmBytes, palettes, fade) {
    const { instance } = await WebAssembly.instantiate(wasmBytes, {});
    instance.exports._initialize();  // the module's static constructors
    return new Engine(instance.exports, palettes, fade);
  }

  constructor(exports, palettes, fade) {
    this.x = exports;
    this.h = 0;
    if (!palettes.length || palettes.some((p) => p.length !== PALETTE_FILE_BYTES))
      throw new Error(`the palettes must be ${PALETTE_FILE_BYTES}-byte files, at least one`);
    if (fade.length !== FADE_TABLE_BYTES) throw new Error(`the fade table must be ${FADE_TABLE_BYTES} bytes`);
    const paletteBytes = palettes.length * PALETTE_FILE_BYTES;
    this.h = this.x.tv_create();
    const input = this.h && this.x.tv_alloc(paletteBytes + FADE_TABLE_BYTES);
    if (!input) throw new Error('out of memory for the data set');
    const heap = new Uint8Array(this.x.memory.buffer);
    palettes.forEach((p, i) => heap.set(p, input + i * PALETTE_FILE_BYTES));
    heap.set(fade, input + paletteBytes);
    const status = this.x.tv_start(this.h, input, palettes.length, input + paletteBytes, FADE_TABLE_BYTES);
    this.x.tv_free(input);
    if (status !== 0) {
      this.x.tv_destroy(this.h);
      this.h = 0;
    }
    if (status !== 0) throw new Error(status === 1 ? 'the data set is not usable' : 'out of memory for the tables');
    this.paletteCount = palettes.length;
    // Scratch for one block's float samples, allocated once: a frame allocates nothing.
    this.samplesLeft = this.x.tv_alloc(BLOCK_SAMPLES * 4);
    this.samplesRight = this.x.tv_alloc(BLOCK_SAMPLES * 4);
    this.views = null;
    this.hdSize = null;
  }

  // Releases the effect and its memory; the object is of no more use.
  destroy() {
    if (!this.h) return;
    this.x.tv_free(this.samplesLeft);
    this.x.tv_free(this.samplesRight);
    if (this.doubles) this.x.tv_free(this.doubles);
    this.doubles = 0;
    this.x.tv_destroy(this.h);
    this.h = 0;
    this.views = null;
    this.hdSize = null;
  }

  // The plug-in's own rules for the settings the page changes: { radioIndex: { value, minimum, maximum }, ... },
  // `value` being the default.
  settingRules() {
    const count = this.x.tv_setting_count();
    const table = new Int32Array(this.x.memory.buffer, this.x.tv_setting_rules(), 3 * count);
    return Object.fromEntries(SETTING_NAMES.map((name, i) =>
      [name, { value: table[3 * i], minimum: table[3 * i + 1], maximum: table[3 * i + 2] }]));
  }

  // The plug-in's defaults of the settings the page changes, as tv_settings() takes them.
  defaultSettings() {
    return Object.fromEntries(Object.entries(this.settingRules()).map(([name, rule]) => [name, rule.value]));
  }

  // Views into the module's memory, made again only when the memory has grown (which detaches the old ones).
  memoryViews() {
    const buffer = this.x.memory.buffer;
    if (!this.views || this.views.buffer !== buffer) {
      this.views = {
        buffer,
        pixels: new Uint8Array(buffer, this.x.tv_pixels(this.h), FRAME_WIDTH * FRAME_HEIGHT),
        palette: new Uint8Array(buffer, this.x.tv_palette(this.h), 768),
        block: new Uint8Array(buffer, this.x.tv_block(this.h), 2 * BLOCK_SAMPLES),
        left: new Float32Array(buffer, this.samplesLeft, BLOCK_SAMPLES),
        right: new Float32Array(buffer, this.samplesRight, BLOCK_SAMPLES),
        hd: null,
      };
    }
    return this.views;
  }

  settings(s) {
    this.x.tv_settings(this.h, s.radioIndex, s.waveAmplitude, s.waveShiftPower, s.waveAttenuationRate,
      s.paletteAnimationSpeed);
  }

  // The next frame's block as the host writes it: 576 signed 8-bit samples of channel 0, then of channel 1.
  setBlock(bytes) {
    this.memoryViews().block.set(bytes);
  }

  // The next frame's block from float samples (full scale -1 .. 1), converted by the command line's own code.
  // `fill(left, right)` writes the 576 samples of each channel into the two arrays it is given.
  blockFromSamples(fill) {
    const v = this.memoryViews();
    fill(v.left, v.right);
    this.x.tv_block_from_samples(this.h, this.samplesLeft, this.samplesRight, BLOCK_SAMPLES);
  }

  // Runs one frame; the picture (64000 indices) and palette (768 bytes) are then in pixels() and palette().
  frame() {
    if (this.x.tv_frame(this.h) !== 0) throw new Error('the effect is not running');
  }

  pixels() {
    return this.memoryViews().pixels;
  }

  palette() {
    return this.memoryViews().palette;
  }

  // Makes the picture at a canvas' own size ready: width x height pixels, the 320 x 200 frame centred at the largest
  // size that shows all of it, a frame pixel `pixelAspect` times as high as wide (1.2: the 4:3 screen it was made
  // for). The map is made only when size or shape change, which takes a moment; drawing then allocates nothing.
  prepareHd(width, height, pixelAspect) {
    if (this.hdSize && this.hdSize.width === width && this.hdSize.height === height &&
        this.hdSize.pixelAspect === pixelAspect) return;
    this.hdSize = null;
    const status = this.x.tv_hd_size(this.h, width, height, pixelAspect);
    if (status !== 0)
      throw new Error(status === 1 ? `the picture cannot be drawn at ${width}x${height}` : 'out of memory for the picture');
    this.hdSize = { width, height, pixelAspect };
    this.views = null;  // the pixels have moved
  }

  // The last frame at the prepared size: width x height x 4 bytes (red, green, blue, 255) in the module's memory, the
  // same array each frame until the next prepareHd or the memory grows.
  drawHd() {
    if (!this.hdSize || this.x.tv_hd_draw(this.h) !== 0) throw new Error('no picture size is prepared');
    const v = this.memoryViews();
    if (!v.hd) {
      const { width, height } = this.hdSize;
      v.hd = new Uint8ClampedArray(v.buffer, this.x.tv_hd_pixels(this.h), width * height * 4);
    }
    return v.hd;
  }

  // The command line's standard downmix of more than two channels to the picture's two, as a function of
  // (channels, count, mask) giving [left, right] in double (kept so until the conversion, as the command line
  // does); `channels`: the file's channels as arrays, `mask`: their speakers as WAV's channel mask (0: the layout
  // FFmpeg assumes for the count). Done a piece at a time, so a long song needs no more of the module's memory.
  downmixer() {
    return (channels, count, mask = 0) => {
      const n = channels.length;
      const piece = Math.min(count, MIX_PIECE_FRAMES);
      const input = this.x.tv_alloc(piece * n * 4);
      const output = this.x.tv_alloc(piece * 16);
      if (!input || !output) throw new Error('out of memory for the downmix');
      const left = new Float64Array(count);
      const right = new Float64Array(count);
      try {
        for (let from = 0; from < count; from += piece) {
          const frames = Math.min(piece, count - from);
          const interleaved = new Float32Array(this.x.memory.buffer, input, frames * n);
          for (let f = 0; f < frames; ++f) for (let c = 0; c < n; ++c) interleaved[f * n + c] = channels[c][from + f];
          if (this.x.tv_mix_to_stereo(input, n, frames, mask >>> 0, output) !== 0)
            throw new Error(`${n} channels cannot be mixed down`);
          const stereo = new Float64Array(this.x.memory.buffer, output, frames * 2);
          for (let f = 0; f < frames; ++f) {
            left[from + f] = stereo[2 * f];
            right[from + f] = stereo[2 * f + 1];
          }
        }
      } finally {
        this.x.tv_free(input);
        this.x.tv_free(output);
      }
      this.views = null;  // the memory may have grown
      return [left, right];
    };
  }

  // The next frame's block from double samples (a downmix), converted by the command line's own code.
  blockFromDoubles(fill) {
    if (!this.doubles) {
      this.doubles = this.x.tv_alloc(2 * BLOCK_SAMPLES * 8);
      this.views = null;
    }
    const buffer = this.x.memory.buffer;
    const left = new Float64Array(buffer, this.doubles, BLOCK_SAMPLES);
    const right = new Float64Array(buffer, this.doubles + BLOCK_SAMPLES * 8, BLOCK_SAMPLES);
    fill(left, right);
    this.x.tv_signed8_from_doubles(this.doubles, 2 * BLOCK_SAMPLES, this.x.tv_block(this.h));
  }

  stepPalette(palettes) {
    this.x.tv_step_palette(this.h, palettes);
  }

  // The palette on screen (0 .. count - 1): while the animation blends, the one nearer in the blend.
  paletteIndex() {
    const at = Math.round(this.x.tv_palette_position(this.h));
    return ((at % this.paletteCount) + this.paletteCount) % this.paletteCount;
  }
}
