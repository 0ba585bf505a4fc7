// Steps 3 and 5: the patch name, and the run. The run is the console
// program itself, in the worker, with the input's name and the patch name
// as its two answers. The page shows its transcript byte for byte, its
// exit code, each file it wrote with a download link, and all of them in
// one zip.
import * as files from './files.js';
import { call } from './programs.js';
import { say } from './messages.js';

const nameField = document.getElementById('patch-name');
const nameStatus = document.getElementById('patch-name-status');
const runButton = document.getElementById('run');
const runStatus = document.getElementById('run-status');
const transcript = document.getElementById('console');
const exitCode = document.getElementById('exit-code');
const patchList = document.getElementById('patches');
const zipLink = document.getElementById('zip');

// The page has one folder and makes no other: a name with a folder in it
// would only fail.
function nameProblem() {
  return nameField.value.includes('/')
    ? 'A patch name cannot hold "/": the page writes all patches into one folder. ' +
      'Choose a name without it.'
    : '';
}

nameField.addEventListener('input', () => say(nameStatus, nameProblem()));

let links = [];

function clearResult() {
  for (const url of links) URL.revokeObjectURL(url);
  links = [];
  transcript.textContent = '';
  exitCode.textContent = '';
  patchList.replaceChildren();
  zipLink.hidden = true;
}

function download(name, blob) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  links.push(link.href);
  link.download = name;
  link.textContent = name;
  return link;
}

async function run() {
  clearResult();
  say(runStatus, '');
  await files.settled();
  const input = files.currentInput();
  const problem = nameProblem() || (files.templates.size === 0
    ? 'There are no templates yet: choose them under Templates, or press Use the examples.'
    : input ? '' : files.problemWithInput());
  say(runStatus, problem);
  if (problem) return;
  const result = await call('run', {
    templates: [...files.templates.values()], input, patchName: nameField.value });
  transcript.textContent = result.transcript;
  exitCode.textContent = `Exit code ${result.exitCode}`;
  patchList.replaceChildren(...result.patches.map((patch) => {
    const item = document.createElement('li');
    item.append(download(patch.name, new Blob([patch.bytes])), `: ${patch.bytes.length} bytes`);
    return item;
  }));
  if (result.patches.length > 0) {
    zipLink.href = URL.createObjectURL(new Blob([result.zip], { type: 'application/zip' }));
    links.push(zipLink.href);
    const name = nameField.value.replace(/\.pch$/, '');
    zipLink.download = `${name === '' ? 'patches' : name}.zip`;
    zipLink.hidden = false;
  }
}

runButton.addEventListener('click', async () => {
  runButton.disabled = true;
  try {
    await run();
  } catch (error) {
    say(runStatus, `The run could not be made: ${error.message}. Reload the page and try again.`);
  } finally {
    runButton.disabled = false;
  }
});
