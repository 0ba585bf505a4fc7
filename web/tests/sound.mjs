// What the tests of the recording's waveform, selection, playback and live
// preview share: recordings made of parts, their samples as a WAV reader
// gives them back, the examples' room, what Web Audio was handed, and the
// one model of what Play the values must play.
import { writeFileSync, mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import * as h from './helpers.mjs';

// Samples of `spans`, each [seconds, amplitude, frequency]: a tone of that
// amplitude (0: silence) and frequency (440 Hz unless given).
export function parts(rate, ...spans) {
  const samples = [];
  for (const [seconds, amplitude, frequency = 440] of spans) {
    const from = samples.length;
    for (let i = 0; i < Math.round(seconds * rate); ++i) {
      samples.push(amplitude * Math.sin((2 * Math.PI * frequency * (from + i)) / rate));
    }
  }
  return samples;
}

// The samples of a 16-bit WAV written by h.wav(), as a reader gives them
// back: the lowest value -1, the highest 1.
export const as16Bit = (samples) => samples.map((s) => {
  const value = Math.round(Math.max(-1, Math.min(1, s)) * 32767);
  return value / (value < 0 ? 32768 : 32767);
});

// A WAV of `seconds` of a quiet tone, mono 16-bit, written straight to a
// file as it is too large to build as an array: its path.
export function longWav(seconds, rate) {
  const frames = seconds * rate;
  const bytes = Buffer.alloc(44 + frames * 2);
  h.wav([], rate).copy(bytes);
  bytes.writeUInt32LE(36 + frames * 2, 4);
  bytes.writeUInt32LE(frames * 2, 40);
  for (let i = 0; i < frames; ++i) {
    bytes.writeInt16LE(Math.round(12000 * Math.sin(i / 3) * Math.sin(i / 50000)), 44 + 2 * i);
  }
  const path = join(mkdtempSync(join(tmpdir(), 'quorbel-long-')), 'long.wav');
  writeFileSync(path, bytes);
  return path;
}

// The examples' room, as the native preview says it.
export function examplesRoom() {
  return Number(/Summary: room for (\d+) values/.exec(h.nativePreviewOf(h.examples()).stdout)[1]);
}

// The values a run uses from `inputBytes` with the examples' templates:
// the halved bytes the native preview counts as used.
export function usedValues(inputBytes, name = 'input.raw') {
  const { stdout } = h.nativePreviewOf({ ...h.examples(['1Template.pch', '2Template.pch',
    '3Template.pch', '4Template.pch']), [name]: inputBytes }, name);
  const used = Number(/values used (\d+)/.exec(stdout)[1]);
  return [...inputBytes.subarray(0, used)].map((byte) => byte >> 1);
}

// The one model of Play the values: each value v held for 1/rate s at
// (v - 63.5) / 63.5, sampled at `outputRate`.
export function heldValues(values, rate, outputRate) {
  const length = Math.ceil((values.length * outputRate) / rate);
  return Array.from({ length }, (_, j) => Math.fround((values[Math.min(values.length - 1,
    Math.floor((j * rate) / outputRate))] - 63.5) / 63.5));
}

// An init script that keeps what the page hands to Web Audio: each buffer
// started (its samples, rate and start time), and the sources stopped.
// The page is then held up for 150 ms at each start, as on a busy machine:
// longer than the examples' values sound.
export function listenToAudio() {
  window.played = [];
  window.stopped = 0;
  const { start } = AudioBufferSourceNode.prototype;
  const { stop } = AudioScheduledSourceNode.prototype;
  AudioBufferSourceNode.prototype.start = function startAndKeep(when, ...rest) {
    window.played.push({ when, rate: this.buffer.sampleRate,
      samples: [...this.buffer.getChannelData(0)] });
    start.call(this, when, ...rest);
    for (const from = performance.now(); performance.now() - from < 150;);
  };
  AudioBufferSourceNode.prototype.stop = function stopAndCount(...rest) {
    window.stopped += 1;
    return stop.call(this, ...rest);
  };
}

// What the page handed to Web Audio since `from` (an index of the list),
// the buffers in the order they play, joined: {rate, samples}.
export async function heard(page, from = 0) {
  const played = (await page.evaluate(() => window.played)).slice(from)
    .sort((a, b) => a.when - b.when);
  return { rate: played[0]?.rate, samples: played.flatMap((part) => part.samples),
    parts: played.length };
}

// The largest difference between two lists of samples of one length.
export function worstDifference(a, b) {
  if (a.length !== b.length) return Infinity;
  return a.reduce((worst, value, i) => Math.max(worst, Math.abs(value - b[i])), 0);
}
