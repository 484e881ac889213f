// Draws the effect into the canvas and fits the canvas into the window at 4:3. Classic: the indexed 320 x 200
// picture through its palette, shown in whole pixels (320k x 240k device pixels for the largest k that fits, each
// row k or k + 1 high) or smooth. HD: the tunnel drawn at the canvas' own size, its backing store the displayed
// size in device pixels (up to a limit, beyond which the browser enlarges it).

// A frame pixel is 1.2 times as high as wide on the 4:3 screen the 320 x 200 picture was made for.
const FOUR_THIRDS_PIXEL_ASPECT = 1.2;
// While a window is dragged to a new size the old backing store is enlarged; the new map (a tenth of a second or
// more at full screen) is made once the size has held this long.
const RESIZE_SETTLE_MS = 150;

export class PictureView {
  // `hdLimit`: the largest HD backing store, [width, height] in device pixels.
  constructor(canvas, stage, hdLimit) {
    this.canvas = canvas;
    this.stage = stage;
    this.context = canvas.getContext('2d', { alpha: false });
    this.image = this.context.createImageData(320, 200);
    this.words = new Uint32Array(this.image.data.buffer);
    this.colours = new Uint32Array(256);
    this.smooth = false;
    this.hd = false;
    this.hdLimit = hdLimit;
    this.hdSize = null;  // the backing store's size in HD
    this.hdImage = null;  // ImageData over the engine's pixels, made again when they move
    this.settleTimer = 0;
    this.engine = null;  // the engine last drawn, to draw again after a resize or a switch
    this.onHdFailure = () => {};
    new ResizeObserver(() => this.fit()).observe(stage);
  }

  draw(engine) {
    this.engine = engine;
    if (this.hd && this.hdSize) {
      this.drawHd(engine);
      return;
    }
    const palette = engine.palette();
    const pixels = engine.pixels();
    const c = this.colours;
    for (let i = 0; i < 256; ++i)  // little-endian RGBA words, opaque
      c[i] = 0xff000000 | (palette[3 * i + 2] << 16) | (palette[3 * i + 1] << 8) | palette[3 * i];
    const w = this.words;
    for (let i = 0; i < w.length; ++i) w[i] = c[pixels[i]];
    this.context.putImageData(this.image, 0, 0);
  }

  drawHd(engine) {
    const { width, height } = this.hdSize;
    let rgba;
    try {
      engine.prepareHd(width, height, FOUR_THIRDS_PIXEL_ASPECT);  // at once unless size or engine are new
      rgba = engine.drawHd();
    } catch (error) {
      this.setHd(false);
      this.onHdFailure(error);
      return;
    }
    if (!this.hdImage || this.hdImage.data !== rgba) this.hdImage = new ImageData(rgba, width, height);
    this.context.putImageData(this.hdImage, 0, 0);
  }

  setSmooth(smooth) {
    this.smooth = smooth;
    this.canvas.classList.toggle('smooth', smooth);
    this.fit();
  }

  setHd(hd) {
    if (hd === this.hd) return;
    this.hd = hd;
    this.canvas.classList.toggle('hd', hd);
    this.hdSize = null;
    this.hdImage = null;
    if (!hd) this.resizeBackingStore(320, 200);
    this.fit();
  }

  fit() {
    const ratio = window.devicePixelRatio || 1;
    const width = this.stage.clientWidth * ratio;
    const height = this.stage.clientHeight * ratio;
    const whole = Math.floor(Math.min(width / 320, height / 240));
    let w, h;
    if (!this.hd && !this.smooth && whole >= 1) {
      w = 320 * whole;
      h = 240 * whole;
    } else {
      const scale = Math.min(width / 320, height / 240);
      w = Math.floor(320 * scale);
      h = Math.floor(240 * scale);
    }
    this.canvas.style.width = `${w / ratio}px`;
    this.canvas.style.height = `${h / ratio}px`;
    if (!this.hd || w < 1 || h < 1) return;
    const [limitW, limitH] = this.hdLimit;
    const shrink = Math.min(1, limitW / w, limitH / h);
    const size = { width: Math.max(1, Math.min(limitW, Math.round(w * shrink))),
      height: Math.max(1, Math.min(limitH, Math.round(h * shrink))) };
    clearTimeout(this.settleTimer);
    if (!this.hdSize) this.applyHdSize(size);
    else if (size.width !== this.hdSize.width || size.height !== this.hdSize.height)
      this.settleTimer = setTimeout(() => this.applyHdSize(size), RESIZE_SETTLE_MS);
  }

  // The new backing store, drawn at once from the last frame (the canvas is cleared when it changes size, and a
  // paused picture would otherwise stay black).
  applyHdSize(size) {
    if (!this.hd) return;
    this.hdSize = size;
    this.hdImage = null;
    this.resizeBackingStore(size.width, size.height);
    if (this.engine) this.draw(this.engine);
  }

  resizeBackingStore(width, height) {
    if (this.canvas.width !== width || this.canvas.height !== height) {
      this.canvas.width = width;
      this.canvas.height = height;
    }
    if (!this.hd && this.engine) this.draw(this.engine);
  }
}
