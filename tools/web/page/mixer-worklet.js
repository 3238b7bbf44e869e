// The sound's last step, on the audio thread: plays the blocks of stereo
// 16-bit frames the page mixes ahead, and tells the page how many it played
// so that it mixes as many again. With nothing queued it plays silence.
"use strict";
class PellimunchOutput extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = [];
    this.block = null;
    this.at = 0;          // the next frame of this.block
    this.played = 0;      // frames played since the last report
    this.underruns = 0;   // render quanta that ran out of frames
    this.port.onmessage = (e) => this.queue.push(e.data);
  }

  process(inputs, outputs) {
    const left = outputs[0][0], right = outputs[0][1];
    let i = 0, starved = false;
    while (i < left.length) {
      if (!this.block) {
        this.block = this.queue.shift() || null;
        this.at = 0;
        if (!this.block) {
          left.fill(0, i);
          right.fill(0, i);
          this.underruns++;
          starved = true;
          break;
        }
      }
      const n = Math.min(left.length - i, this.block.length / 2 - this.at);
      for (let k = 0; k < n; k++) {
        left[i + k] = this.block[2 * (this.at + k)] / 32768;
        right[i + k] = this.block[2 * (this.at + k) + 1] / 32768;
      }
      i += n;
      this.at += n;
      this.played += n;
      if (this.at * 2 >= this.block.length) this.block = null;
    }
    // Starved, it reports at once whatever it played, or the page would wait
    // for a report that never comes.
    if (this.played >= 512 || (starved && this.played > 0)) {
      this.port.postMessage({ played: this.played, underruns: this.underruns });
      this.played = 0;
    }
    return true;
  }
}
registerProcessor("pellimunch-output", PellimunchOutput);
