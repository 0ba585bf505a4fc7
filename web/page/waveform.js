// The recording drawn: once a recording is chosen, its waveform, the
// lowest and highest frame of each column of the span in view, with a
// time axis in seconds. The worker answers each view from the overview it
// makes as it reads the recording (overview.js), so a recording of any
// length draws at once and fills in as it is read. The selection is drawn
// over it by selection.js; zoom.js changes the span in view.
import { follow } from './scheduler.js';
import { call } from './programs.js';
import { subscribe, update } from './state.js';
import { placeOf, recordingOf, secondsText, shownSpan } from './timeline.js';

const region = document.getElementById('waveform');
const picture = document.getElementById('waveform-picture');
const canvas = document.getElementById('waveform-canvas');

// CSS pixels under the waves for the time axis, and at least between two
// of its labels.
const kAxis = 18;
const kLabelSpacing = 80;

// The view the worker is asked for: the recording's frames [first, end) in
// as many columns as the picture is wide. Its key changes with each part
// of the recording read, so that the picture fills in.
function wanted(state) {
  const input = recordingOf(state);
  const { columns } = state.view;
  if (!input || columns === 0) return null;
  const span = shownSpan(state);
  const { rate, frames } = input.sound;
  const first = Math.max(0, Math.floor(span.start * rate));
  const end = Math.min(frames, Math.max(first + 1, Math.ceil((span.start + span.seconds) * rate)));
  return { key: `${input.serial}:${first}:${end}:${columns}:${input.progress?.done ?? 0}`,
    serial: input.serial, rate, first, end, columns };
}

follow((state) => wanted(state)?.key ?? null, async (state, key, signal) => {
  const asked = wanted(state);
  if (!asked) return { waveform: null };
  try {
    const { low, high, read } = await call('view', { recording: asked.serial,
      first: asked.first, end: asked.end, columns: asked.columns }, { signal });
    return { waveform: { ...asked, key, low, high, read } };
  } catch (error) {
    // A recording that can no longer be read is said so by recording.js.
    return error.cancelled || error.unreadable ? null : { waveform: null,
      problems: { recording: `The waveform could not be drawn: ${error.message}.` } };
  }
});

// Steps of the time axis: 1, 2 or 5 times a power of ten seconds, the
// smallest that leaves room for the labels.
function axisStep(secondsAcross, width) {
  const least = (secondsAcross * kLabelSpacing) / Math.max(width, 1);
  const power = 10 ** Math.floor(Math.log10(least));
  return [1, 2, 5, 10].map((factor) => factor * power).find((step) => step >= least);
}

function draw(state) {
  const input = recordingOf(state);
  region.hidden = input === null;
  if (!input) return;
  const width = state.view.columns;
  const height = canvas.clientHeight;
  const ratio = window.devicePixelRatio || 1;
  canvas.width = Math.round(width * ratio);
  canvas.height = Math.round(height * ratio);
  const pen = canvas.getContext('2d');
  pen.setTransform(ratio, 0, 0, ratio, 0, 0);
  const style = getComputedStyle(canvas);
  const waves = height - kAxis;
  const middle = waves / 2;
  const span = shownSpan(state);
  const x = (seconds) => placeOf(span, seconds) * width;

  pen.fillStyle = style.getPropertyValue('--wave-zero').trim();
  pen.fillRect(0, Math.floor(middle), width, 1);
  // The drawn view may be for an earlier span, while the next is made: it
  // is drawn where its times fall in the span now shown.
  const drawn = state.waveform;
  if (drawn?.serial === input.serial) {
    const { low, high, rate, first, end } = drawn;
    const perColumn = (end - first) / rate / low.length;
    pen.fillStyle = style.getPropertyValue('--wave').trim();
    // Each column reaches to the middle of the one before, so that a view
    // close enough to show single frames draws them as a line.
    let before = null;
    for (let column = 0; column < low.length; ++column) {
      if (low[column] > high[column]) {
        before = null;
        continue;
      }
      const from = x(first / rate + column * perColumn);
      const to = x(first / rate + (column + 1) * perColumn);
      const centre = (low[column] + high[column]) / 2;
      const highest = Math.min(1, Math.max(high[column], before ?? -1));
      const lowest = Math.max(-1, Math.min(low[column], before ?? 1));
      before = centre;
      if (to < 0 || from > width) continue;
      const top = middle - highest * middle;
      const bottom = middle - lowest * middle;
      pen.fillRect(from, top, Math.max(1, to - from), Math.max(1, bottom - top));
    }
  }

  pen.fillStyle = style.getPropertyValue('--axis').trim();
  pen.font = `11px ${style.fontFamily}`;
  pen.textBaseline = 'top';
  const step = axisStep(span.seconds, width);
  const decimals = Math.max(0, -Math.floor(Math.log10(step)));
  for (let n = Math.ceil(span.start / step); n * step <= span.start + span.seconds; ++n) {
    const tick = n * step;
    const at = Math.round(x(tick));
    pen.fillRect(at, waves, 1, 4);
    pen.fillText(`${secondsText(tick, decimals)} s`, at + 2, waves + 4);
  }
}

new ResizeObserver(() => {
  const columns = Math.round(picture.clientWidth);
  if (columns > 0) update({ view: { columns } });
}).observe(picture);

// What the picture is drawn from: it is drawn again only when that
// changes, not at every change of the state (a handle moved, a preview).
const drawnFrom = (state) => [state.waveform, state.input, ...Object.values(state.view)];

subscribe((state, before) => {
  if (before && drawnFrom(state).every((part, i) => part === drawnFrom(before)[i])) return;
  draw(state);
});
