// Step 1: the templates. The user chooses them (several files at once, or
// drops them on the page), or takes the bundled examples, which bring the
// input file sample.raw too. The page lists which of the four it has; a
// file under another name is refused with a word, as a run would never
// read it.
import * as files from './files.js';
import { say } from './messages.js';

const kNames = ['1Template.pch', '2Template.pch', '3Template.pch', '4Template.pch'];
const kExampleInput = 'sample.raw';

const chooser = document.getElementById('templates');
const list = document.getElementById('template-list');
const status = document.getElementById('templates-status');

function take(chosen) {
  const wanted = chosen.filter((file) => kNames.includes(file.name));
  const others = chosen.filter((file) => !kNames.includes(file.name));
  if (wanted.length > 0) files.setTemplates(wanted);
  say(status, others.length === 0 ? '' :
    `${others.map((file) => `"${file.name}"`).join(', ')} ` +
    `${others.length === 1 ? 'is' : 'are'} not a template: the templates must be ` +
    'named 1Template.pch to 4Template.pch. Rename the file and choose it again.');
}

async function fetchExample(name) {
  const response = await fetch(`examples/${name}`);
  if (!response.ok) throw new Error(`examples/${name}: ${response.status}`);
  return new File([await response.blob()], name);
}

// Fetched with the page, so that they are there offline too; fetched
// again by a press after a failure.
let examples = null;
function fetchExamples() {
  examples ??= Promise.all([Promise.all(kNames.map(fetchExample)), fetchExample(kExampleInput)]);
  examples.catch(() => { examples = null; });
  return examples;
}
fetchExamples();

async function useExamples() {
  say(status, '');
  try {
    const [templates, input] = await fetchExamples();
    files.together(() => {
      files.setTemplates(templates, true);
      files.setInput(input.name, input, 'the examples', 'templates');
    });
  } catch (error) {
    say(status, `The examples could not be loaded (${error.message}). ` +
      'Reload the page and try again.');
  }
}

function showList() {
  list.replaceChildren(...kNames.map((name) => {
    const item = document.createElement('li');
    const file = files.templates.get(name);
    item.textContent = file ? `${name}: ${file.size} bytes` : `${name}: missing`;
    item.className = file ? 'present' : 'missing';
    return item;
  }));
}

chooser.addEventListener('change', () => {
  take([...chooser.files]);
});
document.getElementById('use-examples').addEventListener('click',
  () => files.track(useExamples()));

// Files dropped anywhere on the page: templates by their names, and one
// other file as the input, taken as plain bytes.
document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', (event) => {
  event.preventDefault();
  const dropped = [...event.dataTransfer.files];
  const others = dropped.filter((file) => !kNames.includes(file.name));
  if (others.length !== 1) {
    take(dropped);
    return;
  }
  files.together(() => {
    files.setInput(others[0].name, others[0], 'a dropped file', 'templates');
    take(dropped.filter((file) => kNames.includes(file.name)));
  });
});

files.events.addEventListener('change', showList);
showList();
