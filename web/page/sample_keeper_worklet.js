// Runs on the audio thread: passes the sound through unchanged and sends the samples it saw, with the context
// frame of the first, to the page in batches, so the page knows exactly which samples are playing at any time.
const BATCH_FRAMES = 512;  // about 11 ms at 44.1 kHz: a frame waits at most that long for its samples

class SampleKeeper extends AudioWorkletProcessor {
  constructor() {
    super();
    this.left = new Float32Array(BATCH_FRAMES);
    this.right = new Float32Array(BATCH_FRAMES);
    this.filled = 0;
    this.first = 0;
  }

  process(inputs, outputs) {
    const input = inputs[0];
    const output = outputs[0];
    const frames = output[0].length;
    // No input connected (yet, or any longer) is silence: the timeline has no gaps.
    const left = input.length > 0 ? input[0] : null;
    const right = input.length > 1 ? input[1] : left;
    for (let c = 0; c < output.length; ++c) {
      const from = c === 0 ? left : right;
      if (from) output[c].set(from);
    }
    if (this.filled === 0) this.first = currentFrame;
    for (let i = 0; i < frames; ++i) {
      this.left[this.filled] = left ? left[i] : 0;
      this.right[this.filled] = right ? right[i] : 0;
      if (++this.filled === BATCH_FRAMES) {
        this.port.postMessage({ first: this.first, left: this.left, right: this.right },
          [this.left.buffer, this.right.buffer]);
        this.left = new Float32Array(BATCH_FRAMES);
        this.right = new Float32Array(BATCH_FRAMES);
        this.filled = 0;
        this.first = currentFrame + i + 1;
      }
    }
    return true;
  }
}

registerProcessor('sample-keeper', SampleKeeper);
