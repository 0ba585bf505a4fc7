// The recording's time line as the waveform shows it: the span in view
// (the whole recording unless zoomed in), the selection that Start and
// Length choose, the part of it that reaches the patches, and where a time
// falls on the picture. Functions of the state alone, shared by the
// modules that draw the waveform (waveform.js), move its handles
// (selection.js) and zoom it (zoom.js).
import { rateOf, roomOf, soundSeconds } from './derived.js';

// The recording chosen, once opened, or null.
export function recordingOf({ input }) {
  return input?.kind === 'recording' && input.sound ? input : null;
}

// The span of the recording in view, in seconds: {start, seconds}.
export function shownSpan(state) {
  const input = recordingOf(state);
  const { view } = state;
  if (view.serial === input.serial && view.seconds > 0) {
    return { start: view.start, seconds: view.seconds };
  }
  return { start: 0, seconds: soundSeconds(input.sound) };
}

export const clamp = (value, low, high) => Math.min(high, Math.max(low, value));

// The shortest selection the handles leave: 1 ms, or less of a shorter
// recording.
export const shortestOf = (seconds) => Math.min(0.001, seconds / 10);

// The selection as the handles show it: {start, end} in seconds, and
// `toEnd` when Length is empty. Fields that say no time (the sentence
// beside them says why) leave the handles at the nearest place they can
// take.
export function selectionOf(state) {
  const seconds = soundSeconds(recordingOf(state).sound);
  const { fields } = state;
  const start = clamp(Number(fields.start) || 0, 0, seconds - shortestOf(seconds));
  const toEnd = fields.length.trim() === '';
  const length = Number(fields.length);
  const end = toEnd || !(length > 0) ? seconds
    : clamp(start + length, start + shortestOf(seconds), seconds);
  return { start, end, toEnd, seconds };
}

// The part of the selection that the templates' room takes at the Rate,
// {start, end}, or null while the room or the Rate is not known; all of it
// in the takes that spread the patches over it.
export function reachOf(state) {
  if (state.fields.take !== 'samples') return selectionOf(state);
  const room = roomOf(state);
  const { rate } = rateOf(state.fields);
  if (room === null || !rate) return null;
  const { start, end } = selectionOf(state);
  return { start, end: Math.min(end, start + room / rate) };
}

// Where time `seconds` falls across the picture of `span`: 0 at its left
// edge, 1 at its right.
export const placeOf = (span, seconds) => (seconds - span.start) / span.seconds;

export const timeAt = (span, place) => span.start + place * span.seconds;

// A time as the fields write it: in seconds, at most `decimals` decimals,
// no zeros after the last digit that counts.
export const secondsText = (seconds, decimals = 6) => String(+seconds.toFixed(decimals));

// The decimals of a number as written: 2 for "1.25".
export const decimalsOf = (text) => String(text).split('.')[1]?.length ?? 0;

// The decimals that tell apart the times of neighbouring columns of a
// picture that shows `secondsPerColumn` in each.
export const decimalsFor = (secondsPerColumn) =>
  clamp(Math.ceil(-Math.log10(secondsPerColumn)), 0, 6);
