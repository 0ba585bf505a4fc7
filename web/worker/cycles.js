// The Cycles take: each patch receives whole cycles of the selection's
// tone, resampled to exactly that patch's room (which comes from the
// programs, never counted here). The patches' cycles are taken at moments
// spread evenly over the selection, the first at its start and the last at
// its end, so that the timbre moves from patch to patch. Each is cut where
// the tone's fundamental crosses zero rising, so that the patches line up,
// and is as long as the tone's own period there, so that its loop joins
// without a jump though the pitch wavers; its mean is removed, and one gain
// for all (gain.js) brings the largest value to the edge. Pure and without
// the DOM: the worker reads the frames cycleSpans names and hands them over
// through `read`.
import { reachOf, soundAt } from '../shared/resample.js';
import { gainToEdge, peakOf } from './gain.js';

// How far a cycle's own period may be from the pitch's, as a fraction.
const kPeriodSpan = 0.03;
// The phases of the fundamental's cycle at which a cut is tried.
const kPhases = 16;

// The rate at which the instrument must step through a patch's values to
// sound `pitch`: its room per cycle times the pitch.
export const cycleRate = (room, cyclesPerPatch, pitch) => (room / cyclesPerPatch) * pitch;

// Where each patch's cycles are sought in a selection of `frames` frames
// at `rate`: the moment `at` (in frames) and the frames [first, end) that
// the cut reads; null when the selection holds too few cycles.
function planOf(frames, rate, pitch, cyclesPerPatch, rooms) {
  const period = rate / pitch;
  const loop = cyclesPerPatch * period;
  // The filter reaches this far beyond a cycle; the cycles keep that far
  // from the selection's ends when it is long enough.
  const margin = Math.max(0, ...rooms.filter((room) => room > 0)
    .map((room) => reachOf(rate, (room * rate) / loop))) * (1 + kPeriodSpan);
  let [low, high] = [margin, frames - margin - loop];
  if (high < low) [low, high] = [0, frames - loop];
  if (!(pitch > 0) || high < 0) return null;
  const pad = Math.max(period / 2, margin) + 2;
  return {
    frames, period, loop, low, high,
    patches: rooms.map((room, i) => {
      const at = rooms.length > 1 ? low + (i * (high - low)) / (rooms.length - 1) : low;
      const first = Math.max(0, Math.floor(at - 2 * period - pad));
      const end = Math.min(frames, Math.ceil(at + 2 * period + loop * (1 + kPeriodSpan) + pad));
      return { room, at, first, end };
    }),
  };
}

// The frames [first, end) of the selection that cutCycles reads, one span
// a patch (they may overlap).
export function cycleSpans(frames, rate, pitch, cyclesPerPatch, rooms) {
  return planOf(frames, rate, pitch, cyclesPerPatch, rooms)?.patches
    .map(({ first, end }) => ({ first, end })) ?? [];
}

// The patches' values from a selection of `frames` frames at `rate` whose
// frames [first, end) read(first, end) gives as a Float32Array, for a tone
// of `pitch` Hz: {gain, patches}, each patch {start, seconds, rate, values}
// with `values` (a Float64Array of its room, -1..1 for the byte rule) made
// from the span of `seconds` from `start` (in seconds into the selection),
// played at `rate` values a second. null when the selection holds fewer
// than cyclesPerPatch cycles.
export function cutCycles(frames, rate, read, pitch, cyclesPerPatch, rooms) {
  const plan = planOf(frames, rate, pitch, cyclesPerPatch, rooms);
  if (!plan) return null;
  const found = plan.patches.map(({ room, at, first, end }) => {
    const samples = read(first, end);
    const x = (n) => samples[n - first];
    return { room, first, end, samples, x, zero: risingZero(x, at, plan) };
  });
  // The phase of the cuts, the same for all patches so that they line up:
  // the fundamental's rising zero crossing, or a later point of its cycle
  // where the loops join more smoothly (a square wave's crossing is its
  // edge).
  let best = null;
  for (let phase = 0; phase < kPhases; ++phase) {
    const made = found.map((patch) => cycleOf(patch, phase / kPhases, plan, rate));
    const score = made.reduce((sum, cycle) => sum + cycle.join, 0);
    if (!best || score < best.score) best = { score, made };
  }
  const patches = best.made.map(({ cut, loop, values }, i) => {
    const mean = values.reduce((a, b) => a + b, 0) / (values.length || 1);
    return { start: cut / rate, seconds: loop / rate,
      rate: cycleRate(rooms[i], cyclesPerPatch, pitch), values: values.map((v) => v - mean) };
  });
  const gain = gainToEdge(peakOf(patches.map((patch) => patch.values)));
  for (const patch of patches) patch.values = patch.values.map((v) => v * gain);
  return { gain, patches };
}

// A patch's cycles cut `phase` of a period after the fundamental's rising
// zero crossing (a period earlier where that would leave the selection):
// {cut, loop, values, join}, join being the step across the loop's join
// against the largest step inside it.
function cycleOf({ room, first, end, samples, x, zero }, phase, plan, rate) {
  const { period, low, high } = plan;
  let cut = zero + phase * period;
  if (cut > high) cut -= period;
  if (cut < low) cut = zero;
  const loop = loopAt(x, cut, plan, first, end);
  const values = soundAt({ rate, frames: plan.frames }, { rate: (room * rate) / loop,
    start: cut / rate }, samples, first, 0, room);
  let largest = 0;
  for (let i = 1; i < room; ++i) largest = Math.max(largest, Math.abs(values[i] - values[i - 1]));
  const step = room > 1 ? Math.abs(values[0] - values[room - 1]) : 0;
  return { cut, loop, values, join: largest > 0 ? step / largest : 0 };
}

// The rising zero crossing of the fundamental nearest `at` that keeps the
// cycles in [low, high]: the fundamental's phase over one period from
// `at`, measured as a single bin of a Fourier transform.
function risingZero(x, at, { period, low, high }) {
  const omega = (2 * Math.PI) / period;
  const base = Math.floor(at);
  let [sine, cosine] = [0, 0];
  for (let j = 0; j < Math.round(period); ++j) {
    sine += x(base + j) * Math.sin(omega * j);
    cosine += x(base + j) * Math.cos(omega * j);
  }
  // x(base + j) ~ a sin(omega j + phase), which rises through 0 at
  // j = -phase / omega, modulo the period.
  const ahead = base + ((((-Math.atan2(cosine, sine) / omega) % period) + period) % period);
  const fits = [ahead, ahead - period].filter((cut) => cut >= low && cut <= high);
  return fits.length ? fits.reduce((a, b) => (Math.abs(b - at) < Math.abs(a - at) ? b : a)) : at;
}

// The loop's length in frames at `cut`: the lag within kPeriodSpan of the
// nominal loop that best matches the sound around the cut with the sound
// that far on, placed between lags by a parabola; the nominal loop where
// the selection holds too little around the cut to tell.
function loopAt(x, cut, { period, loop }, first, end) {
  const shortest = Math.floor(loop * (1 - kPeriodSpan));
  const longest = Math.ceil(loop * (1 + kPeriodSpan));
  const base = Math.round(cut);
  const from = Math.max(-Math.round(period / 2), first - base);
  const to = Math.min(Math.round(period / 2), end - 1 - base - longest);
  if (to - from < period / 4) return loop;
  const mismatch = new Float64Array(longest - shortest + 1);
  for (let lag = shortest; lag <= longest; ++lag) {
    let sum = 0;
    for (let j = from; j <= to; ++j) sum += (x(base + j) - x(base + j + lag)) ** 2;
    mismatch[lag - shortest] = sum;
  }
  let best = 0;
  mismatch.forEach((value, i) => { if (value < mismatch[best]) best = i; });
  if (best === 0 || best === mismatch.length - 1) return loop;
  const [before, at, after] = [mismatch[best - 1], mismatch[best], mismatch[best + 1]];
  const curve = before - 2 * at + after;
  return shortest + best + (curve > 0 ? (before - after) / (2 * curve) : 0);
}
