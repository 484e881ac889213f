// The sound the picture follows when the page listens: the microphone or another tab's sound, through the sample
// keeper (an AudioWorklet), whose samples land in the history by context frame; the audio clock says which of them
// are being heard. (A song plays through a media element and brings its own samples: song_player.js.)
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
    // What is listened to is not played back (no feedback from a microphone).
    this.silence = new GainNode(context, { gain: 0 });
    this.silence.connect(context.destination);
    this.context = context;
  }

  // The sound listened to, for a recording.
  streamTracks() {
    return this.stream ? this.stream.getAudioTracks() : [];
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

  // A long song's media element as the source: the picture follows its sound as heard, as it does a microphone's,
  // and the sound goes on to the speakers. Returns the context frame the picture starts at.
  async playElement(element) {
    await this.ready();
    this.stop();
    this.source = this.context.createMediaElementSource(element);
    this.source.connect(this.keeper);
    this.keeper.disconnect();
    this.keeper.connect(this.context.destination);
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
