// sound-worklet.js -- the audio thread's half of the page's sound device: a copy of the
// player's ring, played from its start over and over as a desktop device plays the ring
//
// The page sends what the player writes into the ring ({offset, bytes}); the worklet reports
// how far it has played, in bytes since it started, every few milliseconds ({position}).
const REPORT_FRAMES = 512;  // about 12 ms at 44100 Hz, as a desktop device's period

class QuorbelaRing extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const settings = options.processorOptions;
    this.ring = new Int16Array(settings.ringBytes / 2);
    this.ringBytes = new Uint8Array(this.ring.buffer);
    this.frames = settings.ringBytes / 4;
    this.played = 0;  // frames since the start
    this.reported = 0;
    this.paused = false;
    this.stopped = false;
    // Everything played, for checks: the first recordFrames frames.
    this.record = settings.recordFrames > 0 ? new Int16Array(settings.recordFrames * 2) : null;
    this.recorded = 0;
    this.port.onmessage = (event) => {
      const message = event.data;
      if (message.bytes) {
        this.ringBytes.set(new Uint8Array(message.bytes), message.offset);
      } else if ('paused' in message) {
        this.paused = message.paused;
      } else if (message.stop) {
        this.stopped = true;
      } else if (message.sendRecording) {
        const frames = this.record ? this.record.slice(0, this.recorded * 2) : new Int16Array(0);
        this.port.postMessage({recording: frames.buffer}, [frames.buffer]);
      }
    };
  }

  process(inputs, outputs) {
    if (this.stopped) return false;
    const left = outputs[0][0];
    const right = outputs[0].length > 1 ? outputs[0][1] : null;
    const count = left.length;
    if (this.paused) {
      left.fill(0);
      if (right) right.fill(0);
      return true;
    }
    let at = this.played % this.frames;
    for (let i = 0; i < count; ++i) {
      const l = this.ring[2 * at];
      const r = this.ring[2 * at + 1];
      left[i] = l / 32768;
      if (right) right[i] = r / 32768;
      if (this.record && this.recorded < this.record.length / 2) {
        this.record[2 * this.recorded] = l;
        this.record[2 * this.recorded + 1] = r;
        ++this.recorded;
      }
      if (++at === this.frames) at = 0;
    }
    this.played += count;
    if (this.played - this.reported >= REPORT_FRAMES) {
      this.reported = this.played;
      this.port.postMessage({position: this.played * 4});
    }
    return true;
  }
}

registerProcessor('quorbela-ring', QuorbelaRing);
