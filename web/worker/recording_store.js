// The recordings the page has chosen, held in the worker: a WAV file is
// read by slices through `read` (the page's reads of the user's file), as
// far as the values asked for need it, and once whole in the background,
// for the levels of low rates (levels.js) and the overview that the
// waveform is drawn from (overview.js); a file in another format comes
// decoded by the browser, whole, and is kept here. Values, views of the
// waveform and frames to play are made on demand (resample.js).
import { readLayout, mixFrames } from './wav.js';
import { framesFor, valuesOf } from '../shared/resample.js';
import { levelFor, levelFrames, levelMaker } from './levels.js';
import { columnsOf, overviewMaker } from './overview.js';

// While the whole recording is read: bytes a read asks the page for, and
// reads in flight at a time, so that the page reads the next slices while
// this one is taken in; the slices in flight are all the memory it holds.
// A preview asked for meanwhile waits behind the slices in flight alone.
const kWholeSlice = 8 << 20;
const kWholeInFlight = 3;
// Frames taken in at a time, in a few milliseconds.
const kTakeIn = 1 << 18;
// Milliseconds at least between two progress messages but the last: each
// redraws the page's status and waveform.
const kProgressEvery = 250;

const recordings = new Map();

// Resolves once the messages that came before it have been handled.
const turns = new MessageChannel();
const turnsWaiting = [];
turns.port1.onmessage = () => turnsWaiting.shift()();
const nextTurn = () => new Promise((resolve) => {
  turnsWaiting.push(resolve);
  turns.port2.postMessage(null);
});

// Work for a recording no longer chosen fails as `cancelled`.
function record(id) {
  const found = recordings.get(id);
  if (found) return found;
  throw Object.assign(new Error(`recording ${id} is no longer chosen`), { cancelled: true });
}

// Opens the WAV file `size` bytes long that `read(start, end)` reads, as
// recording `id`, and starts reading it whole; `progress(done, total)`
// tells how far (in frames), and `progress(null, null, error)` a failure.
// Resolves to {rate, frames}, with `headerFrames` for a file that ends
// before its header's length, or to null for a file that is no WAV this
// page reads itself.
export async function openWav(id, read, size, progress) {
  const layout = await readLayout(read, size);
  if (!layout) return null;
  const rec = { source: { rate: layout.rate, frames: layout.frames }, layout, read, kept: null,
    overview: overviewMaker(layout.frames) };
  recordings.set(id, rec);
  rec.complete = readWhole(rec, id, progress);
  // Waited for by the values that need the levels; a failure is told to
  // the page through `progress` too.
  rec.complete.catch(() => {});
  const { headerFrames, frames } = layout;
  return headerFrames > frames ? { ...rec.source, headerFrames } : rec.source;
}

// Opens a recording that the browser decoded, as recording `id`: `frames`
// frames at `rate`, the mean of `channels` given as Float32Arrays.
export function openDecoded({ recording: id, rate, channels }) {
  const frames = channels[0].length;
  const mono = new Float32Array(frames);
  for (const channel of channels) {
    for (let i = 0; i < frames; ++i) mono[i] += channel[i] / channels.length;
  }
  const maker = levelMaker(frames);
  maker.push(mono);
  maker.finish();
  const kept = maker.kept();
  kept[0] = mono;
  const overview = overviewMaker(frames);
  overview.push(mono);
  const rec = { source: { rate, frames }, layout: null, read: null, kept, overview };
  rec.complete = Promise.resolve(kept);
  recordings.set(id, rec);
  return rec.source;
}

// The recording's {rate, frames}.
export const sourceOf = (id) => record(id).source;

export function forget({ recording: id }) {
  recordings.delete(id);
}

// The mono frames [first, end) of a WAV recording, from its file.
async function readFrames(rec, first, end) {
  const { dataStart, blockAlign } = rec.layout;
  const bytes = await rec.read(dataStart + first * blockAlign, dataStart + end * blockAlign);
  const mono = new Float32Array(end - first);
  mixFrames(rec.layout, bytes, mono);
  return mono;
}

// Reads the recording whole, slices in flight ahead of the one taken in,
// which feed the levels and the overview in order. Once the recording is
// forgotten, the reads in flight are left to end unseen.
async function readWhole(rec, id, progress) {
  const { frames } = rec.source;
  const { dataStart, blockAlign } = rec.layout;
  const maker = levelMaker(frames);
  const step = Math.max(1, Math.floor(kWholeSlice / blockAlign));
  const inFlight = [];
  let asked = 0;
  const askNext = () => {
    const end = Math.min(frames, asked + step);
    const reading = rec.read(dataStart + asked * blockAlign, dataStart + end * blockAlign);
    reading.catch(() => {}); // seen when its turn comes
    inFlight.push(reading);
    asked = end;
  };
  let told = -Infinity;
  try {
    for (let done = 0; done < frames;) {
      while (inFlight.length < kWholeInFlight && asked < frames) askNext();
      let bytes;
      try {
        bytes = await inFlight.shift();
      } finally {
        // A read failed because its recording was forgotten is no failure.
        record(id);
      }
      // Taken in by parts, each a short task, between which the calls that
      // came meanwhile are answered.
      const sliceFirst = done;
      for (const sliceEnd = Math.min(frames, done + step); done < sliceEnd;) {
        const end = Math.min(sliceEnd, done + kTakeIn);
        const mono = new Float32Array(end - done);
        mixFrames(rec.layout, bytes.subarray((done - sliceFirst) * blockAlign,
          (end - sliceFirst) * blockAlign), mono);
        maker.push(mono);
        rec.overview.push(mono);
        done = end;
        await nextTurn();
        record(id);
      }
      if (performance.now() - told >= kProgressEvery && done < frames) {
        told = performance.now();
        progress(done, frames);
      }
    }
    maker.finish();
  } catch (error) {
    if (!error.cancelled) progress(null, null, error);
    throw error;
  }
  rec.kept = maker.kept();
  progress(frames, frames);
  return rec.kept;
}

// Values from..from+count of the conversion {rate, start} of recording
// `id`, as bytes.
export async function values({ recording: id, conversion, from, count }) {
  const rec = record(id);
  const { rate, frames } = rec.source;
  const level = levelFor(conversion.rate, rate, frames);
  if (level > 0) {
    const kept = await rec.complete;
    const source = { rate: rate / 2 ** level, frames: levelFrames(frames, level) };
    return valuesOf(source, conversion, kept[level], 0, from, count);
  }
  if (rec.kept?.[0]) return valuesOf(rec.source, conversion, rec.kept[0], 0, from, count);
  const { first, end } = framesFor(rec.source, conversion, from, count);
  const samples = await readFrames(rec, first, end);
  return valuesOf(rec.source, conversion, samples, first, from, count);
}

// The mono frames [first, end) of recording `id`.
export async function frames({ recording: id, first, end }) {
  const rec = record(id);
  return rec.kept?.[0] ? rec.kept[0].slice(first, end) : readFrames(rec, first, end);
}

// The waveform of frames [first, end) of recording `id` in `columns`
// columns: {low, high} of each, and `read`, the frames read so far (a
// column not yet read has low > high).
export async function view({ recording: id, first, end, columns }) {
  const rec = record(id);
  const fromOverview = rec.overview.view(first, end, columns);
  if (fromOverview) return { ...fromOverview, read: rec.overview.read() };
  const samples = await frames({ recording: id, first, end });
  return { ...columnsOf(samples, first, end, columns), read: rec.source.frames };
}
