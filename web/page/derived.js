// Values derived from the state, pure, for every view and step: the
// choices as the programs take them (the templates' bytes, the input as a
// file of bytes, a recording's made by the settings in the fields), each
// with a key that changes whenever they do, and the sentences that say
// why there is none yet; the keys of a preview, a run and what plays;
// and the chart's numbers as the preview program gives them.
import { valueCount } from '../shared/resample.js';

// The highest rate taken: far above any use.
export const kMaxRate = 192000;

// A time as the page says it: "0.023 ms", "250 ms", "1.5 s", "10 min",
// "37 h 2 min 5.5 s".
export function duration(seconds) {
  if (seconds < 0.001) return `${+(seconds * 1000).toPrecision(2)} ms`;
  const ms = Math.round(seconds * 1000);
  if (ms < 1000) return `${ms} ms`;
  if (ms < 60000) return `${ms / 1000} s`;
  const parts = [[Math.floor(ms / 3600000), 'h'], [Math.floor(ms / 60000) % 60, 'min'],
    [(ms % 60000) / 1000, 's']];
  return parts.filter(([amount]) => amount > 0).map((part) => part.join(' ')).join(' ');
}

export const plural = (count, word) => `${count} ${word}${count === 1 ? '' : 's'}`;

// A recording's input name: its own with ".raw" for the extension.
export function rawName(name) {
  const dot = name.lastIndexOf('.');
  return `${dot > 0 ? name.slice(0, dot) : name}.raw`;
}

// The templates' bytes as [name, bytes] pairs and their key, or null while
// one is still read.
export function templatesGiven({ templates }) {
  const files = [...templates.files];
  if (files.some(([, { bytes }]) => bytes === null)) return null;
  return { key: `t${templates.serial}`, files: files.map(([name, { bytes }]) => [name, bytes]) };
}

// The seconds of sound a recording holds.
export const soundSeconds = (sound) => sound.frames / sound.rate;

// The conversion the fields choose for the recording: {rate, start,
// seconds, count} or {problem}.
export function conversionOf({ input, fields }) {
  const seconds = soundSeconds(input.sound);
  const { rate, problem } = rateOf(fields);
  if (problem) return { problem };
  const span = spanOf(fields, seconds);
  if (span.problem) return span;
  const count = valueCount(span.seconds, rate);
  if (count === 0) {
    return { problem: `At ${rate}/s, ${duration(span.seconds)} of sound makes no value: ` +
      'choose a higher rate or a longer span.' };
  }
  return { rate, ...span, count };
}

// The rate at which `seconds` of sound make `room` values, their time,
// room / rate, no longer than those seconds: rounded up at the sixth
// decimal, unless that makes another count.
export function fitRate(room, seconds) {
  const rounded = Math.ceil((room / seconds) * 1e6) / 1e6;
  return valueCount(seconds, rounded) === room ? rounded : room / seconds;
}

// The Rate the field chooses: {rate} or {problem}.
export function rateOf(fields) {
  const rate = Number(fields.rate);
  if (fields.rate.trim() === '' || !(rate > 0) || rate > kMaxRate) {
    return { problem: 'Rate must be a number of values a second above 0 and at most ' +
      `${kMaxRate}, for example 4000.` };
  }
  return { rate };
}

// The span of a recording of `seconds` that Start and Length choose:
// {start, seconds} or {problem}.
export function spanOf(fields, seconds) {
  const start = Number(fields.start);
  const length = fields.length.trim() === '' ? null : Number(fields.length);
  if (fields.start.trim() === '' || !(start >= 0)) {
    return { problem: 'Start must be 0 s or later, for example 0.' };
  }
  if (length !== null && !(length > 0)) {
    return { problem: 'Length must be more than 0 s, or empty to take the recording to its end.' };
  }
  if (start >= seconds) {
    return { problem: `Start ${start} s lies at or after the end of the recording ` +
      `(${duration(seconds)}): choose an earlier start.` };
  }
  return { start, seconds: Math.min(length ?? Infinity, seconds - start) };
}

// The input as the programs take it: {key, name, size, bytes} for a file,
// {key, name, size, recording: take} for a recording, the take as the
// worker makes it (takeGiven); or {waiting} while it is read, or {problem}.
export function inputGiven(state) {
  const { input, templates } = state;
  if (!input) {
    return { problem: state.problems.input || state.problems.recording ||
      'There is no input yet: choose an Input file or a Recording, or press Use the examples.' };
  }
  const name = input.kind === 'recording' ? rawName(input.name) : input.name;
  // A folder cannot hold the input beside a template of the same name, as
  // a console run's folder cannot.
  if (templates.files.has(name)) {
    return { problem: `The input file has the name of a template, "${name}": a folder ` +
      'cannot hold both. Rename the input file and choose it again.' };
  }
  if (input.kind === 'file') {
    if (input.head === null) return { waiting: `Reading ${input.name}...` };
    return { key: `f${input.serial}`, name, size: input.size, bytes: input.head };
  }
  if (!input.sound) return { waiting: `Reading ${input.name}...` };
  const given = takeGiven(state);
  if (given.problem || given.waiting) return given;
  return { key: `r${given.size}:${JSON.stringify(given.take)}`, name, size: given.size,
    recording: given.take };
}

// The ways a recording becomes values: the Take.
export const kTakes = ['samples', 'cycles', 'contour'];
// The most Cycles per patch taken.
const kMostCycles = 64;
// The highest Pitch taken.
const kHighestPitch = 20000;

// The templates' room, each template's in order, per the programs: an
// array, {problem}, or null while it is found.
export function roomsOf(state) {
  const templates = templatesGiven(state);
  if (!templates || state.rooms?.key !== templates.key) return null;
  return state.rooms.problem ? { problem: state.rooms.problem } : state.rooms.rooms;
}

// The key of the recording's selection that Start and Length choose, for
// what is measured of it; null for none.
export function selectionKey(state) {
  const { input } = state;
  if (input?.kind !== 'recording' || !input.sound) return null;
  const span = spanOf(state.fields, soundSeconds(input.sound));
  return span.problem ? null : `${input.serial}:${span.start}:${span.seconds}`;
}

const kNoPitch = {
  silence: 'The selection is silent, so it has no pitch',
  noise: 'The selection has no clear pitch (it sounds like noise)',
  short: 'The selection is too short to find its pitch',
  unsteady: 'The selection holds more than one note, so it has no one pitch',
};

// The pitch Cycles takes: {pitch} typed in Pitch or detected (with
// `detected`), {waiting} while it is detected, or {problem}.
export function pitchOf(state) {
  const typed = state.fields.pitch.trim();
  if (typed !== '') {
    const pitch = parseFloat(typed);
    if (!(pitch > 0 && pitch <= kHighestPitch) || !/^[\d.]/.test(typed)) {
      return { problem: `Pitch must be a frequency above 0 Hz and at most ${kHighestPitch} ` +
        'Hz, for example 110, or empty to find it in the selection.' };
    }
    return { pitch };
  }
  const found = state.pitch;
  if (!found || found.key !== selectionKey(state)) return { waiting: 'Finding the pitch...' };
  if (found.problem) return { problem: found.problem };
  if (found.pitch === null) {
    return { problem: `${kNoPitch[found.reason]}: choose a part where one note sounds ` +
      'steadily, or type its pitch in Pitch.' };
  }
  return { pitch: found.pitch, detected: `${found.pitch.toFixed(1)} Hz, ${found.note}` };
}

// Cycles per patch: {cycles} or {problem}.
export function cyclesOf(fields) {
  const cycles = Number(fields.cyclesPerPatch);
  if (!Number.isInteger(cycles) || cycles < 1 || cycles > kMostCycles) {
    return { problem: `Cycles per patch must be a whole number from 1 to ${kMostCycles}.` };
  }
  return { cycles };
}

// The recording's take as the worker makes it (worker/takes.js) and the
// bytes it makes: {take, size}, or {waiting} or {problem}.
export function takeGiven(state) {
  const { input, fields } = state;
  const id = input.serial;
  if (fields.take === 'samples') {
    const conversion = conversionOf(state);
    if (conversion.problem) return conversion;
    const { rate, start, count } = conversion;
    // Fill the range takes the peak of the span the values come from.
    return { size: count, take: { id, take: 'samples', rate, start,
      ...(fields.fill ? { fill: true, seconds: count / rate } : {}) } };
  }
  const span = spanOf(fields, soundSeconds(input.sound));
  if (span.problem) return span;
  const rooms = roomsOf(state);
  if (rooms === null) return { waiting: 'Finding the templates\' room...' };
  if (rooms.problem) return rooms;
  const size = rooms.reduce((a, b) => a + b, 0);
  if (size === 0) {
    return { problem: 'The templates have no room for values (no line takes a value).' };
  }
  if (fields.take === 'contour') return { size, take: { id, take: 'contour', ...span, rooms } };
  const cycles = cyclesOf(fields);
  if (cycles.problem) return cycles;
  const pitch = pitchOf(state);
  if (pitch.problem || pitch.waiting) return pitch;
  return { size, take: { id, take: 'cycles', ...span, pitch: pitch.pitch,
    cycles: cycles.cycles, rooms } };
}

// Each patch's values as the preview shows them, with the span of the
// recording they come from and the rate that plays them as they sound
// there: [{number, first, count, start, seconds, rate}], from the preview
// shown for the same recording and templates (perhaps an earlier one), or
// null.
export function patchesOf(state) {
  const { preview } = state;
  if (!preview?.take || previewLineOf(state) !== preview.line) return null;
  const { take, patches, chart } = preview;
  return chart.patches.map((patch) => (patches ? { ...patch, ...patches[patch.number - 1] }
    : { ...patch, rate: take.rate, start: take.start + (patch.first - 1) / take.rate,
      seconds: patch.count / take.rate }));
}

// Whether the templates and the input are read, as far as they can be:
// what a run or a download waits for after a click.
export const settled = (state) =>
  state.facts !== null && !inputGiven(state).waiting && templatesGiven(state) !== null;

// What the preview is made from: {key, templates, input}, or {wait} with
// the sentence to show meanwhile. A problem with the input leaves the
// templates alone.
export function previewOf(state) {
  if (!state.facts) return { wait: 'Loading the programs...' };
  if (state.templates.files.size === 0) {
    return { wait: 'The preview appears here once there are templates.' };
  }
  const templates = templatesGiven(state);
  if (!templates) return { wait: 'Reading the templates...' };
  const given = inputGiven(state);
  if (given.waiting) return { wait: given.waiting };
  const input = given.problem ? null : given;
  return { key: `${templates.key}|${input?.key ?? 'no input'}`, templates, input };
}

// The preview of the choices as they are now, or null while it is made.
export const currentPreview = (state) =>
  (state.preview?.key === previewOf(state).key ? state.preview : null);

// The templates and the input a preview was made for, whatever the
// settings that make a recording's bytes.
export function previewLineOf(state) {
  const made = previewOf(state);
  return made.key ? `${made.templates.key}|${state.input?.kind}${state.input?.serial}` : null;
}

// The templates' room per the preview of the templates now chosen, or null.
export function roomOf(state) {
  const templates = templatesGiven(state);
  return state.preview && templates && state.preview.templatesKey === templates.key
    ? state.preview.chart.room : null;
}

// The choices a run is made from, as its key.
export const runKey = (state) =>
  `${templatesGiven(state)?.key}|${inputGiven(state).key}|${state.fields.patchName}`;

// The choices that `what` ('selection' or 'values') plays, as a key:
// playing stops when they change.
export function playKey(state, what) {
  const { fields } = state;
  if (what === 'selection') {
    return `selection|${state.input?.serial}|${fields.start}|${fields.length}`;
  }
  return `values|${templatesGiven(state)?.key}|${inputGiven(state).key}|${rateOf(fields).rate}`;
}

// "room N", "rooms R...", "values V...", "patch P FIRST COUNT", "exit N"
// lines: see chart_data.cc.
export function parseChart(text) {
  const data = { room: 0, rooms: [], values: [], patches: [], exitCode: null };
  for (const line of text.trim().split('\n')) {
    const [word, ...numbers] = line.split(' ').filter(Boolean).map((item, i) =>
      (i === 0 ? item : Number(item)));
    if (word === 'room') data.room = numbers[0];
    if (word === 'rooms') data.rooms = numbers;
    if (word === 'values') data.values = numbers;
    if (word === 'exit') data.exitCode = numbers[0];
    if (word === 'patch') {
      data.patches.push({ number: numbers[0], first: numbers[1], count: numbers[2] });
    }
  }
  return data;
}
