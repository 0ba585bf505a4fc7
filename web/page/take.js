// The Take: how a recording becomes values. Samples (the recording read at
// the Rate, with Fill the range), Cycles (whole cycles of its tone, at the
// Pitch found in the selection or typed) or Contour (its loudness). The
// worker makes the bytes (worker/takes.js); here the choices go into the
// state, and what the page needs to know first is asked of the worker as
// the choices change: each template's room, per the programs; the
// selection's pitch; and, in Samples, how its energy lies against the
// highest tone the Rate keeps, with the hint when the values use little
// of their range.
import { follow } from './scheduler.js';
import { call } from './programs.js';
import { subscribe, update } from './state.js';
import { say } from './messages.js';
import { currentPreview, parseChart, pitchOf, rateOf, roomsOf, selectionKey, soundSeconds,
  spanOf, templatesGiven } from './derived.js';
import { highestKept } from '../shared/resample.js';

const part = document.getElementById('take-part');
const radios = [...document.querySelectorAll('input[name="take"]')];
const cyclesPart = document.getElementById('cycles-part');
const samplesPart = document.getElementById('samples-part');
const pitchField = document.getElementById('pitch');
const cyclesField = document.getElementById('cycles-per-patch');
const fillBox = document.getElementById('fill');
const pitchStatus = document.getElementById('pitch-status');
const takeStatus = document.getElementById('take-status');

// The values use less than this part of 0..127: the hint points to Fill
// the range.
const kNarrow = 0.5;
// Most of the energy: the share above the highest tone kept that says so.
const kMost = 0.5;

for (const radio of radios) {
  radio.addEventListener('change', () => update({ fields: { take: radio.value } }));
}
pitchField.addEventListener('input', () => update({ fields: { pitch: pitchField.value } }));
pitchField.addEventListener('blur', () => update({}));
cyclesField.addEventListener('input', () =>
  update({ fields: { cyclesPerPatch: cyclesField.value } }));
fillBox.addEventListener('change', () => update({ fields: { fill: fillBox.checked } }));

// Each template's room, from a preview of the templates alone, for the
// takes that need it.
const roomsWanted = (state) => (state.facts && state.input?.kind === 'recording' &&
  state.fields.take !== 'samples' ? templatesGiven(state)?.key ?? null : null);
follow(roomsWanted,
  async (state, key, signal) => {
    if (key === null) return null;
    try {
      const { chart } = await call('preview', { templates: templatesGiven(state).files,
        input: null }, { signal });
      return { rooms: { key, rooms: parseChart(chart).rooms } };
    } catch (error) {
      return error.cancelled ? null : { rooms: { key, problem: 'The templates\' room could ' +
        `not be found: ${error.message}.` } };
    }
  });

// The selection's pitch, in Cycles, unless one is typed.
const pitchWanted = (state) => (state.fields.take === 'cycles' &&
  state.fields.pitch.trim() === '' ? selectionKey(state) : null);
follow(pitchWanted, async (state, key, signal) => {
  if (key === null) return null;
  const { start, seconds } = spanOf(state.fields, soundSeconds(state.input.sound));
  try {
    const found = await call('pitch', { id: state.input.serial, start, seconds }, { signal });
    return { pitch: { key, ...found } };
  } catch (error) {
    return error.cancelled ? null : { pitch: { key, problem: `The pitch could not be found: ` +
      `${error.message}.` } };
  }
});

// The highest tone the Rate keeps, in Hz, in Samples; null otherwise.
function keptTone(state) {
  const { rate } = rateOf(state.fields);
  if (state.fields.take !== 'samples' || !rate || selectionKey(state) === null) return null;
  return highestKept(state.input.sound.rate, rate);
}
const spectrumWanted = (state) => {
  const tone = keptTone(state);
  return tone === null ? null : `${selectionKey(state)}:${tone}`;
};
follow(spectrumWanted, async (state, key, signal) => {
  if (key === null) return null;
  const { start, seconds } = spanOf(state.fields, soundSeconds(state.input.sound));
  try {
    const found = await call('spectrum', { id: state.input.serial, start, seconds,
      frequency: keptTone(state) }, { signal });
    return { spectrum: { key, ...found } };
  } catch {
    return null;
  }
});

const hz = (frequency) => `${+frequency.toPrecision(3)} Hz`;

// What survives of the selection in Samples, and the hint when the values
// use less than half their range.
function samplesText(state) {
  const tone = keptTone(state);
  if (tone === null) return '';
  const parts = [`At ${rateOf(state.fields).rate}/s the values keep tones up to ${hz(tone)}.`];
  const { spectrum } = state;
  if (spectrum?.key === spectrumWanted(state) && spectrum.above > kMost) {
    parts.push(`Most of the selection's energy lies above ${hz(tone)} (half of it above ` +
      `${hz(spectrum.median)}), so the values hold little of its sound: choose Cycles, or a ` +
      'shorter selection for a higher Rate.');
  }
  const values = currentPreview(state)?.chart.values ?? [];
  if (values.length > 0 && !state.fields.fill) {
    const [low, high] = [Math.min(...values), Math.max(...values)];
    if (high - low < kNarrow * 127) {
      parts.push(`The values use only ${low} to ${high} of 0..127: Fill the range brings ` +
        'the loudest to the edge.');
    }
  }
  return parts.join(' ');
}

subscribe((state) => {
  const { fields, input } = state;
  part.hidden = input?.kind !== 'recording';
  for (const radio of radios) radio.checked = radio.value === fields.take;
  cyclesPart.hidden = fields.take !== 'cycles';
  samplesPart.hidden = fields.take !== 'samples';
  fillBox.checked = fields.fill;
  if (cyclesField.value !== fields.cyclesPerPatch) cyclesField.value = fields.cyclesPerPatch;
  const pitch = fields.take === 'cycles' && !part.hidden ? pitchOf(state) : {};
  // The detected pitch is shown in the field until one is typed there.
  const shown = fields.pitch !== '' || document.activeElement === pitchField ? fields.pitch
    : pitch.detected ?? '';
  if (pitchField.value !== shown) pitchField.value = shown;
  const rooms = roomsOf(state);
  say(pitchStatus, pitch.problem ?? (rooms?.problem ?? ''));
  say(takeStatus, part.hidden ? '' : samplesText(state));
});
