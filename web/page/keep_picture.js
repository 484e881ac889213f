// Keeping what the page shows: the picture as a PNG, and a clip of the picture with its sound (MediaRecorder, WebM),
// each handed to the browser as a download named after the song and the time.

const CLIP_FRAMES_PER_SECOND = 50;
const CLIP_TYPES = ['video/webm;codecs=vp9,opus', 'video/webm;codecs=vp8,opus', 'video/webm'];

function fileStem(title) {
  const stamp = new Date().toISOString().slice(0, 19).replace(/[T:]/g, '-');
  const name = String(title).replace(/\.[^.]*$/, '').replace(/[^\p{L}\p{N} _-]+/gu, '').trim().slice(0, 60);
  return `${name || 'tavelmir'} ${stamp}`;
}

function download(blob, name) {
  const url = URL.createObjectURL(blob);
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// The canvas as it shows now (the classic picture at 320 x 200, the HD one at its size).
export function saveStill(canvas, title) {
  return new Promise((resolve, reject) => {
    canvas.toBlob((blob) => {
      if (!blob) {
        reject(new Error('the browser gave no picture'));
        return;
      }
      download(blob, `${fileStem(title)}.png`);
      resolve();
    }, 'image/png');
  });
}

// Records the canvas and `audioTracks` (the song's or the listened sound's) from construction to stop().
export class ClipRecorder {
  constructor(canvas, audioTracks, title) {
    if (typeof MediaRecorder === 'undefined' || !canvas.captureStream) throw new Error('no MediaRecorder');
    const type = CLIP_TYPES.find((t) => MediaRecorder.isTypeSupported(t));
    if (!type) throw new Error('no WebM recording');
    const stream = new MediaStream([...canvas.captureStream(CLIP_FRAMES_PER_SECOND).getVideoTracks(),
      ...audioTracks]);
    this.videoTracks = stream.getVideoTracks();
    this.title = title;
    this.chunks = [];
    this.recorder = new MediaRecorder(stream, { mimeType: type });
    this.recorder.ondataavailable = (e) => { if (e.data.size) this.chunks.push(e.data); };
    this.stopped = new Promise((resolve, reject) => {
      this.recorder.onstop = resolve;
      this.recorder.onerror = (e) => reject(e.error || new Error('recording failed'));
    });
    this.started = performance.now();
    this.recorder.start(1000);
  }

  seconds() {
    return (performance.now() - this.started) / 1000;
  }

  // Ends the clip and hands it over as "<song> <time>.webm".
  async stop() {
    this.recorder.stop();
    await this.stopped;
    this.videoTracks.forEach((t) => t.stop());  // the song's own tracks go on playing
    if (!this.chunks.length) throw new Error('nothing was recorded');
    download(new Blob(this.chunks, { type: 'video/webm' }), `${fileStem(this.title)}.webm`);
  }
}
