// Playing a compiled tune in the browser: the tune is rendered by the same renderer as
// `quavrexc --wav` (quavrex.page.render) at the audio device's rate and played from a buffer.
// The graph is source -> analyser -> destination; the analyser lets the page (and its tests)
// see that sound flows.

export class Player {
  constructor() {
    this.context = null;
    this.analyser = null;
    this.source = null;
    this.startedAt = 0;  // context time at which the tune's second 0 would have played
    this.buffer = null;
    this.rendered = null;  // {mmf, muted} the buffer was rendered for
    this.onEnded = () => {};
    this.onRendering = () => {};
  }

  ensureContext() {
    if (this.context === null) {
      this.context = new AudioContext();
      this.analyser = this.context.createAnalyser();
      this.analyser.fftSize = 2048;
      this.analyser.connect(this.context.destination);
    }
    return this.context;
  }

  get playing() {
    return this.source !== null;
  }

  // Seconds into the tune now, or null when not playing.
  position() {
    if (!this.playing) {
      return null;
    }
    return Math.min(this.context.currentTime - this.startedAt, this.buffer.duration);
  }

  // Renders (unless the same tune with the same muted parts is rendered already) and plays
  // from `fromSec`. Must be called from a user's action the first time (browsers start audio
  // only then).
  async play(mmf, fromSec, muted) {
    const context = this.ensureContext();
    this.stop();
    if (context.state !== 'running') {
      await context.resume();
    }
    const key = `${muted.join(',')}`;
    if (!this.rendered || this.rendered.mmf !== mmf || this.rendered.key !== key) {
      // The render runs on the page's thread: say so, and let the page show it first.
      this.onRendering(true);
      await new Promise((resolve) => setTimeout(resolve, 0));
      const samples = await window.quavrex.page.render(mmf, context.sampleRate, muted);
      this.onRendering(false);
      const buffer = context.createBuffer(1, Math.max(1, samples.length), context.sampleRate);
      buffer.copyToChannel(samples, 0);
      this.buffer = buffer;
      this.rendered = {mmf, key};
    }
    const offset = Math.min(Math.max(0, fromSec), this.buffer.duration);
    const source = context.createBufferSource();
    source.buffer = this.buffer;
    source.connect(this.analyser);
    source.onended = () => {
      if (this.source === source) {
        this.source = null;
        this.onEnded();
      }
    };
    this.source = source;
    this.startedAt = context.currentTime - offset;
    source.start(0, offset);
  }

  stop() {
    if (this.source !== null) {
      const source = this.source;
      this.source = null;
      source.stop();
      source.disconnect();
    }
  }

  // The loudness flowing through the graph now (root mean square of the analyser's window).
  level() {
    if (this.analyser === null) {
      return 0;
    }
    const data = new Float32Array(this.analyser.fftSize);
    this.analyser.getFloatTimeDomainData(data);
    return Math.sqrt(data.reduce((sum, v) => sum + v * v, 0) / data.length);
  }
}
