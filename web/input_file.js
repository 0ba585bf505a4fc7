// Step 2, first way: an input file, taken as plain bytes exactly as the
// console program takes it. The file is never read here: the programs read
// it in the worker, as far as they need.
import * as files from './files.js';

const chooser = document.getElementById('input-file');

chooser.addEventListener('change', () => {
  const [file] = chooser.files;
  if (file) files.setInput(file.name, file, 'the chosen file', 'input file');
});

// The input in use, whichever way it came.
const status = document.getElementById('input-status');
files.events.addEventListener('change', () => {
  const input = files.currentInput();
  status.textContent = input
    ? `Input: ${input.name}, ${input.blob.size} bytes, from ${input.origin}.`
    : files.problemWithInput();
});
