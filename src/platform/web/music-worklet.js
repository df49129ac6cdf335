// The music's player on the audio thread. The page renders the music on its own thread and
// sends it here through the node's message port, in chunks of stereo samples kept well ahead of
// what plays; this plays them in order and reports, every few render quanta, how many frames it
// has played and how often it ran dry (an underrun: a quantum it had to fill with silence while
// the show was playing).
'use strict';

class MusicPlayer extends AudioWorkletProcessor {
  constructor() {
    super();
    this.chunks = []; // { left, right } Float32Arrays, oldest first
    this.offset = 0; // frames of chunks[0] already played
    this.played = 0;
    this.underruns = 0;
    this.playing = false; // from the first chunk until the page says the show is over
    this.quanta = 0;
    this.port.onmessage = event => {
      const message = event.data;
      if (message.left) {
        this.chunks.push(message);
        this.playing = true;
      } else if (message.over) {
        this.playing = false;
      }
    };
  }

  process(inputs, outputs) {
    const [left, right] = outputs[0];
    let filled = 0;
    while (filled < left.length && this.chunks.length) {
      const chunk = this.chunks[0];
      const count = Math.min(left.length - filled, chunk.left.length - this.offset);
      left.set(chunk.left.subarray(this.offset, this.offset + count), filled);
      right.set(chunk.right.subarray(this.offset, this.offset + count), filled);
      filled += count;
      this.offset += count;
      if (this.offset === chunk.left.length) {
        this.chunks.shift();
        this.offset = 0;
      }
    }
    this.played += filled;
    if (filled < left.length) {
      left.fill(0, filled);
      right.fill(0, filled);
      if (this.playing)
        this.underruns++;
    }
    if (++this.quanta % 4 === 0)
      this.port.postMessage({ played: this.played, underruns: this.underruns });
    return true;
  }
}

registerProcessor('music-player', MusicPlayer);
