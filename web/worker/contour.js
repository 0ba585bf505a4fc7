// The Contour take: the loudness over the selection, for a sequence that
// drives a level or a filter. One value per step of the room, over all the
// patches in order: the RMS of a window around the step's own span, the
// loudest step at the top of the range (1, byte 255) and silence at the
// bottom (-1, byte 0). Pure and without the DOM: the worker hands the
// frames over through `read`, one window at a time.

// The shortest window, in seconds: a whole cycle of a 50 Hz tone, so that
// short steps measure loudness, not the waveform's phase.
const kShortestWindow = 0.02;

// The contour of a selection of `frames` frames at `rate`, whose frames
// [first, end) read(first, end) gives, for patches of `rooms` values: one
// array of values a patch, -1..1 for the byte rule.
export function contourOf(frames, rate, read, rooms) {
  const steps = rooms.reduce((a, b) => a + b, 0);
  const width = Math.max(frames / steps, kShortestWindow * rate);
  const loudness = Float64Array.from({ length: steps }, (_, step) => {
    const centre = ((step + 0.5) * frames) / steps;
    const first = Math.max(0, Math.round(centre - width / 2));
    const end = Math.min(frames, Math.max(first + 1, Math.round(centre + width / 2)));
    let sum = 0;
    for (const sample of read(first, end)) sum += sample * sample;
    return end > first ? Math.sqrt(sum / (end - first)) : 0;
  });
  const loudest = Math.max(0, ...loudness);
  const values = loudness.map((rms) => (loudest > 0 ? (2 * rms) / loudest - 1 : -1));
  let from = 0;
  return rooms.map((room) => values.subarray(from, (from += room)));
}
