// Step 2, second way: a recording. The browser's own decoder turns it into
// sound at kDecodeRate; the worker makes the input bytes from it by the
// rule in resample.js, at the chosen Rate, from the chosen Start, for the
// chosen Length (or to the end). Fit sets the rate so that those bytes fill
// the templates' room, which the preview reports. The bytes can be
// downloaded, to feed the console program too.
import * as files from './files.js';
import { say } from './messages.js';
import { kDecodeRate, valueCount } from './resample.js';
import { call } from './programs.js';
import * as preview from './preview.js';

const chooser = document.getElementById('recording');
const rateField = document.getElementById('rate');
const startField = document.getElementById('start');
const lengthField = document.getElementById('length');
const status = document.getElementById('recording-status');

// The highest rate taken: far above any use, low enough that a long
// recording cannot make more bytes than the page can hold.
const kMaxRate = 4 * kDecodeRate;

// The decoded recording: {name, samples (mono, kDecodeRate), seconds}.
let sound = null;
// The last bytes made, for the status line: {count, seconds, start, rate}.
let made = null;

function duration(seconds) {
  return seconds < 1 ? `${Math.round(seconds * 1000)} ms` : `${+seconds.toFixed(3)} s`;
}

function rawName(name) {
  const dot = name.lastIndexOf('.');
  return `${dot > 0 ? name.slice(0, dot) : name}.raw`;
}

// The span of the recording the fields choose: {start, seconds} or
// {problem}.
function span() {
  const start = Number(startField.value);
  const length = lengthField.value === '' ? null : Number(lengthField.value);
  if (!(start >= 0)) return { problem: 'Start must be 0 s or later, for example 0.' };
  if (length !== null && !(length > 0)) {
    return { problem: 'Length must be more than 0 s, or empty to take the recording to its end.' };
  }
  if (start >= sound.seconds) {
    return { problem: `Start ${start} s lies at or after the end of the recording ` +
      `(${duration(sound.seconds)}): choose an earlier start.` };
  }
  return { start, seconds: Math.min(length ?? Infinity, sound.seconds - start) };
}

// The fields, checked: {rate, start, seconds} or {problem}.
function settings() {
  const rate = Number(rateField.value);
  if (rateField.value === '' || !(rate > 0) || rate > kMaxRate) {
    return { problem: `Rate must be a number of values a second above 0 and at most ${kMaxRate}, ` +
      'for example 4000.' };
  }
  const chosen = span();
  return chosen.problem ? chosen : { rate, ...chosen };
}

// True for a WAV file whose data chunk holds no sample, which the browser
// refuses to decode as it refuses what is no sound at all.
function isEmptyWav(bytes) {
  const view = new DataView(bytes);
  const tag = (at) => String.fromCharCode(...new Uint8Array(bytes, at, 4));
  if (bytes.byteLength < 12 || tag(0) !== 'RIFF' || tag(8) !== 'WAVE') return false;
  for (let at = 12; at + 8 <= bytes.byteLength; at += 8 + view.getUint32(at + 4, true)) {
    if (tag(at) === 'data') {
      return view.getUint32(at + 4, true) === 0 || at + 8 === bytes.byteLength;
    }
  }
  return false;
}

async function decode(file) {
  const bytes = await file.arrayBuffer();
  if (bytes.byteLength === 0) throw new Error('empty');
  // Asked before decoding, which takes the bytes away.
  const emptyWav = isEmptyWav(bytes);
  let decoded;
  try {
    decoded = await new OfflineAudioContext(1, 1, kDecodeRate).decodeAudioData(bytes);
  } catch {
    throw new Error(emptyWav ? 'empty' : 'not audio');
  }
  if (decoded.length === 0) throw new Error('empty');
  // Mono: the mean of the channels.
  const samples = new Float32Array(decoded.length);
  for (let channel = 0; channel < decoded.numberOfChannels; ++channel) {
    const data = decoded.getChannelData(channel);
    for (let i = 0; i < samples.length; ++i) samples[i] += data[i] / decoded.numberOfChannels;
  }
  return { name: file.name, samples, seconds: decoded.duration };
}

async function convertOnce() {
  const source = sound;
  if (!source) return;
  const wanted = settings();
  if (wanted.problem) {
    made = null;
    files.clearInput(wanted.problem, 'recording');
    return;
  }
  const count = valueCount(wanted.seconds, wanted.rate);
  const { bytes } = await call('resample', {
    samples: source.samples, rate: wanted.rate, start: wanted.start, count });
  // A recording chosen meanwhile is converted by a pass of its own.
  if (source !== sound) return;
  made = { count, ...wanted };
  files.setInput(rawName(source.name), new Blob([bytes]), `the recording "${source.name}"`,
    'recording');
}

// One conversion at a time; changes made meanwhile are taken by one more.
const conversions = files.oneAtATime(convertOnce);
function convert() {
  return sound ? files.track(conversions()) : Promise.resolve();
}

async function showStatus() {
  const shown = sound;
  const room = await preview.room();
  // Another recording, or an input chosen another way, may have come
  // meanwhile: its own call shows it.
  if (!shown || shown !== sound) return;
  const problem = settings().problem;
  let text = `${sound.name}: ${duration(sound.seconds)} of sound.`;
  if (problem) {
    text += ` ${problem}`;
  } else if (made) {
    text += ` It made ${made.count} bytes: ${duration(made.seconds)} from ` +
      `${made.start} s at ${made.rate}/s.`;
    if (room !== null) {
      text += ` The templates' room, ${room} values: ${duration(room / made.rate)} ` +
        `at ${made.rate}/s.`;
    }
  }
  say(status, text);
}

chooser.addEventListener('change', () => {
  const [file] = chooser.files;
  if (!file) return;
  sound = null;
  made = null;
  say(status, `Reading ${file.name}...`);
  files.track((async () => {
    try {
      sound = await decode(file);
    } catch (error) {
      const problem = error.message === 'empty'
        ? `The recording "${file.name}" is empty: it holds no sound. Choose another recording.`
        : `"${file.name}" is not a recording this browser can decode (such as WAV, MP3, ` +
          'OGG or FLAC). Choose another recording, or choose the file as Input file to ' +
          'take its bytes as they are.';
      files.clearInput(problem, 'recording');
      say(status, problem);
      return;
    }
    await convert();
  })());
});

for (const field of [rateField, startField, lengthField]) {
  field.addEventListener('input', () => convert());
}

// Tracked, so that a Run clicked at once waits for the rate it sets.
async function fit(self) {
  await files.settled(self);
  const room = await preview.room();
  if (!sound) {
    say(status, 'Fit needs a recording: choose one under Recording first.');
  } else if (room === null) {
    say(status, 'Fit needs the templates\' room: choose the templates first.');
  } else if (room === 0) {
    say(status, 'The templates have no room for values (no line takes a value), ' +
      'so there is nothing to fit.');
  } else {
    const { problem, seconds } = span();
    if (problem) {
      say(status, problem);
      return;
    }
    let rate = +(room / seconds).toFixed(6);
    if (valueCount(seconds, rate) !== room) rate = room / seconds;
    rateField.value = String(rate);
    await convert();
  }
}

document.getElementById('fit').addEventListener('click', () => {
  const job = files.track(Promise.resolve().then(() => fit(job)));
});

document.getElementById('download-input').addEventListener('click', async () => {
  await files.settled();
  const input = files.currentInput();
  if (!input) {
    say(status, files.problemWithInput());
    return;
  }
  const link = document.createElement('a');
  link.href = URL.createObjectURL(input.blob);
  link.download = input.name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
});

// An input chosen another way supersedes the recording.
files.events.addEventListener('change', () => {
  if (!sound || files.inputOwnedBy('recording')) {
    showStatus();
    return;
  }
  sound = null;
  made = null;
  chooser.value = '';
  say(status, '');
});
preview.events.addEventListener('room', showStatus);
