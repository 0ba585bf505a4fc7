// A recording's selection as the chosen Take makes it into input bytes,
// and what the page measures of a selection: its pitch, its peak, and
// where its energy lies. Samples are made by steps (recording_store.js);
// Cycles and Contour are made whole, at most the templates' room, and kept
// for the last choice, so that the preview, a run and a download of the
// same choice share one making. A take is described by the page as
//   {id, take: 'samples', rate, start, seconds, fill}
//   {id, take: 'cycles', start, seconds, pitch, cycles, rooms}
//   {id, take: 'contour', start, seconds, rooms}
// with start and seconds the selection, rooms each patch's room.
import * as recordings from './recording_store.js';
import { detectPitch, fft, noteName, pitchSpans } from './pitch.js';
import { cutCycles, cycleSpans } from './cycles.js';
import { contourOf } from './contour.js';
import { gainToEdge } from './gain.js';
import { toByte } from '../shared/resample.js';

// Frames read at a time when a whole selection is read.
const kChunk = 1 << 20;
// The spectrum is measured in windows of this many frames, at most
// kWindows of them spread over the selection.
const kWindow = 8192;
const kWindows = 8;

// The selection's frames [first, first + frames) of the recording.
function selectionOf({ id, start, seconds }) {
  const { rate, frames } = recordings.sourceOf(id);
  const first = Math.min(frames - 1, Math.round(start * rate));
  const end = Math.min(frames, Math.max(first + 1, Math.round((start + seconds) * rate)));
  return { id, rate, first, frames: end - first };
}

// A reader of the selection's frames within `spans` ([first, end) each,
// from the selection's start), read ahead: the takes' cores read at once.
async function readerOf(selection, spans) {
  const read = await Promise.all(spans.map(({ first, end }) =>
    recordings.frames({ recording: selection.id, first: selection.first + first,
      end: selection.first + end })));
  return (first, end) => {
    const i = spans.findIndex((span) => first >= span.first && end <= span.end);
    return read[i].subarray(first - spans[i].first, end - spans[i].first);
  };
}

// Calls `each(frames)` on the selection's frames in order, by chunks.
async function forEachChunk(selection, each) {
  for (let from = 0; from < selection.frames; from += kChunk) {
    each(await recordings.frames({ recording: selection.id, first: selection.first + from,
      end: selection.first + Math.min(selection.frames, from + kChunk) }));
  }
}

// The last answer of `make`, by the key of its question: the preview, a
// run and each step of a download of one choice ask the same.
function keepLast(make) {
  let last = { key: null, made: null };
  return (question) => {
    const key = JSON.stringify(question);
    if (last.key !== key) {
      last = { key, made: make(question) };
      last.made.catch(() => { last = { key: null, made: null }; });
    }
    return last.made;
  };
}

// The selection's pitch: {pitch, reason} as detectPitch gives them, and
// the pitch's note name.
export async function pitchOf(question) {
  const selection = selectionOf(question);
  const spans = pitchSpans(selection.frames, selection.rate);
  const read = await readerOf(selection, spans);
  const { pitch, reason } = detectPitch(selection.frames, selection.rate, read);
  return { pitch, reason, note: noteName(pitch) };
}

// The largest magnitude of the selection's frames.
const peakOf = keepLast(async (question) => {
  let peak = 0;
  await forEachChunk(selectionOf(question), (frames) => {
    for (const frame of frames) peak = Math.max(peak, Math.abs(frame));
  });
  return peak;
});

// Cycles or Contour: {bytes, patches}, patches [{start, seconds, rate}]
// the span of the recording each patch's values come from and the rate
// that plays them as they sound there.
const takeOf = keepLast(async (take) => {
  const selection = selectionOf(take);
  const { rate, frames } = selection;
  let parts;
  let patches;
  if (take.take === 'cycles') {
    const spans = cycleSpans(frames, rate, take.pitch, take.cycles, take.rooms);
    const cut = spans.length > 0 && cutCycles(frames, rate, await readerOf(selection, spans),
      take.pitch, take.cycles, take.rooms);
    if (!cut) {
      throw new Error(`the selection holds fewer than ${take.cycles} cycles of ` +
        `${take.pitch} Hz (${noteName(take.pitch)}): choose a longer selection or fewer ` +
        'Cycles per patch');
    }
    parts = cut.patches.map((patch) => patch.values);
    patches = cut.patches.map((patch) => ({ start: take.start + patch.start,
      seconds: patch.seconds, rate: patch.rate }));
  } else {
    const samples = new Float32Array(frames);
    let at = 0;
    await forEachChunk(selection, (chunk) => { samples.set(chunk, at); at += chunk.length; });
    parts = contourOf(frames, rate, (first, end) => samples.subarray(first, end), take.rooms);
    const steps = take.rooms.reduce((a, b) => a + b, 0);
    let from = 0;
    patches = take.rooms.map((room) => {
      const patch = { start: take.start + (from * take.seconds) / steps,
        seconds: (room * take.seconds) / steps, rate: steps / take.seconds };
      from += room;
      return patch;
    });
  }
  const bytes = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
  let at = 0;
  for (const part of parts) for (const value of part) bytes[at++] = toByte(value);
  return { bytes, patches };
});

// The patches' spans and rates of a Cycles or Contour take, or null for
// Samples, whose spans the preview's numbers give.
export async function patchesOf(take) {
  return take.take === 'samples' ? null : (await takeOf(take)).patches;
}

// Values from..from+count of the take, as bytes.
export async function inputValues(take, from, count) {
  if (take.take !== 'samples') return (await takeOf(take)).bytes.slice(from, from + count);
  const gain = take.fill ? gainToEdge(await peakOf({ id: take.id, start: take.start,
    seconds: take.seconds })) : 1;
  return recordings.values({ recording: take.id,
    conversion: { rate: take.rate, start: take.start, gain }, from, count });
}

// How the selection's energy lies against `frequency` (Hz): {above, median},
// the share of the energy above it, and the frequency under which half of
// it lies; the mean of Hann-windowed spectra of a few windows spread over
// the selection.
export async function spectrumOf({ frequency, ...question }) {
  const selection = selectionOf(question);
  let size = kWindow;
  while (size > 256 && size > selection.frames) size /= 2;
  const count = Math.min(kWindows, Math.max(1, Math.floor(selection.frames / size)));
  const spans = Array.from({ length: count }, (_, i) => {
    const first = count > 1 ? Math.round((i * (selection.frames - size)) / (count - 1)) : 0;
    return { first: Math.max(0, first), end: Math.min(selection.frames, first + size) };
  });
  const read = await readerOf(selection, spans);
  const power = new Float64Array(size / 2);
  for (const { first, end } of spans) {
    const frames = read(first, end);
    const re = new Float64Array(size);
    const im = new Float64Array(size);
    frames.forEach((frame, n) => {
      re[n] = frame * (0.5 - 0.5 * Math.cos((2 * Math.PI * n) / size));
    });
    fft(re, im, -1);
    for (let k = 1; k < size / 2; ++k) power[k] += re[k] * re[k] + im[k] * im[k];
  }
  const total = power.reduce((a, b) => a + b, 0);
  if (!(total > 0)) return { above: 0, median: 0 };
  const binHz = selection.rate / size;
  let below = 0;
  let median = null;
  let under = 0;
  power.forEach((p, k) => {
    below += p;
    if (median === null && below >= total / 2) median = k * binHz;
    if (k * binHz <= frequency) under += p;
  });
  return { above: 1 - under / total, median };
}
