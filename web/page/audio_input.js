// The sound the picture follows: a song played through the audio context, or the microphone, or another tab's
// sound. Every source goes through the sample keeper (an AudioWorklet), whose samples land in the history by
// context frame; the audio clock says which of them are being heard.
import { SampleHistory } from './sample_history.js';

// Messages for what the browser refuses, by the error's name.
function refusalMessage(what, error) {
  switch (error && error.name) {
    case 'NotAllowedError':
    case 'SecurityError':
      return `The browser refused the ${what}: allow it in the site's permissions (a page must be served from ` +
        'localhost or https for this), then try again.';
    case 'NotFoundError':
    case 'OverconstrainedError':
      return `No ${what} was found.`;
    case 'NotReadableError':
    case 'AbortError':
      return `The ${what} is in use or could not be opened.`;
    case 'TypeError':
      return `This browser cannot give the page the ${what}.`;
    default:
      return `The ${what} could not be opened${error && error.message ? `: ${error.message}` : ''}.`;
  }
}

export class AudioInput {
  constructor() {
    this.context = null;
    this.keeper = null;
    this.history = null;
    this.source = null;   // the node feeding the keeper now
    this.stream = null;   // a microphone or tab stream, stopped when replaced
    this.onEnded = null;  // called when a song finishes playing
    this.heardAt = 0;
    this.readying = null;
  }

  // The context and the keeper, made on the first user action (browsers start audio only then).
  ready() {
    // One context however many actions ask at once; a failure lets the next action try again.
    if (!this.readying) this.readying = this.makeContext().catch((error) => {
      this.readying = null;
      throw error;
    });
    return this.readying;
  }

  async makeContext() {
    if (typeof AudioContext === 'undefined') throw new Error('This browser has no Web Audio: the page cannot play.');
    const context = new AudioContext({ latencyHint: 'interactive' });
    // Browsers give worklets only to secure pages: served from another machine over plain http, there is none.
    if (!context.audioWorklet) {
      context.close();
      throw new Error('The browser gives this page no audio worklet: open it from localhost or over https.');
    }
    try {
      await context.audioWorklet.addModule(new URL('./sample_keeper_worklet.js', import.meta.url));
    } catch (error) {
      context.close();
      throw new Error(`The page's audio worklet did not load (${error.message}).`);
    }
    // Two channels always: a mono source feeds both, as the command line does with a mono file.
    this.keeper = new AudioWorkletNode(context, 'sample-keeper', {
      numberOfInputs: 1, numberOfOutputs: 1, outputChannelCount: [2],
      channelCount: 2, channelCountMode: 'explicit', channelInterpretation: 'speakers',
    });
    this.history = new SampleHistory(context.sampleRate);
    this.keeper.port.onmessage = ({ data }) => this.history.append(data.first, data.left, data.right);
    // What is listened to is not played back (no feedback from a microphone); a song is.
    this.silence = new GainNode(context, { gain: 0 });
    this.silence.connect(context.destination);
    this.context = context;
  }

  get rate() {
    return this.context ? this.context.sampleRate : 0;
  }

  // Decodes a song's bytes (after ready()); throws with the browser's reason when it cannot.
  decode(bytes) {
    return this.context.decodeAudioData(bytes);
  }

  // Plays a decoded song from its start; returns the context frame its first sample is heard at.
  playSong(buffer) {
    this.stop();
    const source = new AudioBufferSourceNode(this.context, { buffer });
    source.connect(this.keeper);
    this.keeper.disconnect();
    this.keeper.connect(this.context.destination);
    // On a whole sample frame a little ahead, so the song's first sample has an exact place on the clock.
    const first = Math.ceil((this.context.currentTime + 0.1) * this.context.sampleRate);
    const at = first / this.context.sampleRate;
    source.onended = () => {
      if (this.source === source && this.onEnded) this.onEnded();
    };
    source.start(at);
    this.source = source;
    if (this.context.state !== 'running') this.context.resume();
    return first;
  }

  // The microphone ('microphone') or another tab's sound ('tab'). Returns the context frame the picture starts at,
  // or throws an Error whose message is for the user.
  async listen(kind) {
    await this.ready();
    const what = kind === 'tab' ? "tab's sound" : 'microphone';
    let stream;
    try {
      if (kind === 'tab') {
        if (!navigator.mediaDevices || !navigator.mediaDevices.getDisplayMedia) throw new TypeError('none');
        stream = await navigator.mediaDevices.getDisplayMedia({ audio: true, video: true });
        stream.getVideoTracks().forEach((t) => t.stop());
        if (stream.getAudioTracks().length === 0)
          throw Object.assign(new Error('no sound shared'), { name: 'NoSound' });
      } else {
        if (!navigator.mediaDevices || !navigator.mediaDevices.getUserMedia) throw new TypeError('none');
        stream = await navigator.mediaDevices.getUserMedia({
          audio: { echoCancellation: false, noiseSuppression: false, autoGainControl: false },
        });
      }
    } catch (error) {
      if (error.name === 'NoSound') {
        stream.getTracks().forEach((t) => t.stop());
        throw new Error('No sound was shared: choose a tab and tick "Share tab audio".');
      }
      throw new Error(refusalMessage(what, error));
    }
    this.stop();
    this.stream = stream;
    this.source = this.context.createMediaStreamSource(stream);
    this.source.connect(this.keeper);
    this.keeper.disconnect();
    this.keeper.connect(this.silence);
    if (this.context.state !== 'running') await this.context.resume();
    return Math.round(this.context.currentTime * this.context.sampleRate);
  }

  stop() {
    if (this.source) {
      this.source.onended = null;
      try {
        if (this.source.stop) this.source.stop();
      } catch (_) { /* never started */ }
      this.source.disconnect();
      this.source = null;
    }
    if (this.stream) {
      this.stream.getTracks().forEach((t) => t.stop());
      this.stream = null;
    }
  }

  // Seconds between rendering a sample and hearing it, as far as the browser tells.
  get outputLatency() {
    return this.context ? (this.context.outputLatency || 0) + (this.context.baseLatency || 0) : 0;
  }

  get paused() {
    return !this.context || this.context.state !== 'running';
  }

  async setPaused(paused) {
    if (!this.context) return;
    if (paused) await this.context.suspend();
    else await this.context.resume();
  }

  // The context frame being heard now: the output timestamp carried on to this moment (it already allows for the
  // output latency), or, where the browser has none, the context's time less the output latency.
  heardFrame() {
    const c = this.context;
    if (!c) return 0;
    let time;
    const stamp = c.getOutputTimestamp ? c.getOutputTimestamp() : null;
    if (stamp && stamp.contextTime > 0 && c.state === 'running') {
      time = stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
    } else {
      time = c.currentTime - (c.outputLatency || 0) - (c.baseLatency || 0);
    }
    // Never beyond what the context has rendered, nor backwards (a paused context holds still).
    time = Math.min(time, c.currentTime);
    this.heardAt = Math.max(this.heardAt, time);
    return Math.floor(this.heardAt * c.sampleRate);
  }
}
