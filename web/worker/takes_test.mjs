// The takes' signal core on synthesized sounds, measured against what was
// synthesized: the pitch (within 0.5 %), each loop's join (no bigger than
// the largest step inside it) and harmonics 1 to 8 of every patch (within
// 1 dB, levels across patches included). Unit tests, run once by
// `node --test web/*_test.mjs`, not by each engine's browser suite.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { detectPitch, noteName, pitchSpans } from './pitch.js';
import { cutCycles, cycleSpans } from './cycles.js';
import { contourOf } from './contour.js';
import { gainToEdge, peakOf } from './gain.js';
import { highestKept, reachOf, soundAt, toByte } from '../shared/resample.js';

const kRate = 44100;
const kFloor = -40; // dB under the first patch's fundamental: absent

// One second of partials h = 1..16 of `amp(h, t)`, the fundamental at
// `pitch` moved by `cents(t)`, partial h at h * sqrt(1 + stretch h^2).
function tone(pitch, amp, { cents = () => 0, stretch = 0, level = 0.3 } = {}) {
  const samples = new Float32Array(kRate);
  for (let i = 0, cycles = 0; i < kRate; ++i) {
    for (let h = 1; h <= 16; ++h) {
      const phase = 2 * Math.PI * h * Math.sqrt(1 + stretch * h * h) * cycles;
      samples[i] += level * amp(h, i / kRate) * Math.sin(phase);
    }
    cycles += (pitch * 2 ** (cents(i / kRate) / 1200)) / kRate;
  }
  return samples;
}
const saw = (h) => 1 / h;
const notes = [110, 165, 247]; // a third of a second each: no one pitch
const noise = Float32Array.from({ length: kRate }, (_, i) => Math.sin(i * i * 12.9898) * 0.5);

// A read that fails outside `spans`: the worker reads only those frames.
const reader = (samples, spans) => (first, end) => {
  assert.ok(spans.some((span) => first >= span.first && end <= span.end), `read ${first}..${end}`);
  return samples.subarray(first, end);
};

const dB = (value, reference) => Math.max(kFloor, 20 * Math.log10(value / reference));
const harmonic = (values, bin) => Math.hypot(...[Math.cos, Math.sin].map((f) => values
  .reduce((sum, v, n) => sum + v * f((2 * Math.PI * bin * n) / values.length), 0))) / values.length;

const tones = [
  { name: 'saw, 110 Hz', pitch: 110, amp: saw, rooms: [240, 240, 240, 240], cycles: 1 },
  { name: 'square, 1174.7 Hz, 2 cycles a patch', pitch: 1174.7, amp: (h) => (h % 2 ? 1 / h : 0),
    rooms: [64, 128, 240, 512], cycles: 2 },
  { name: 'plucked string, 110 Hz', pitch: 110, amp: (h, t) => Math.exp(-t * (0.5 + h / 4)) / h,
    rooms: [240, 240, 240, 240], cycles: 1 },
  { name: 'saw with ±20 cents vibrato, 196 Hz', pitch: 196, amp: saw, rooms: [240, 100, 240],
    cycles: 1, cents: (t) => 20 * Math.sin(2 * Math.PI * 5.5 * t) },
  { name: 'inharmonic partials, 146.8 Hz', pitch: 146.8 * Math.sqrt(1.0003), amp: saw,
    rooms: [100, 200, 300, 400], cycles: 1, stretch: 0.0003 },
];

test('Cycles: pitch, joins and harmonics of synthesized tones', () => {
  for (const { name, pitch, amp, rooms, cycles, cents, stretch } of tones) {
    const samples = tone(pitch / Math.sqrt(1 + (stretch ?? 0)), amp, { cents, stretch });
    const spans = pitchSpans(samples.length, kRate);
    const found = detectPitch(samples.length, kRate, reader(samples, spans));
    assert.ok(Math.abs(found.pitch / pitch - 1) < 0.005, `${name}: ${found.pitch} Hz`);
    const { patches } = cutCycles(samples.length, kRate, reader(samples,
      cycleSpans(samples.length, kRate, found.pitch, cycles, rooms)), found.pitch, cycles, rooms);
    assert.ok(Math.abs(peakOf(patches.map((patch) => patch.values)) - 1) < 1e-9, name);
    const last = patches.at(-1);
    // Spread from the start to the end: a cut moves at most to its next
    // zero crossing and a period on, and keeps the filter's reach inside.
    assert.ok(patches[0].start < 2 / pitch + 0.005, name);
    assert.ok(last.start + last.seconds > 1 - 1 / pitch - 0.005, name);
    const moment = (patch) => patch.start + patch.seconds / 2;
    const reference = [harmonic(patches[0].values, cycles), amp(1, moment(patches[0]))];
    patches.forEach(({ values }, p) => {
      const steps = values.slice(1).map((v, i) => Math.abs(v - values[i]));
      assert.ok(Math.abs(values[0] - values.at(-1)) <= Math.max(...steps), `${name}: join ${p}`);
      for (let h = 1; h <= 8; ++h) {
        const [cut, source] = [dB(harmonic(values, h * cycles), reference[0]),
          dB(amp(h, moment(patches[p])), reference[1])];
        assert.ok(Math.abs(cut - source) <= 1, `${name}: patch ${p + 1}, harmonic ${h}: ${cut} dB`);
      }
    });
  }
});

test('no clear pitch: silence, noise, a selection too short for its period', () => {
  for (const [samples, reason] of [[new Float32Array(kRate), 'silence'], [noise, 'noise'],
    [tone(110, saw).subarray(0, 300), 'short'], [new Float32Array(3), 'short'],
    [notes.map((pitch) => tone(pitch, saw)).reduce((a, b, n) => a.map((s, i) => (3 * i < n * kRate
      ? s : b[i]))), 'unsteady']]) {
    const found = detectPitch(samples.length, kRate, (first, end) => samples.subarray(first, end));
    assert.deepEqual([found.pitch, found.reason], [null, reason]);
  }
});

test('note names: the nearest equal-tempered note, A4 at 440 Hz', () => {
  const names = [[440, 'A4'], [110, 'A2'], [261.63, 'C4'], [27.5, 'A0'], [116.54, 'A#2'],
    [452, 'A4'], [454, 'A#4'], [8.18, 'C-1'], [0, null], [NaN, null]];
  assert.deepEqual(names.map(([frequency]) => noteName(frequency)), names.map(([, name]) => name));
});

test('Contour: loudness in order over the patches, loudest at 1 and silence at -1', () => {
  const sounds = [['rising', (t) => t], ['a tone then silence', (t) => (t < 0.5 ? 0.2 : 0)],
    ['silence', () => 0]];
  for (const [name, envelope] of sounds) {
    const samples = tone(330, (h) => (h === 1 ? 1 : 0)).map((s, i) => s * envelope(i / kRate));
    const values = contourOf(kRate, kRate, (a, b) => samples.subarray(a, b), [10, 30]);
    const loudest = Math.max(...Array.from({ length: 40 }, (_, i) => envelope((i + 0.5) / 40)));
    [...values[0], ...values[1]].forEach((value, i) => {
      const expected = loudest ? (2 * envelope((i + 0.5) / 40)) / loudest - 1 : -1;
      assert.ok(Math.abs(value - expected) < 0.05, `${name}: step ${i}: ${value}`);
    });
  }
});

test('Fill the range: the peak reaches byte 0 or 255, the centre stays', () => {
  for (const samples of [[0.3, -0.1, 0], [-0.02, 0.01, 0], [0, 0, 0]]) {
    const bytes = samples.map((s) => toByte(s * gainToEdge(peakOf([samples]))));
    assert.ok(bytes.includes(0) || bytes.includes(255) || peakOf([samples]) === 0, `${bytes}`);
    assert.equal(bytes[2], 128);
  }
});

test('Samples keep the highest tone the page names at full level, and stop half the Rate', () => {
  // 100 values hold a whole number of cycles at both frequencies.
  for (const [sourceRate, rate] of [[44100, 80], [44100, 4000], [8000, 16000]]) {
    const kept = highestKept(sourceRate, rate);
    for (const [frequency, low, high] of [[kept, -0.1, 0.1], [rate / 2, -Infinity, -20]]) {
      const start = reachOf(sourceRate, rate) / sourceRate;
      const frames = Math.ceil(sourceRate * (2 * start + 100 / rate));
      const samples = Float32Array.from({ length: frames },
        (_, n) => Math.sin((2 * Math.PI * frequency * n) / sourceRate + 0.3));
      const values = soundAt({ rate: sourceRate, frames: samples.length }, { rate, start },
        samples, 0, 0, 100);
      const level = dB(harmonic(values, (100 * frequency) / rate) * 2, 1);
      assert.ok(level >= low && level <= high, `${frequency} Hz at ${rate}/s: ${level} dB`);
    }
  }
});
