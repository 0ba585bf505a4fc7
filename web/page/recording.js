// Step 2, second way: a recording. A WAV file is read by the worker, by
// slices, as far as the values asked for need it; another format is
// decoded once by the browser and handed to the worker whole. The input is
// then the values at the chosen Rate from the chosen Start for the chosen
// Length (or to the end), made on demand: a preview or a run takes only
// the values it reads. Its status says what the page makes of it.
import { current, kDefaultFields, nextSerial, subscribe, update } from './state.js';
import { call, events, share, unshare } from './programs.js';
import { conversionOf, duration, pitchOf, plural, rawName, roomOf, soundSeconds, takeGiven }
  from './derived.js';
import { inputNameProblem } from './names.js';
import { say, unreadable } from './messages.js';

const chooser = document.getElementById('recording');
const status = document.getElementById('recording-status');

const isCurrent = (input) => current().input?.serial === input.serial;

// The browser decodes other formats at this rate.
const kDecodeRate = 48000;

function notAudio(name) {
  return `"${name}" is not a recording this browser can decode (such as WAV, MP3, OGG or ` +
    'FLAC). Choose another recording, or choose the file as Input file to take its bytes ' +
    'as they are.';
}

const empty = (name) =>
  `The recording "${name}" is empty: it holds no sound. Choose another recording.`;

// The browser's own decoder, for what the worker does not read itself:
// the channels, handed to the worker, which keeps them.
async function decode(input) {
  let decoded;
  try {
    const bytes = await input.file.arrayBuffer();
    decoded = await new OfflineAudioContext(1, 1, kDecodeRate).decodeAudioData(bytes);
  } catch (error) {
    if (error.name === 'NotReadableError' || error.name === 'NotFoundError') throw error;
    return { problem: notAudio(input.name) };
  }
  if (decoded.length === 0) return { problem: empty(input.name) };
  const channels = Array.from({ length: decoded.numberOfChannels },
    (_, channel) => decoded.getChannelData(channel).slice());
  if (!isCurrent(input)) return {};
  const sound = await call('openDecoded', { recording: input.serial, rate: decoded.sampleRate,
    channels }, { transfer: channels.map((channel) => channel.buffer) });
  return { sound };
}

// Takes `file` as a recording, `from` the way it came; resolves once it is
// open.
export async function chooseRecording(file, from) {
  const inputChoices = current().inputChoices + 1;
  const problem = inputNameProblem(rawName(file.name));
  if (problem) {
    update({ inputChoices, input: null, problems: { recording: problem, input: '' } });
    return;
  }
  const input = { kind: 'recording', serial: nextSerial(), name: file.name, file,
    fileId: share(file), sound: null, progress: null, from };
  // A new recording is taken from its start to its end, at the Rate chosen.
  update({ inputChoices, input,
    fields: { start: kDefaultFields.start, length: kDefaultFields.length },
    problems: { recording: '', input: '', fit: '' } });
  let opened;
  try {
    if (file.size === 0) {
      opened = { problem: empty(file.name) };
    } else {
      const sound = await call('openWav', { recording: input.serial, file: input.fileId,
        size: file.size });
      opened = sound ? { sound } : await decode(input);
      if (opened.sound?.frames === 0) opened = { problem: empty(file.name) };
    }
  } catch (error) {
    if (error.cancelled) return;
    opened = { problem: error.unreadable || error.name === 'NotReadableError'
      ? unreadable(file.name) : `"${file.name}" could not be read: ${error.message}.` };
  }
  if (!isCurrent(input)) {
    // Opened after it was replaced: the worker drops it again.
    call('forget', { recording: input.serial }).catch(() => {});
    return;
  }
  if (opened.problem) update({ input: null, problems: { recording: opened.problem } });
  else if (opened.sound) update({ input: { ...current().input, sound: opened.sound } });
}

// The worker's reading of the whole recording, for the levels of low rates.
events.addEventListener('progress', ({ detail }) => {
  const { input } = current();
  if (input?.serial !== detail.recording) return;
  if (detail.unreadable) update({ input: null, problems: { recording: unreadable(input.name) } });
  else update({ input: { ...input, progress: { done: detail.done, total: detail.total } } });
});

chooser.addEventListener('change', () => {
  const [file] = chooser.files;
  if (file) chooseRecording(file, 'chooser');
});

const percent = ({ done, total }) => Math.floor((100 * done) / total);

// The recording's status: its length, what the fields make of it, the
// templates' room, the work under way and what went wrong.
function statusText(state) {
  const { input, problems, busy } = state;
  // A recording refused leaves no input: the input's status says why.
  if (input?.kind !== 'recording') return problems.fit;
  if (problems.recording) return problems.recording;
  if (!input.sound) return `Reading ${input.name}...`;
  const { sound } = input;
  const parts = [`${input.name}: ${duration(soundSeconds(sound))} of sound.`];
  if (sound.headerFrames) {
    parts.push('The file ends before the length its header gives, ' +
      `${duration(sound.headerFrames / sound.rate)}: the page takes the ` +
      `${duration(soundSeconds(sound))} it holds.`);
  }
  const conversion = conversionOf(state);
  if (state.fields.take !== 'samples') {
    parts.push(takeText(state));
  } else if (conversion.problem) {
    parts.push(conversion.problem);
  } else {
    const { count, seconds, start, rate } = conversion;
    parts.push(`It makes ${plural(count, 'byte')}: ${duration(seconds)} from ${start} s ` +
      `at ${rate}/s.`);
    const room = roomOf(state);
    if (room !== null) {
      parts.push(`The templates' room, ${plural(room, 'value')}: ${duration(room / rate)} ` +
        `at ${rate}/s.`);
    }
  }
  const { progress } = input;
  if (progress && progress.done < progress.total) {
    parts.push(`Reading the whole recording, for low rates: ${percent(progress)} %.`);
  }
  if (busy.download) parts.push(`Making the input bytes: ${percent(busy.download)} %.`);
  if (problems.fit) parts.push(problems.fit);
  return parts.join(' ');
}

// What Cycles or Contour make of the selection. A problem with the Pitch
// is said beside it.
function takeText(state) {
  const given = takeGiven(state);
  if (given.problem || given.waiting) {
    return given.problem === pitchOf(state).problem ? '' : given.problem ?? given.waiting;
  }
  const { take, size } = given;
  const span = `${duration(take.seconds)} from ${take.start} s`;
  return `It makes ${plural(size, 'byte')}: ` + (take.take === 'cycles'
    ? `${plural(take.cycles, 'cycle')} of ${+take.pitch.toFixed(2)} Hz a patch, from moments ` +
      `spread over ${span}.` : `the loudness of ${span}, in ${plural(size, 'step')}.`);
}

subscribe((state, before) => {
  // A recording no longer chosen is forgotten by the worker.
  const old = before?.input;
  if (old?.kind === 'recording' && old.serial !== state.input?.serial) {
    call('forget', { recording: old.serial }).catch(() => {});
    unshare(old.fileId);
  }
  const { input } = state;
  if (!(input?.kind === 'recording' && input.from === 'chooser')) chooser.value = '';
  say(status, statusText(state));
});
