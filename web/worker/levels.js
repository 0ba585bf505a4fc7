// A recording at lower and lower rates, each level half the rate of the
// one before, made once as the recording is read. A conversion at a low
// rate then reads a short level instead of the whole recording: its values
// draw on 64 lobes of the filter, which at a rate of a few values a second
// span the whole recording. Levels stay in memory only while they are
// small (kKeptFrames), so a recording of any length costs a few MB.
import { kaiser, sinc } from '../shared/resample.js';

// The largest level kept. The recording itself counts as level 0, kept
// when it is this small too.
export const kKeptFrames = 1 << 20;
// A level is used for rates up to a quarter of its own, where its
// half-band filter is flat and folds nothing back.
const kRateMargin = 4;

// The half-band filter from one level to the next: cut off at half the
// next level's rate, kReach taps each side, every second one zero.
const kReach = 15;
const kBeta = 7;
const taps = (() => {
  const made = new Float64Array(2 * kReach + 1);
  for (let k = -kReach; k <= kReach; ++k) {
    // sinc(k / 2) is 0 at every even k but 0, exactly.
    made[k + kReach] = k !== 0 && k % 2 === 0 ? 0 : sinc(k / 2) * kaiser(k / (kReach + 1), kBeta);
  }
  const sum = made.reduce((a, b) => a + b, 0);
  return made.map((tap) => tap / sum);
})();
const centreTap = taps[kReach];
// The offsets right of the centre whose taps are not zero.
const pairOffsets = Int32Array.from({ length: kReach }, (_, j) => j + 1)
  .filter((offset) => taps[kReach + offset] !== 0);
const pairTaps = Float64Array.from(pairOffsets, (offset) => taps[kReach + offset]);
// The same taps by name, for the loop that makes nearly every frame: a
// pair of frames at each odd offset, 1 to kReach, summed in this order.
const [p1, p3, p5, p7, p9, p11, p13, p15] = pairTaps;
if (pairOffsets.join() !== '1,3,5,7,9,11,13,15') throw new Error('pairs at other offsets');

// Next-level frames [from, to) into `out` (from index from - made), each
// from the frames of `joined` (from frame pendingFirst) about twice its
// index, all inside the recording. The filter is symmetric: one product
// for each pair of frames.
function halveInner(joined, out, from, to, made, pendingFirst) {
  for (let n = from; n < to; ++n) {
    const c = 2 * n - pendingFirst;
    let sum = centreTap * joined[c];
    sum += p1 * (joined[c - 1] + joined[c + 1]);
    sum += p3 * (joined[c - 3] + joined[c + 3]);
    sum += p5 * (joined[c - 5] + joined[c + 5]);
    sum += p7 * (joined[c - 7] + joined[c + 7]);
    sum += p9 * (joined[c - 9] + joined[c + 9]);
    sum += p11 * (joined[c - 11] + joined[c + 11]);
    sum += p13 * (joined[c - 13] + joined[c + 13]);
    sum += p15 * (joined[c - 15] + joined[c + 15]);
    out[n - made] = sum;
  }
}

// The same for frames near the recording's ends, whose taps fall partly
// outside the recording's `length` frames: the weights are scaled to the
// frames that exist.
function halveNearEnds(joined, out, from, to, made, pendingFirst, length) {
  for (let n = from; n < to; ++n) {
    const centre = 2 * n - pendingFirst;
    let sum = 0;
    let weights = 0;
    for (let k = -kReach; k <= kReach; ++k) {
      const at = 2 * n + k;
      if (at < 0 || at >= length || taps[k + kReach] === 0) continue;
      sum += taps[k + kReach] * joined[centre + k];
      weights += taps[k + kReach];
    }
    out[n - made] = sum / weights;
  }
}

export const levelFrames = (frames, level) => Math.ceil(frames / 2 ** level);

// The level a conversion at `rate` reads from a recording of `frames`
// frames at `sourceRate`: the coarsest that is kept and at least
// kRateMargin times the rate, or 0, the recording itself.
export function levelFor(rate, sourceRate, frames) {
  const coarsest = Math.floor(Math.log2(sourceRate / (kRateMargin * rate)));
  return coarsest >= 1 && levelFrames(frames, coarsest) <= kKeptFrames ? coarsest : 0;
}

// Makes the levels of a recording of `frames` frames from its frames,
// pushed in order by push(); finish() after the last. `kept[j]` is level
// j's Float32Array once done, or null for a level too large to keep.
export function levelMaker(frames) {
  const levels = [];
  for (let level = 0, length = frames; length > 1 || level === 0; ++level) {
    levels.push({
      length,
      kept: length <= kKeptFrames ? new Float32Array(length) : null,
      // The input not yet consumed: the level's frames from `pendingFirst`.
      pending: new Float32Array(0),
      pendingFirst: 0,
      received: 0,
      made: 0, // frames of the next level made from this one
    });
    length = Math.ceil(length / 2);
  }

  function feed(index, chunk, last) {
    const level = levels[index];
    if (level.kept) level.kept.set(chunk, level.received);
    level.received += chunk.length;
    if (index + 1 >= levels.length) return;
    const joined = new Float32Array(level.pending.length + chunk.length);
    joined.set(level.pending);
    joined.set(chunk, level.pending.length);
    // Next-level frame n draws on this level's frames 2n - kReach ..
    // 2n + kReach; it is made once they are all in, or at the end.
    const next = levels[index + 1];
    const end = last ? next.length
      : Math.min(next.length, Math.max(level.made, Math.floor((level.received - kReach + 1) / 2)));
    const out = new Float32Array(end - level.made);
    const { made, pendingFirst, length } = level;
    // The frames whose taps all fall inside the recording, [inner, outer),
    // and those near its ends.
    const innerFirst = Math.max(made, Math.ceil(kReach / 2));
    const inner = Math.min(innerFirst, end);
    const outer = Math.max(inner, Math.min(end, Math.ceil((length - kReach) / 2)));
    halveNearEnds(joined, out, made, inner, made, pendingFirst, length);
    halveInner(joined, out, inner, outer, made, pendingFirst);
    halveNearEnds(joined, out, outer, end, made, pendingFirst, length);
    level.made = end;
    const keepFrom = Math.max(level.pendingFirst, 2 * end - kReach);
    level.pending = joined.slice(keepFrom - level.pendingFirst);
    level.pendingFirst = keepFrom;
    feed(index + 1, out, last);
  }

  return {
    push: (chunk) => feed(0, chunk, false),
    finish: () => feed(0, new Float32Array(0), true),
    kept: () => levels.map((level) => level.kept),
  };
}
