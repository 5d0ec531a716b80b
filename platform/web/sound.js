// sound.js -- the page's sound device for the show and the player (Module.sound): an
// AudioWorklet playing a copy of the player's ring (sound-worklet.js), or a ScriptProcessor
// where there is no AudioWorklet (it needs a secure context: https or localhost)
//
// Browsers start sound only after a gesture on the page: make the object early (prepare()
// loads the worklet), call resume() from the gesture, and hand it to the module as
// Module.sound. Nothing here fills the ring: the program does, whenever played() is called.
'use strict';

class QuorbelaSound {
  // recordSeconds: keep the first seconds played (recording()), for checks; worklet: false
  // plays through the ScriptProcessor even where there is an AudioWorklet.
  constructor({rate = 44100, recordSeconds = 0, worklet = true} = {}) {
    this.rate = rate;
    this.useWorklet = worklet;
    this.recordFrames = Math.round(recordSeconds * rate);
    this.context = null;
    this.kind = 'none';  // 'worklet', 'script-processor' or 'none'
    this.node = null;
    this.bytesPlayed = 0;
    this.opens = 0;
  }

  // Creates the audio context and loads the worklet; resolves to the kind of device there is.
  async prepare() {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return this.kind;
    try {
      this.context = new Context({sampleRate: this.rate, latencyHint: 'interactive'});
    } catch (error) {
      console.warn('no Web Audio at ' + this.rate + ' Hz: ' + error);
      return this.kind;
    }
    if (this.context.audioWorklet && this.useWorklet) {
      try {
        await this.context.audioWorklet.addModule(new URL('sound-worklet.js', document.baseURI).href);
        this.kind = 'worklet';
        return this.kind;
      } catch (error) {
        console.warn('no AudioWorklet, playing through a ScriptProcessor: ' + error);
      }
    }
    this.kind = this.context.createScriptProcessor ? 'script-processor' : 'none';
    return this.kind;
  }

  // From a click or a key press: lets the context play.
  resume() {
    if (this.context && this.context.state === 'suspended') this.context.resume().catch(() => {});
  }

  get running() {
    return this.context !== null && this.context.state === 'running';
  }

  // The device's open: false when there is nothing to play through.
  open(rate, ringBytes, played) {
    this.close();
    if (this.kind === 'none' || !this.context || this.context.sampleRate !== rate) return false;
    this.bytesPlayed = 0;
    this.ringBytes = ringBytes;
    this.played = played;
    ++this.opens;
    try {
      this.node = this.kind === 'worklet' ? this.openWorklet(ringBytes) : this.openScriptProcessor(ringBytes);
    } catch (error) {
      console.warn('cannot open the sound: ' + error);
      this.node = null;
      return false;
    }
    this.node.connect(this.context.destination);
    return true;
  }

  openWorklet(ringBytes) {
    const node = new AudioWorkletNode(this.context, 'quorbela-ring', {
      numberOfInputs: 0,
      numberOfOutputs: 1,
      outputChannelCount: [2],
      processorOptions: {ringBytes, recordFrames: this.recordFrames},
    });
    node.port.onmessage = (event) => {
      const message = event.data;
      if (message.position !== undefined) {
        if (node !== this.node) return;
        this.bytesPlayed = message.position;
        this.played();
      } else if (message.recording && this.recordingWanted) {
        this.recordingWanted(new Int16Array(message.recording));
        this.recordingWanted = null;
      }
    };
    return node;
  }

  openScriptProcessor(ringBytes) {
    const ring = new Int16Array(ringBytes / 2);
    const frames = ringBytes / 4;
    const record = this.recordFrames > 0 ? new Int16Array(this.recordFrames * 2) : null;
    let recorded = 0;
    const node = this.context.createScriptProcessor(1024, 0, 2);
    node.ring = ring;
    node.paused = false;
    node.recording = () => (record ? record.slice(0, recorded * 2) : new Int16Array(0));
    node.onaudioprocess = (event) => {
      const left = event.outputBuffer.getChannelData(0);
      const right = event.outputBuffer.getChannelData(1);
      if (node.paused || node !== this.node) {
        left.fill(0);
        right.fill(0);
        return;
      }
      let at = (this.bytesPlayed / 4) % frames;
      for (let i = 0; i < left.length; ++i) {
        left[i] = ring[2 * at] / 32768;
        right[i] = ring[2 * at + 1] / 32768;
        if (record && recorded < this.recordFrames) {
          record[2 * recorded] = ring[2 * at];
          record[2 * recorded + 1] = ring[2 * at + 1];
          ++recorded;
        }
        if (++at === frames) at = 0;
      }
      this.bytesPlayed += left.length * 4;
      this.played();
    };
    return node;
  }

  position() {
    return this.bytesPlayed;
  }

  write(offset, bytes) {
    if (!this.node) return;
    if (this.kind === 'worklet') {
      this.node.port.postMessage({offset, bytes: bytes.buffer}, [bytes.buffer]);
    } else {
      new Uint8Array(this.node.ring.buffer).set(bytes, offset);
    }
  }

  pause(paused) {
    if (!this.node) return;
    if (this.kind === 'worklet') {
      this.node.port.postMessage({paused});
    } else {
      this.node.paused = paused;
    }
  }

  close() {
    if (!this.node) return;
    if (this.kind === 'worklet') this.node.port.postMessage({stop: true});
    this.node.disconnect();
    this.lastNode = this.node;
    this.node = null;
  }

  // The page is done with sound: the context goes too.
  shutdown() {
    this.close();
    if (this.context && this.context.state !== 'closed') return this.context.close();
    return Promise.resolve();
  }

  // What the last opened device played, up to recordSeconds: interleaved 16-bit frames.
  recording() {
    const node = this.node || this.lastNode;
    if (!node) return Promise.resolve(new Int16Array(0));
    if (this.kind !== 'worklet') return Promise.resolve(node.recording());
    return new Promise((resolve) => {
      this.recordingWanted = resolve;
      node.port.postMessage({sendRecording: true});
    });
  }
}
