// Step 2, second way: a recording. A WAV file is read by the worker, by
// slices, as far as the values asked for need it; another format is
// decoded once by the browser and handed to the worker whole. The input is
// then the values at the chosen Rate from the chosen Start for the chosen
// Length (or to the end), made on demand: a preview or a run takes only
// the values it reads.
import { current, kDefaultFields, nextSerial, subscribe, update } from './state.js';
import { call, events, share, unshare } from './programs.js';
import { rawName } from './derived.js';
import { inputNameProblem } from './names.js';
import { unreadable } from './messages.js';
import { decode, empty } from './decode.js';

const chooser = document.getElementById('recording');

const isCurrent = (input) => current().input?.serial === input.serial;

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

subscribe((state, before) => {
  // A recording no longer chosen is forgotten by the worker.
  const old = before?.input;
  if (old?.kind === 'recording' && old.serial !== state.input?.serial) {
    call('forget', { recording: old.serial }).catch(() => {});
    unshare(old.fileId);
  }
  const { input } = state;
  if (!(input?.kind === 'recording' && input.from === 'chooser')) chooser.value = '';
});
