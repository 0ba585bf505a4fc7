// The takes' signal core on synthesized tones, in Node (the engine of
// Chromium): the pitch found against the pitch synthesized, the time of
// pitch detection per frame it analyses, and harmonics 1 to 8 of each
// patch's cycle against the source's at that moment. The figures go to
// standard output.
//   node bench/takes.mjs
import { detectPitch, pitchSpans } from '../web/worker/pitch.js';
import { cutCycles, cycleSpans } from '../web/worker/cycles.js';

const kRate = 44100;
const kRuns = 20;
const rooms = [240, 240, 240, 240];

// One second of partials 1 to 16 of amp(h, t), the pitch moved by cents(t).
function tone(pitch, amp, cents = () => 0) {
  const samples = new Float32Array(kRate);
  for (let i = 0, cycles = 0; i < kRate; ++i) {
    for (let h = 1; h <= 16; ++h) {
      samples[i] += 0.3 * amp(h, i / kRate) * Math.sin(2 * Math.PI * h * cycles);
    }
    cycles += (pitch * 2 ** (cents(i / kRate) / 1200)) / kRate;
  }
  return samples;
}
const magnitude = (values, bin) => Math.hypot(...[Math.cos, Math.sin].map((f) => values
  .reduce((sum, v, n) => sum + v * f((2 * Math.PI * bin * n) / values.length), 0)));

const saw = (h) => 1 / h;
console.log('| tone | pitch error | ms per frame analysed | harmonics 1-8, worst |');
console.log('|---|---|---|---|');
for (const [name, pitch, amp, cents] of [
  ['saw, 110 Hz', 110, saw], ['square, 440 Hz', 440, (h) => (h % 2 ? 1 / h : 0)],
  ['plucked string, 110 Hz', 110, (h, t) => Math.exp(-t * (0.5 + h / 4)) / h],
  ['saw, ±20 cents vibrato, 196 Hz', 196, saw, (t) => 20 * Math.sin(2 * Math.PI * 5.5 * t)]]) {
  const samples = tone(pitch, amp, cents);
  const read = (first, end) => samples.subarray(first, end);
  const from = performance.now();
  let found;
  for (let run = 0; run < kRuns; ++run) found = detectPitch(samples.length, kRate, read);
  const perFrame = (performance.now() - from) / kRuns / found.frames;
  const cut = cutCycles(samples.length, kRate, read, found.pitch, 1, rooms);
  // Each patch's harmonics against its first, in dB, as the source's are
  // at the patch's moment (amp at that time): the worst difference.
  let worst = 0;
  cut.patches.forEach((patch) => {
    const t = patch.start + patch.seconds / 2;
    for (let h = 1; h <= 8; ++h) {
      if (amp(h, t) === 0) continue;
      const made = 20 * Math.log10(magnitude(patch.values, h) /
        magnitude(cut.patches[0].values, 1));
      const source = 20 * Math.log10(amp(h, t) / amp(1, cut.patches[0].start));
      worst = Math.max(worst, Math.abs(made - source));
    }
  });
  console.log(`| ${name} | ${(100 * Math.abs(found.pitch / pitch - 1)).toFixed(3)} % | ` +
    `${perFrame.toFixed(1)} | ${worst.toFixed(2)} dB |`);
}
