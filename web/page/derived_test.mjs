// The values derived from the state, which need no browser: which preview
// is current, whose room counts, and which changes a run's and a sound's
// keys follow.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { currentPreview, playKey, previewOf, roomOf, runKey } from './derived.js';
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
