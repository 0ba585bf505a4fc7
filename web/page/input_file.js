// Step 2, first way: an input file, taken as plain bytes exactly as the
// console program takes it. Only its first bytes are read, as many as a
// program can read (the sample limit): the programs are given those and
// the file's size. This module also shows which input the page holds,
// whichever way it came.
import { current, nextSerial, subscribe, update, when } from './state.js';
import { conversionOf, inputGiven, plural } from './derived.js';
import { inputNameProblem } from './names.js';
import { say, unreadable } from './messages.js';

const chooser = document.getElementById('input-file');
const status = document.getElementById('input-status');

const kOrigins = { chooser: 'the chosen file', examples: 'the examples', drop: 'a dropped file' };

// The bytes of `file` that a program can read.
export async function headOf(file) {
  const { facts } = await when((state) => state.facts);
  return new Uint8Array(await file.slice(0, facts.sampleLimit).arrayBuffer());
}

// Takes `file` as the input, `from` the way it came. Resolves once its
// first bytes are read.
export async function chooseInput(file, from) {
  const inputChoices = current().inputChoices + 1;
  const problem = inputNameProblem(file.name);
  if (problem) {
    update({ inputChoices, input: null, problems: { input: problem, recording: '' } });
    return;
  }
  const input = { kind: 'file', serial: nextSerial(), name: file.name, file, size: file.size,
    head: null, from };
  update({ inputChoices, input, problems: { input: '', recording: '' } });
  let head = null;
  try {
    head = await headOf(file);
  } catch {
    // Said below.
  }
  if (current().input?.serial !== input.serial) return;
  if (head) update({ input: { ...input, head } });
  else update({ input: null, problems: { input: unreadable(file.name) } });
}

chooser.addEventListener('change', () => {
  const [file] = chooser.files;
  if (file) chooseInput(file, 'chooser');
});

subscribe((state) => {
  const { input } = state;
  // The chooser shows a file only while it is the input.
  if (!(input?.kind === 'file' && input.from === 'chooser')) chooser.value = '';
  const given = inputGiven(state);
  // What the status of the recording held says (recording.js) is
  // not said again; a recording refused, which leaves no input, is said
  // here alone.
  const saidThere = input?.kind === 'recording' && input.sound &&
    given.problem === conversionOf(state).problem;
  if (given.problem || given.waiting) {
    say(status, saidThere ? '' : given.problem ?? given.waiting);
  } else {
    const origin = input.kind === 'file' ? kOrigins[input.from]
      : `the recording "${input.name}"`;
    say(status, `Input: ${given.name}, ${plural(given.size, 'byte')}, from ${origin}.`);
  }
});
