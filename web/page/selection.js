// The selection on the waveform: two handles, Start and End, each a slider
// moved by the mouse, a finger or the keyboard (arrow keys by 10 ms, Page
// Up and Page Down by 1 s, Home and End to the ends). A handle writes
// Start and Length as typing them does, and the fields place the handles,
// so the two always agree. Moving Start keeps the end where it is; End at
// the recording's end empties Length ("to the end"). Inside the selection
// the part that the templates' room takes at the Rate is marked apart
// from the part that is cut, and the span each patch's values come from is
// marked with the patch's number.
import { current, subscribe, update } from './state.js';
import { patchesOf } from './derived.js';
import { clamp, decimalsFor, decimalsOf, placeOf, reachOf, recordingOf, secondsText, selectionOf,
  shortestOf, shownSpan, timeAt } from './timeline.js';

const picture = document.getElementById('waveform-picture');
const handles = Object.fromEntries(['start', 'end'].map((which) =>
  [which, document.getElementById(`${which}-handle`)]));
const reachBand = document.getElementById('reach');
const cutBand = document.getElementById('cut');
const before = document.getElementById('outside-before');
const after = document.getElementById('outside-after');

const kKeySteps = { ArrowRight: 0.01, ArrowUp: 0.01, ArrowLeft: -0.01, ArrowDown: -0.01,
  PageUp: 1, PageDown: -1 };

// The changes that put handle `which` at `seconds`, rounded to `decimals`
// decimals: the fields, and the span in view when the handle would leave
// it. A handle stops at the other, and at the recording's ends.
function placed(state, which, seconds, decimals) {
  const selection = selectionOf(state);
  const shortest = shortestOf(selection.seconds);
  const rounded = +seconds.toFixed(decimals);
  const fields = {};
  let at;
  if (which === 'start') {
    at = clamp(rounded, 0, selection.end - shortest);
    fields.start = secondsText(at);
    if (!selection.toEnd) fields.length = secondsText(selection.end - at);
  } else {
    at = clamp(rounded, selection.start + shortest, selection.seconds);
    fields.length = at >= selection.seconds ? '' : secondsText(at - selection.start);
  }
  const span = shownSpan(state);
  const place = placeOf(span, at);
  if (place >= 0 && place <= 1) return { fields, problems: { fit: '' } };
  // Zoomed in: the span in view follows the handle.
  const start = clamp(at - span.seconds / 2, 0, selection.seconds - span.seconds);
  return { fields, problems: { fit: '' }, view: { serial: recordingOf(state).serial, start,
    seconds: span.seconds } };
}

// The time at the page's horizontal place `clientX` over the picture.
function timeAtPointer(state, clientX) {
  const box = picture.getBoundingClientRect();
  return timeAt(shownSpan(state), (clientX - box.left) / box.width);
}

function grab(which) {
  const handle = handles[which];
  handle.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    event.preventDefault();
    event.stopPropagation();
    handle.focus();
    handle.setPointerCapture(event.pointerId);
  });
  handle.addEventListener('pointermove', (event) => {
    if (!handle.hasPointerCapture(event.pointerId)) return;
    const state = current();
    const span = shownSpan(state);
    const changes = placed(state, which, timeAtPointer(state, event.clientX),
      decimalsFor(span.seconds / state.view.columns));
    const same = Object.entries(changes.fields).every(([name, text]) =>
      state.fields[name] === text);
    if (!same || changes.view) update(changes);
  });
  handle.addEventListener('keydown', (event) => {
    const state = current();
    const selection = selectionOf(state);
    const now = selection[which];
    let seconds;
    // A step keeps the decimals written, and at least those of 10 ms; the
    // ends are exact.
    let decimals = Math.max(2, decimalsOf(secondsText(now)));
    if (event.key in kKeySteps) {
      seconds = now + kKeySteps[event.key];
    } else if (event.key === 'Home' || event.key === 'End') {
      const toEnd = event.key === 'End';
      seconds = which === 'start' ? (toEnd ? selection.end : 0)
        : (toEnd ? selection.seconds : selection.start);
      decimals = 6;
    } else {
      return;
    }
    event.preventDefault();
    update(placed(state, which, seconds, decimals));
  });
}
grab('start');
grab('end');

// Places `element` over the picture from `from` to `to` seconds, named
// `label` and its times when given.
function stretch(element, span, from, to, label) {
  const left = clamp(placeOf(span, from), 0, 1);
  const right = clamp(placeOf(span, to), 0, 1);
  if (label) {
    element.setAttribute('aria-label', `${label}: ${secondsText(from)} s to ${secondsText(to)} s`);
  }
  element.hidden = right <= left;
  element.style.left = `${left * 100}%`;
  element.style.width = `${(right - left) * 100}%`;
}

function show(state) {
  if (!recordingOf(state)) return;
  const span = shownSpan(state);
  const selection = selectionOf(state);
  for (const [which, name, low, high] of [
    ['start', 'Start', 0, selection.end],
    ['end', 'End', selection.start, selection.seconds]]) {
    const handle = handles[which];
    const seconds = selection[which];
    handle.style.left = `${placeOf(span, seconds) * 100}%`;
    handle.setAttribute('aria-valuemin', secondsText(low));
    handle.setAttribute('aria-valuemax', secondsText(high));
    handle.setAttribute('aria-valuenow', secondsText(seconds));
    handle.setAttribute('aria-valuetext', `${name}, ${secondsText(seconds)} s`);
  }
  stretch(before, span, span.start, selection.start);
  stretch(after, span, selection.end, span.start + span.seconds);
  const reach = reachOf(state);
  const reachEnd = reach ? reach.end : selection.start;
  stretch(reachBand, span, selection.start, reachEnd, 'Reaches the patches');
  stretch(cutBand, span, reachEnd, selection.end, 'Cut');
  // No room known yet: nothing is marked as cut.
  if (!reach) cutBand.hidden = true;
  showPatches(span, patchesOf(state) ?? []);
}

// The marks of the patches' spans, one a patch, made as needed.
const patchMarks = [];
function showPatches(span, patches) {
  patches.forEach(({ number, start, seconds }, i) => {
    if (!patchMarks[i]) {
      patchMarks[i] = Object.assign(document.createElement('div'), { className: 'patch-span' });
      patchMarks[i].setAttribute('role', 'img');
      picture.append(patchMarks[i]);
    }
    const mark = patchMarks[i];
    stretch(mark, span, start, start + seconds);
    // A span narrower than a column still shows where it lies.
    if (mark.hidden && placeOf(span, start) >= 0 && placeOf(span, start) <= 1) {
      mark.hidden = false;
    }
    mark.setAttribute('aria-label', `Patch ${number}: ${secondsText(start)} s to ` +
      `${secondsText(start + seconds)} s`);
  });
  for (const mark of patchMarks.slice(patches.length)) mark.hidden = true;
}

subscribe(show);
