// The last seconds of what the audio context played, by context sample frame, so that each picture frame can cut
// its 576 samples of each channel at the audio time it shows. Memory stays the same however long it plays.

export class SampleHistory {
  constructor(rate, seconds = 4) {
    this.rate = rate;
    this.capacity = Math.ceil(rate * seconds);
    this.left = new Float32Array(this.capacity);
    this.right = new Float32Array(this.capacity);
    this.end = 0;  // one past the last context frame received
  }

  // Samples of context frames first .. first + left.length - 1. A gap (a batch lost, a stall) is silence.
  append(first, left, right) {
    if (first > this.end) this.fill(this.end, first, null, null);
    if (first < this.end) {  // overlapping what is held already: only the new part
      const skip = this.end - first;
      if (skip >= left.length) return;
      left = left.subarray(skip);
      right = right.subarray(skip);
      first = this.end;
    }
    this.fill(first, first + left.length, left, right);
  }

  fill(from, to, left, right) {
    if (to - from > this.capacity) {
      const drop = to - from - this.capacity;
      from += drop;
      if (left) { left = left.subarray(drop); right = right.subarray(drop); }
    }
    for (let f = from, i = 0; f < to; ++f, ++i) {
      const at = f % this.capacity;
      this.left[at] = left ? left[i] : 0;
      this.right[at] = right ? right[i] : 0;
    }
    this.end = to;
  }

  // Whether frames first .. first + count - 1 have all arrived.
  holds(first, count) {
    return first + count <= this.end;
  }

  // Copies count frames from `first` into the two arrays; what is not held (too old, or before the start) is silence.
  copy(first, left, right) {
    const oldest = this.end - this.capacity;
    for (let i = 0; i < left.length; ++i) {
      const f = first + i;
      const held = f >= 0 && f >= oldest && f < this.end;
      const at = held ? f % this.capacity : 0;
      left[i] = held ? this.left[at] : 0;
      right[i] = held ? this.right[at] : 0;
    }
  }
}
