// How a recording becomes input bytes, the one rule the page adds to the
// programs': the mono sound, decoded at kDecodeRate, is low-pass filtered
// and read at the chosen rate from the chosen start, and each value s in
// -1..1 becomes round(s * 127.5 + 127.5), clamped to 0..255. Runs in the
// worker, as a long recording takes a while.

// The browser decodes to this rate without losing amplitude; lower rates
// are reached here, with a filter.
export const kDecodeRate = 48000;

// The filter passes tones up to about 0.84 of half the output rate at full
// amplitude and stops those above half of it, which would otherwise come
// back as false, lower tones: a windowed sinc, cut off at kCutoff of half
// the rate, kZeroCrossings lobes each side, Kaiser window of kBeta.
const kCutoff = 0.92;
const kZeroCrossings = 32;
const kBeta = 8.6;
const kTableSteps = 256; // per lobe: the kernel is interpolated from a table

// The modified Bessel function I0, by its series.
function besselI0(x) {
  let sum = 1;
  let term = 1;
  for (let k = 1; term > 1e-12 * sum; ++k) {
    term *= (x / (2 * k)) ** 2;
    sum += term;
  }
  return sum;
}

// The kernel's right half, sampled kTableSteps times per lobe.
const kernel = (() => {
  const table = new Float64Array(kZeroCrossings * kTableSteps + 2);
  const norm = besselI0(kBeta);
  for (let i = 0; i < table.length; ++i) {
    const x = i / kTableSteps;
    const ratio = Math.min(x / kZeroCrossings, 1);
    const window = besselI0(kBeta * Math.sqrt(1 - ratio * ratio)) / norm;
    table[i] = (x === 0 ? 1 : Math.sin(Math.PI * x) / (Math.PI * x)) * window;
  }
  return table;
})();

function kernelAt(x) {
  const place = Math.abs(x) * kTableSteps;
  const i = Math.floor(place);
  if (i >= kZeroCrossings * kTableSteps) return 0;
  return kernel[i] + (kernel[i + 1] - kernel[i]) * (place - i);
}

export function toByte(sample) {
  return Math.min(255, Math.max(0, Math.round(sample * 127.5 + 127.5)));
}

// The number of values `seconds` of sound make at `rate` values a second.
export function valueCount(seconds, rate) {
  return Math.max(0, Math.round(seconds * rate));
}

// `samples`: mono at kDecodeRate. Returns {bytes}: `count` values at `rate`
// a second, the first at `start` seconds. Each value is the filtered sound
// at its own time; near the recording's ends the weights are scaled to the
// samples that exist.
export function resample({ samples, rate, start, count }) {
  const bytes = new Uint8Array(count);
  // Lobe width in input samples: the cut-off is no higher than the
  // decoded sound holds.
  const lobe = kDecodeRate / (kCutoff * Math.min(rate, kDecodeRate));
  const reach = Math.ceil(kZeroCrossings * lobe);
  for (let i = 0; i < count; ++i) {
    const centre = (start + i / rate) * kDecodeRate;
    const first = Math.max(0, Math.ceil(centre - reach));
    const last = Math.min(samples.length - 1, Math.floor(centre + reach));
    let sum = 0;
    let weights = 0;
    for (let n = first; n <= last; ++n) {
      const weight = kernelAt((n - centre) / lobe);
      sum += weight * samples[n];
      weights += weight;
    }
    bytes[i] = toByte(weights > 0 ? sum / weights : 0);
  }
  return { bytes };
}
