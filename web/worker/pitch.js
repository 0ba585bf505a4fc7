// The pitch of a selection, found as YIN finds it, for the Cycles take.
// A few frames spread over the selection are each compared with
// themselves delayed by every lag (the difference function, its cross term
// by FFT); the difference is normalised by its running mean, and the first
// dip under kThreshold, placed between lags by a parabola, is the frame's
// period. The pitch is the mean, in cents, of the frames that agree with
// their median; too few clear or agreeing frames give no pitch and the
// reason. Pure and without the DOM: the worker reads the frames that
// pitchSpans names and hands them over through `read`.
// The cost is in frames: detectPitch tells how many it analysed, so the
// time of one call divided by `frames` is the time per frame.

// The pitches searched: a bass's lowest string to a whistle.
export const kLowestPitch = 30;
export const kHighestPitch = 2000;
// The normalised difference under which a lag counts as the period (YIN's
// absolute threshold).
const kThreshold = 0.15;
// Frames analysed at most, so that a long selection costs no more.
const kFrames = 16;
// A frame whose RMS is under this (-70 dB of full scale) is silence.
const kSilence = 10 ** (-70 / 20);
// Each frame is low-passed first, by two one-pole filters at this
// frequency: a stiff string's upper partials lie sharp of the harmonics,
// and left at full weight they pull the period short.
const kPrefilter = 1000;
// Frames agree when they are within a semitone of their median.
const kAgreement = 2 ** (1 / 12);

// The lags and frames for a selection of `frames` frames at `rate`: each
// frame holds `window` frames and the same delayed by up to `maxLag`.
// A selection too short for the lowest pitch's period is searched for the
// lowest it holds (`shortened`), or not at all (null).
function layoutFor(frames, rate) {
  const minLag = Math.max(2, Math.floor(rate / kHighestPitch));
  let maxLag = Math.ceil(rate / kLowestPitch);
  const shortened = frames < 2 * maxLag;
  if (shortened) maxLag = Math.floor(frames / 2);
  if (maxLag < minLag + 2) return null;
  const length = shortened ? frames : 2 * maxLag;
  const count = Math.min(kFrames, 1 + Math.floor((2 * (frames - length)) / length));
  const spans = Array.from({ length: count }, (_, i) => {
    const first = count > 1 ? Math.round((i * (frames - length)) / (count - 1)) : 0;
    return { first, end: first + length };
  });
  return { rate, minLag, maxLag, window: length - maxLag, shortened, spans };
}

// The frames [first, end) of the selection that detectPitch reads.
export function pitchSpans(frames, rate) {
  return layoutFor(frames, rate)?.spans ?? [];
}

// The pitch of a selection of `frames` frames at `rate` whose frames
// [first, end) read(first, end) gives as a Float32Array: {pitch, reason,
// frames}. pitch is in Hz, or null with a reason: 'silence', 'noise' (no
// frame has a clear period), 'short' (too short for a pitch it may hold),
// or 'unsteady' (the frames disagree: more than one note).
export function detectPitch(frames, rate, read) {
  const layout = layoutFor(frames, rate);
  if (!layout) return { pitch: null, reason: 'short', frames: 0 };
  let voiced = 0;
  const found = [];
  for (const { first, end } of layout.spans) {
    const period = periodOf(read(first, end), layout);
    if (period === 'silence') continue;
    voiced += 1;
    if (period !== null) found.push(rate / period);
  }
  const analysed = layout.spans.length;
  if (voiced === 0) return { pitch: null, reason: 'silence', frames: analysed };
  if (found.length < voiced / 2) {
    return { pitch: null, reason: layout.shortened ? 'short' : 'noise', frames: analysed };
  }
  const median = [...found].sort((a, b) => a - b)[Math.floor(found.length / 2)];
  const agreeing = found.filter((f) => f < median * kAgreement && f > median / kAgreement);
  if (agreeing.length < voiced / 2) return { pitch: null, reason: 'unsteady', frames: analysed };
  const cents = agreeing.reduce((sum, f) => sum + Math.log2(f), 0) / agreeing.length;
  return { pitch: 2 ** cents, reason: null, frames: analysed };
}

// One frame's period in frames, null when it has no clear one, or
// 'silence'.
function periodOf(frame, { rate, minLag, maxLag, window }) {
  const x = Float64Array.from(frame);
  const mean = x.reduce((a, b) => a + b, 0) / x.length;
  let energy = 0;
  for (let i = 0; i < x.length; ++i) {
    x[i] -= mean;
    energy += x[i] * x[i];
  }
  if (Math.sqrt(energy / x.length) < kSilence) return 'silence';
  const smoothing = 1 - Math.exp((-2 * Math.PI * kPrefilter) / rate);
  for (let pass = 0; pass < 2; ++pass) {
    for (let i = 1; i < x.length; ++i) x[i] = x[i - 1] + smoothing * (x[i] - x[i - 1]);
  }
  const cross = crossTerm(x, window, maxLag);
  const squares = new Float64Array(x.length + 1);
  for (let i = 0; i < x.length; ++i) squares[i + 1] = squares[i] + x[i] * x[i];
  // The cumulative mean normalised difference of lags 1..maxLag.
  const normalised = new Float64Array(maxLag + 1);
  normalised[0] = 1;
  let sum = 0;
  for (let lag = 1; lag <= maxLag; ++lag) {
    const difference = Math.max(0, squares[window] + squares[lag + window] - squares[lag]
      - 2 * cross[lag]);
    sum += difference;
    normalised[lag] = sum > 0 ? (difference * lag) / sum : 1;
  }
  let lag = minLag;
  while (lag < maxLag && normalised[lag] >= kThreshold) ++lag;
  if (lag >= maxLag) return null;
  while (lag + 1 < maxLag && normalised[lag + 1] < normalised[lag]) ++lag;
  const [before, at, after] = [normalised[lag - 1], normalised[lag], normalised[lag + 1]];
  const curve = before - 2 * at + after;
  return lag + (curve > 0 ? (before - after) / (2 * curve) : 0);
}

// sum over j < window of x[j] * x[j + lag], for lags 0..maxLag, by one
// FFT of both parts packed as one complex signal and one inverse FFT.
function crossTerm(x, window, maxLag) {
  let size = 1;
  while (size < window + maxLag + 1) size *= 2;
  const re = new Float64Array(size);
  const im = new Float64Array(size);
  for (let j = 0; j < window; ++j) re[j] = x[j];
  for (let j = 0; j < Math.min(x.length, size); ++j) im[j] = x[j];
  fft(re, im, -1);
  const productRe = new Float64Array(size);
  const productIm = new Float64Array(size);
  for (let k = 0; k < size; ++k) {
    const mirror = (size - k) % size;
    const [zr, zi, mr, mi] = [re[k], im[k], re[mirror], -im[mirror]];
    // The window's spectrum a and the frame's b, untangled.
    const [ar, ai, br, bi] = [(zr + mr) / 2, (zi + mi) / 2, (zi - mi) / 2, (mr - zr) / 2];
    productRe[k] = ar * br + ai * bi;
    productIm[k] = ar * bi - ai * br;
  }
  fft(productRe, productIm, 1);
  return productRe.map((value) => value / size);
}

// The discrete Fourier transform of re + i im in place, of a power-of-two
// length; `sign` -1 forward, 1 inverse (unscaled).
export function fft(re, im, sign) {
  const n = re.length;
  for (let i = 1, j = 0; i < n; ++i) {
    let bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      [re[i], re[j]] = [re[j], re[i]];
      [im[i], im[j]] = [im[j], im[i]];
    }
  }
  for (let size = 2; size <= n; size *= 2) {
    const half = size / 2;
    for (let k = 0; k < half; ++k) {
      const wr = Math.cos((sign * 2 * Math.PI * k) / size);
      const wi = Math.sin((sign * 2 * Math.PI * k) / size);
      for (let a = k; a < n; a += size) {
        const b = a + half;
        const tr = re[b] * wr - im[b] * wi;
        const ti = re[b] * wi + im[b] * wr;
        re[b] = re[a] - tr;
        im[b] = im[a] - ti;
        re[a] += tr;
        im[a] += ti;
      }
    }
  }
}

const kNoteNames = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'];

// The nearest equal-tempered note to `frequency` (A4 = 440 Hz), as "A2";
// null for no frequency.
export function noteName(frequency) {
  if (!(frequency > 0) || !Number.isFinite(frequency)) return null;
  const note = Math.round(69 + 12 * Math.log2(frequency / 440));
  return `${kNoteNames[((note % 12) + 12) % 12]}${Math.floor(note / 12) - 1}`;
}
