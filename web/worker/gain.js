// The gain that brings a sound to the edge of the values' range: its
// largest magnitude becomes 1, which the byte rule (resample.js toByte:
// round(s * 127.5 + 127.5)) makes byte 255 or 0, and the programs' halving
// value 127 or 0. One gain scales about the centre, so a sound keeps its
// shape and parts of it keep their levels against each other. Pure: runs
// in the worker or the page.

// The largest magnitude among the values of `parts` (arrays of numbers).
export function peakOf(parts) {
  let peak = 0;
  for (const part of parts) {
    for (const value of part) peak = Math.max(peak, Math.abs(value));
  }
  return peak;
}

// The gain that brings `peak` to 1; silence stays as it is.
export const gainToEdge = (peak) => (peak > 0 ? 1 / peak : 1);
