// Steps 3 and 5: the patch name, and the run. The run is the console
// program itself, in the worker, with the input's name and the patch name
// as its two answers. The page shows its transcript byte for byte, its
// exit code, each file it wrote with a download link, and all of them in
// one zip named after the patch name the run used. The result belongs to
// the choices it was made from: any change clears it, and its links go
// with it.
import { current, subscribe, update, when } from './state.js';
import { call } from './programs.js';
import { say, unreadable } from './messages.js';
import { inputGiven, runKey, settled, templatesGiven } from './derived.js';
import { patchNameProblem, zipName } from './names.js';
import { headOf } from './input_file.js';

const nameField = document.getElementById('patch-name');
const nameStatus = document.getElementById('patch-name-status');
const runButton = document.getElementById('run');
const runBusy = document.getElementById('run-busy');
const runStatus = document.getElementById('run-status');
const transcript = document.getElementById('console');
const exitCode = document.getElementById('exit-code');
const patchList = document.getElementById('patches');
const zipLink = document.getElementById('zip');

const sameBytes = (a, b) => a.length === b.length && a.every((byte, i) => byte === b[i]);

// The name of a chosen file that no longer reads as it did when chosen,
// or null. The templates and an input file's first bytes are compared;
// a recording's file must still be readable.
async function changedFile({ templates, input }) {
  const checks = [...templates.files.values()].map(({ file, bytes }) =>
    [file, file.arrayBuffer().then((read) => sameBytes(new Uint8Array(read), bytes))]);
  if (input?.kind === 'file') {
    checks.push([input.file, headOf(input.file).then((head) => sameBytes(head, input.head))]);
  } else if (input?.kind === 'recording') {
    checks.push([input.file, input.file.slice(0, 1).arrayBuffer().then(() => true)]);
  }
  const same = await Promise.all(checks.map(([, check]) => check.catch(() => false)));
  const changed = same.indexOf(false);
  return changed < 0 ? null : checks[changed][0].name;
}

function problemBeforeRun(state) {
  const given = inputGiven(state);
  return patchNameProblem(state.fields.patchName) ||
    (state.templates.files.size === 0
      ? 'There are no templates yet: choose them under Templates, or press Use the examples.'
      : '') ||
    given.problem || given.waiting || (templatesGiven(state) ? '' : 'Reading the templates...');
}

async function run() {
  const state = await when(settled);
  const problem = problemBeforeRun(state);
  if (problem) {
    update({ problems: { run: problem } });
    return;
  }
  update({ busy: { run: true }, problems: { run: '' } });
  update({ busy: { run: false }, ...(await runOf(state)) });
}

// The changes that a run of the choices of `state` makes.
async function runOf(state) {
  const key = runKey(state);
  const changed = await changedFile(state);
  if (changed) return { problems: { run: unreadable(changed) } };
  const { key: inputKey, ...input } = inputGiven(state);
  let result;
  try {
    result = await call('run', { templates: templatesGiven(state).files, input,
      patchName: state.fields.patchName });
  } catch (error) {
    return { problems: { run: error.unreadable ? unreadable(error.unreadable.name)
      : `The run could not be made: ${error.message}.` } };
  }
  if (runKey(current()) !== key) {
    return { problems: { run: 'The choices changed while the run was made, so its result ' +
      'was dropped: press Run again.' } };
  }
  return { problems: { run: '' }, run: { key, patchName: state.fields.patchName, ...result } };
}

// The object URLs of the result on screen, released when it goes.
let links = [];

function link(name, blob, element = document.createElement('a')) {
  element.href = URL.createObjectURL(blob);
  links.push(element.href);
  element.download = name;
  return element;
}

function showResult(result) {
  for (const url of links) URL.revokeObjectURL(url);
  links = [];
  transcript.textContent = result?.transcript ?? '';
  exitCode.textContent = result ? `Exit code ${result.exitCode}` : '';
  patchList.replaceChildren(...(result?.patches ?? []).map((patch) => {
    const item = document.createElement('li');
    const anchor = link(patch.name, new Blob([patch.bytes]));
    anchor.textContent = patch.name;
    item.append(anchor, patch.leftEmpty ? ': 0 bytes, left empty by the failed run, ' +
      'as the console program leaves it; not in the zip' : `: ${patch.bytes.length} bytes`);
    return item;
  }));
  zipLink.hidden = !result || result.patches.every((patch) => patch.leftEmpty);
  if (!zipLink.hidden) {
    link(zipName(result.patchName), new Blob([result.zip], { type: 'application/zip' }),
      zipLink);
  }
}

nameField.addEventListener('input', () => update({ fields: { patchName: nameField.value } }));
runButton.addEventListener('click', run);

subscribe((state, before) => {
  // A result made from other choices than these is no longer shown.
  if (state.run && state.run.key !== runKey(state)) {
    update({ run: null, problems: { run: '' } });
    return;
  }
  // A sentence about earlier choices goes with them.
  if (before && !state.busy.run && state.problems.run && runKey(state) !== runKey(before)) {
    update({ problems: { run: '' } });
    return;
  }
  if (nameField.value !== state.fields.patchName) nameField.value = state.fields.patchName;
  say(nameStatus, patchNameProblem(state.fields.patchName));
  runButton.disabled = state.busy.run;
  say(runBusy, state.busy.run ? 'Running...' : '');
  say(runStatus, state.problems.run);
  if (!before || state.run !== before.run) showResult(state.run);
});
