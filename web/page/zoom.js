// Zooming the waveform, to place a handle precisely on a short sound, and
// back out: Zoom in and Zoom out, the wheel (a pinch on a touchpad comes
// as the wheel too), two fingers on a touch screen, and a drag of the
// picture sideways, to move along a recording zoomed in. Each changes the
// span in view in the state; waveform.js draws it.
import { current, subscribe, update } from './state.js';
import { clamp, recordingOf, selectionOf, shownSpan, timeAt } from './timeline.js';
import { soundSeconds } from './derived.js';

const picture = document.getElementById('waveform-picture');
const zoomIn = document.getElementById('zoom-in');
const zoomOut = document.getElementById('zoom-out');

// The closest view: this many frames across.
const kFewestFrames = 32;
// How much a step of the wheel zooms (a pinch comes in smaller steps).
const kWheelZoom = 0.002;

// The span of `seconds` that keeps the time now at `place` (0 at the left
// edge, 1 at the right) where it is, shifted by `shift` of the span now
// shown.
function viewed(state, seconds, place = 0.5, shift = 0) {
  const input = recordingOf(state);
  const whole = soundSeconds(input.sound);
  const span = shownSpan(state);
  const wanted = clamp(seconds, Math.min(whole, kFewestFrames / input.sound.rate), whole);
  const anchor = timeAt(span, place) + shift * span.seconds;
  const start = clamp(anchor - place * wanted, 0, whole - wanted);
  return { view: { serial: input.serial, start, seconds: wanted } };
}

const zoomBy = (factor, place, shift) => {
  const state = current();
  if (recordingOf(state)) update(viewed(state, shownSpan(state).seconds * factor, place, shift));
};

// Zoom in centres the closer view on the selection, so that it stays in
// view.
zoomIn.addEventListener('click', () => {
  const state = current();
  if (!recordingOf(state)) return;
  const { start, end } = selectionOf(state);
  const span = shownSpan(state);
  zoomBy(0.5, 0.5, ((start + end) / 2 - timeAt(span, 0.5)) / span.seconds);
});
zoomOut.addEventListener('click', () => zoomBy(2));

const placeAt = (clientX) => {
  const box = picture.getBoundingClientRect();
  return clamp((clientX - box.left) / box.width, 0, 1);
};

picture.addEventListener('wheel', (event) => {
  if (!recordingOf(current())) return;
  event.preventDefault();
  const lines = event.deltaMode === WheelEvent.DOM_DELTA_LINE ? 16 : 1;
  zoomBy(Math.exp(event.deltaY * lines * kWheelZoom), placeAt(event.clientX),
    (event.deltaX * lines) / picture.clientWidth);
}, { passive: false });

// Pointers down on the picture (not on a handle): one drags the view
// sideways, two pinch it.
const pointers = new Map();

picture.addEventListener('pointerdown', (event) => {
  if (!recordingOf(current()) || event.button !== 0) return;
  picture.setPointerCapture(event.pointerId);
  pointers.set(event.pointerId, event.clientX);
});

picture.addEventListener('pointermove', (event) => {
  if (!pointers.has(event.pointerId)) return;
  const before = new Map(pointers);
  pointers.set(event.pointerId, event.clientX);
  const width = picture.clientWidth;
  if (pointers.size === 1) {
    const moved = (event.clientX - before.get(event.pointerId)) / width;
    if (moved !== 0) zoomBy(1, 0.5, -moved);
    return;
  }
  const [a, b] = [...pointers.keys()];
  const apart = Math.abs(pointers.get(a) - pointers.get(b));
  const apartBefore = Math.abs(before.get(a) - before.get(b));
  if (apart > 8 && apartBefore > 8) {
    zoomBy(apartBefore / apart, placeAt((pointers.get(a) + pointers.get(b)) / 2));
  }
});

for (const type of ['pointerup', 'pointercancel']) {
  picture.addEventListener(type, (event) => pointers.delete(event.pointerId));
}

subscribe((state) => {
  const input = recordingOf(state);
  if (!input) return;
  const span = shownSpan(state);
  const whole = soundSeconds(input.sound);
  zoomOut.disabled = span.seconds >= whole;
  zoomIn.disabled = span.seconds <= Math.min(whole, kFewestFrames / input.sound.rate) * 1.0001;
});
