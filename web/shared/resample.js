// How a recording becomes input bytes, the one rule the page adds to the
// programs': the mono sound (the mean of the channels) is low-pass
// filtered and read at the chosen rate from the chosen start, and each
// value s in -1..1 becomes round(s * 127.5 + 127.5), clamped to 0..255.
// Runs in the worker. Only the values asked for are made, from the frames
// they need (see framesFor), so a run of a long recording costs 2048
// values' work.

// The filter passes tones up to about 0.86 of half the output rate at full
// amplitude, halves those at 0.92 of it, and stops those at half of it and
// above, which would otherwise come back as false, lower tones: a windowed
// sinc, cut off at kCutoff of half the rate, kZeroCrossings lobes each
// side, Kaiser window of kBeta.
const kCutoff = 0.92;
const kZeroCrossings = 32;
const kBeta = 8.6;
const kTableSteps = 256; // per lobe: the kernel is interpolated from a table
// The part of half the output rate that the filter passes at full
// amplitude (within 0.1 dB), as measured on pure tones.
export const kPassBand = 0.86;

// The highest tone, in Hz, that values at `rate` keep from a source at
// `sourceRate`.
export const highestKept = (sourceRate, rate) => (kPassBand * Math.min(rate, sourceRate)) / 2;

// The modified Bessel function I0, by its series.
export function besselI0(x) {
  let sum = 1;
  let term = 1;
  for (let k = 1; term > 1e-12 * sum; ++k) {
    term *= (x / (2 * k)) ** 2;
    sum += term;
  }
  return sum;
}

// The Kaiser window of `beta` at `ratio` (0 at the centre, 1 at the edge).
export function kaiser(ratio, beta) {
  return besselI0(beta * Math.sqrt(Math.max(0, 1 - ratio * ratio))) / besselI0(beta);
}

export const sinc = (x) => (x === 0 ? 1 : Math.sin(Math.PI * x) / (Math.PI * x));

// The kernel's right half, sampled kTableSteps times per lobe.
const kernel = (() => {
  const table = new Float64Array(kZeroCrossings * kTableSteps + 2);
  for (let i = 0; i < table.length; ++i) {
    const x = i / kTableSteps;
    table[i] = sinc(x) * kaiser(Math.min(x / kZeroCrossings, 1), kBeta);
  }
  return table;
})();

export function toByte(sample) {
  return Math.min(255, Math.max(0, Math.round(sample * 127.5 + 127.5)));
}

// The number of values `seconds` of sound make at `rate` values a second.
export function valueCount(seconds, rate) {
  return Math.max(0, Math.round(seconds * rate));
}

// The lobe's width in the source's frames: the cut-off is no higher than
// the source holds.
const lobeOf = (sourceRate, rate) => sourceRate / (kCutoff * Math.min(rate, sourceRate));

// How many of the source's frames each side of a value's time it draws on.
export const reachOf = (sourceRate, rate) => kZeroCrossings * lobeOf(sourceRate, rate);

// A source is {rate, frames}: mono sound of `frames` frames at `rate`
// frames a second. The conversion is {rate, start}: values at `rate` a
// second, the first at `start` seconds.

// The frames [first, end) of `source` that values from..from+count of
// `conversion` draw on.
export function framesFor(source, conversion, from, count) {
  const reach = reachOf(source.rate, conversion.rate);
  const centre = (i) => (conversion.start + i / conversion.rate) * source.rate;
  const first = Math.max(0, Math.ceil(centre(from) - reach));
  const end = Math.min(source.frames, Math.floor(centre(from + count - 1) + reach) + 1);
  return { first, end: Math.max(first, end) };
}

// Values from..from+count of `conversion`, from `samples`, which hold the
// frames of `source` from `samplesFirst` on and cover framesFor(...), as
// bytes; the sound scaled by the conversion's `gain`, if it has one.
export function valuesOf(source, conversion, samples, samplesFirst, from, count) {
  const gain = conversion.gain ?? 1;
  return Uint8Array.from(soundAt(source, conversion, samples, samplesFirst, from, count),
    (sample) => toByte(sample * gain));
}

// The same values before the byte rule, in full precision so that the
// bytes stay exactly as they were: the filtered sound, -1..1 as the
// recording holds it. Each value is the filtered sound at its own time;
// near the recording's ends the weights are scaled to the frames that
// exist.
export function soundAt(source, conversion, samples, samplesFirst, from, count) {
  const sound = new Float64Array(count);
  const lobe = lobeOf(source.rate, conversion.rate);
  // Table places per frame, and the kernel's reach in frames.
  const step = kTableSteps / lobe;
  const reach = kZeroCrossings * lobe;
  for (let i = 0; i < count; ++i) {
    const centre = (conversion.start + (from + i) / conversion.rate) * source.rate;
    const first = Math.max(0, Math.ceil(centre - reach));
    const last = Math.min(source.frames - 1, Math.floor(centre + reach));
    let sum = 0;
    let weights = 0;
    for (let n = first; n <= last; ++n) {
      const place = (n < centre ? centre - n : n - centre) * step;
      const at = place | 0;
      const weight = kernel[at] + (kernel[at + 1] - kernel[at]) * (place - at);
      sum += weight * samples[n - samplesFirst];
      weights += weight;
    }
    sound[i] = weights > 0 ? sum / weights : 0;
  }
  return sound;
}
