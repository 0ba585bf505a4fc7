// The page's one state: what the user has chosen and what the page made
// of it. Every change goes through update(); the steps' views and the work
// under way subscribe to it and read current(). A result carries the key
// of the choices it was made from (derived.js), so that a result made for
// choices since replaced is recognised and never shown as the current one.
// No module keeps a copy of what the state holds.
//
//   facts       the programs' own names and limit, from the programs
//               themselves: {templateNames, scratchName, sampleLimit}
//   templates   {serial, files: Map of name -> {file, bytes}}, bytes null
//               while the file is read; `from` says which way they came
//   inputChoices  how many inputs have been chosen, taken or refused
//   input       the input, one of
//                 {kind: 'file', serial, name, file, size, head, from}
//                 {kind: 'recording', serial, name, file, fileId, sound,
//                  progress, from}: fileId as shared with the worker,
//                  sound {rate, frames} once opened, with headerFrames
//                  for a WAV that ends before its header's length,
//                  progress {done, total} of the worker's reading of it
//                  whole
//               head: the bytes a program can read, null while read
//   fields      the texts of Rate, Start, Length, Patch name, Pitch ('':
//               the one detected) and Cycles per patch; the Take
//               ('samples', 'cycles' or 'contour') and Fill the range
//               (true or false); at first kDefaultFields
//   rooms       {key, rooms} or null: each template's room, in order, per
//               the programs, for the templates of that key
//   pitch       {key, pitch, reason} or null: the pitch detected in the
//               selection of that key (derived.js selectionKey)
//   spectrum    {key, above, median} or null: how the selection's energy
//               lies against the highest tone the Rate keeps
//   preview     {key, templatesKey, hasInput, report, errors, exitCode,
//               chart, patches} or null: key that of previewOf, templatesKey that
//               of the templates alone, whose room the chart gives
//   run         {key, patchName, transcript, exitCode, patches, zip}
//   view        the waveform's width in columns, and the span of the
//               recording it shows: {columns, serial, start, seconds},
//               the span for the recording of that serial only
//   waveform    the waveform drawn: {key, serial, first, end, rate, low,
//               high, read} (see waveform.js), or null
//   playing     what plays: {what: 'selection' or 'values', key}, or null
//   problems    sentences for the steps, each why a step cannot go on:
//               {templates, input, recording, fit, preview, run, play,
//               drop, page}; fit: Fit's and the input bytes' download's
//   statuses    sentences of what the page did, no problem: {drop}
//   busy        work under way: {preview, run, download}, download
//               {done, total} values while the input bytes are made
export const kDefaultFields = Object.freeze({ rate: '4000', start: '0', length: '',
  patchName: 'demo', take: 'samples', fill: false, pitch: '', cyclesPerPatch: '1' });

const listeners = new Set();

let serial = 0;
// A fresh identity for a new choice.
export const nextSerial = () => ++serial;

let now = Object.freeze({
  facts: null,
  templates: { serial: 0, files: new Map(), from: '' },
  inputChoices: 0,
  input: null,
  fields: kDefaultFields,
  rooms: null,
  pitch: null,
  spectrum: null,
  preview: null,
  run: null,
  view: { columns: 0, serial: 0, start: 0, seconds: 0 },
  waveform: null,
  playing: null,
  problems: { templates: '', input: '', recording: '', fit: '', preview: '', run: '',
    play: '', drop: '', page: '' },
  statuses: { drop: '' },
  busy: { preview: false, run: false, download: null },
});

export const current = () => now;

// Replaces the parts named in `changes`; `problems`, `statuses`, `fields`,
// `view` and `busy` are merged item by item.
export function update(changes) {
  const before = now;
  now = Object.freeze({
    ...now,
    ...changes,
    problems: { ...now.problems, ...changes.problems },
    statuses: { ...now.statuses, ...changes.statuses },
    fields: { ...now.fields, ...changes.fields },
    view: { ...now.view, ...changes.view },
    busy: { ...now.busy, ...changes.busy },
  });
  for (const listener of listeners) listener(now, before);
}

// Calls `listener(state, before)` after every change, and once now.
export function subscribe(listener) {
  listeners.add(listener);
  listener(now, null);
}

// Resolves with the state once `holds(state)` is true.
export function when(holds) {
  return new Promise((resolve) => {
    const listener = (state) => {
      if (!holds(state)) return;
      listeners.delete(listener);
      resolve(state);
    };
    listeners.add(listener);
    listener(now);
  });
}
