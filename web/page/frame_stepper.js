// The effect steps at 50 frames a second of audio time, whatever the display's refresh: frame n of a timeline that
// starts at sample frame `origin` shows the 576 samples of each channel from origin + floor(n * rate / 50), and
// runs once the audio clock has reached that sample. The samples come from a source that answers `rate`,
// `holds(first, count)` and `copy(first, left, right)`: the sample history by context frame (what is listened to),
// or a song's own samples by song frame (so a song's frames are the command line's at any output rate).
import { BLOCK_SAMPLES } from './engine.js';

export const FRAMES_PER_SECOND = 50;
// Frames missed in a short stall (a busy machine) are run, so the ripples stay those of the sound (a second of
// frames is a few milliseconds of work); after a longer one (a hidden tab) a new grid starts at the present.
const MAX_CATCH_UP = 50;

export function frameStartSample(frame, rate) {
  return Math.floor((frame * rate) / FRAMES_PER_SECOND);
}

export class FrameStepper {
  constructor(engine, history, onFrame = null) {
    this.engine = engine;
    this.onFrame = onFrame;  // told each frame's number once it has run
    this.history = history;
    this.origin = 0;
    this.rate = history.rate;
    this.next = 0;
    this.skipped = 0;  // frames passed over after stalls, since the page opened
    this.fill = (left, right) => this.history.copy(this.blockFirst, left, right);
    this.blockFirst = 0;
  }

  start(origin) {
    this.origin = origin;
    this.next = 0;
  }

  // After a seek: the next frame run is the one at sample `heard`.
  jumpTo(heard) {
    this.next = Math.max(0, Math.floor(((heard - this.origin) * FRAMES_PER_SECOND) / this.rate));
  }

  // Runs every frame due by context frame `heard` whose samples have arrived; returns how many ran.
  advance(heard) {
    const due = Math.floor(((heard - this.origin) * FRAMES_PER_SECOND) / this.rate);
    if (due < this.next) return 0;
    if (due - this.next >= MAX_CATCH_UP) {
      this.skipped += due - this.next;
      this.next = due;
    }
    let ran = 0;
    while (this.next <= due && this.runFrame(this.next)) {
      ++this.next;
      ++ran;
    }
    return ran;
  }

  // One frame, when its samples are all there.
  runFrame(frame) {
    this.blockFirst = this.origin + frameStartSample(frame, this.rate);
    if (!this.history.holds(this.blockFirst, BLOCK_SAMPLES)) return false;
    // A downmix keeps its samples in double until the conversion, as the command line does.
    if (this.history.precise) this.engine.blockFromDoubles(this.fill);
    else this.engine.blockFromSamples(this.fill);
    this.engine.frame();
    if (this.onFrame) this.onFrame(frame);
    return true;
  }
}
