// The values derived from the state, which need no browser: which preview
// is current, whose room counts, and which changes a run's and a sound's
// keys follow.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { currentPreview, inputGiven, playKey, previewOf, roomOf, runKey } from './derived.js';
import { kDefaultFields } from './state.js';

const file = { kind: 'file', serial: 7, name: 'in.raw', size: 3, head: new Uint8Array(3) };
const base = { facts: {}, input: file, fields: kDefaultFields, problems: { input: '' },
  templates: { serial: 2, files: new Map([['1Template.pch', { bytes: new Uint8Array(1) }]]) } };
const made = (state, changes) => ({ ...state, ...changes,
  fields: { ...state.fields, ...changes.fields } });
const preview = { key: previewOf(base).key, templatesKey: 't2', chart: { room: 9 } };

test('a preview is current, and its room counts, only for the choices it was made from', () => {
  const shown = made(base, { preview });
  for (const [what, state, current, room] of [
    ['as made', shown, preview, 9],
    ['another input', made(shown, { input: { ...file, serial: 8 } }), null, 9],
    ['other templates', made(shown, { templates: { ...base.templates, serial: 3 } }), null, null],
    ['no preview', base, null, null]]) {
    assert.equal(currentPreview(state), current, what);
    assert.equal(roomOf(state), room, what);
  }
});

test('the keys of a run and of what plays change with the choices they use only', () => {
  for (const [what, changes, run, selection, values] of [
    ['Rate written otherwise', { fields: { rate: '4000.0' } }, false, false, false],
    ['Rate', { fields: { rate: '8000' } }, false, false, true],
    ['Start', { fields: { start: '1' } }, false, true, false],
    ['Patch name', { fields: { patchName: 'x' } }, true, false, false],
    ['input', { input: { ...file, serial: 8 } }, true, true, true]]) {
    const state = made(base, changes);
    assert.deepEqual([runKey(state) !== runKey(base),
      playKey(state, 'selection') !== playKey(base, 'selection'),
      playKey(state, 'values') !== playKey(base, 'values')], [run, selection, values], what);
  }
});

test('Cycles takes a pitch typed, or detected for the selection as it is now', () => {
  const recording = { kind: 'recording', serial: 5, name: 'a.wav', sound: { rate: 8, frames: 16 } };
  const cycles = made(base, { input: recording, fields: { take: 'cycles' },
    rooms: { key: 't2', rooms: [60, 0] } });
  const found = (pitch, fields = {}) => made(cycles, { fields, pitch: { key: '5:0:2', pitch,
    reason: pitch ? null : 'noise', note: 'A2' } });
  for (const [what, state, pitch, says] of [
    ['detected', found(110), 110, ''],
    ['detected for another selection', found(110, { start: '1' }), undefined, 'Finding the pitch'],
    ['typed over the detected', found(110, { pitch: '220 Hz' }), 220, ''],
    ['typed, no frequency', found(110, { pitch: 'A3' }), undefined, 'Pitch must be'],
    ['none in the selection', found(null), undefined, 'has no clear pitch'],
    ['no room known', made(found(110), { rooms: null }), undefined, 'templates\' room']]) {
    const given = inputGiven(state);
    assert.equal(given.recording?.pitch, pitch, what);
    assert.ok((given.problem ?? given.waiting ?? '').includes(says), what);
    if (pitch) assert.equal(given.size, 60, what);
  }
  // The input's key follows every choice that changes its bytes.
  const samples = made(cycles, { fields: { take: 'samples', rate: '4' } });
  const keys = [{}, { length: '1' }, { fill: true }, { take: 'contour' }]
    .map((fields) => inputGiven(made(samples, { fields })).key);
  assert.equal(new Set(keys).size, keys.length, keys.join(' '));
});
