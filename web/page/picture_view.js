// Draws the effect's indexed picture through its palette into the canvas, and fits the canvas into the window at
// 4:3: whole pixels (320k x 240k device pixels for the largest k that fits, each row k or k + 1 high), or smooth.

export class PictureView {
  constructor(canvas, stage) {
    this.canvas = canvas;
    this.stage = stage;
    this.context = canvas.getContext('2d', { alpha: false });
    this.image = this.context.createImageData(canvas.width, canvas.height);
    this.words = new Uint32Array(this.image.data.buffer);
    this.colours = new Uint32Array(256);
    this.smooth = false;
    new ResizeObserver(() => this.fit()).observe(stage);
  }

  draw(pixels, palette) {
    const c = this.colours;
    for (let i = 0; i < 256; ++i)  // little-endian RGBA words, opaque
      c[i] = 0xff000000 | (palette[3 * i + 2] << 16) | (palette[3 * i + 1] << 8) | palette[3 * i];
    const w = this.words;
    for (let i = 0; i < w.length; ++i) w[i] = c[pixels[i]];
    this.context.putImageData(this.image, 0, 0);
  }

  setSmooth(smooth) {
    this.smooth = smooth;
    this.canvas.classList.toggle('smooth', smooth);
    this.fit();
  }

  fit() {
    const ratio = window.devicePixelRatio || 1;
    const width = this.stage.clientWidth * ratio;
    const height = this.stage.clientHeight * ratio;
    const whole = Math.floor(Math.min(width / 320, height / 240));
    let w, h;
    if (!this.smooth && whole >= 1) {
      w = 320 * whole;
      h = 240 * whole;
    } else {
      const scale = Math.min(width / 320, height / 240);
      w = Math.floor(320 * scale);
      h = Math.floor(240 * scale);
    }
    this.canvas.style.width = `${w / ratio}px`;
    this.canvas.style.height = `${h / ratio}px`;
  }
}
