// Step 1: the templates. A choice of templates (several files at once, a
// drop on the page, or the bundled examples) replaces the set the page
// holds, and each template listed can be removed: what the list shows is
// what a run gets. A file under a name the run never reads is refused
// with a word. The names come from the programs themselves.
import { current, nextSerial, subscribe, update, when } from './state.js';
import { say, unreadable } from './messages.js';
import { chooseInput } from './input_file.js';
import { exampleFile } from '../shared/site_files.js';

const chooser = document.getElementById('templates');
const list = document.getElementById('template-list');
const status = document.getElementById('templates-status');

const kExampleInput = 'sample.raw';

const quoted = (files) => files.map((file) => `"${file.name}"`).join(', ');

// Takes the templates among `chosen` as the new set, `from` the way they
// came; says which files are no template. Resolves once they are read.
export async function chooseTemplates(chosen, from) {
  const { facts } = await when((state) => state.facts);
  const isTemplate = (file) => facts.templateNames.includes(file.name);
  const others = chosen.filter((file) => !isTemplate(file));
  const problem = others.length === 0 ? '' : `${quoted(others)} ` +
    `${others.length === 1 ? 'is' : 'are'} not a template: the templates must be named ` +
    `${facts.templateNames[0]} to ${facts.templateNames.at(-1)}. ` +
    'Rename the file and choose it again.';
  const wanted = chosen.filter(isTemplate);
  if (wanted.length === 0) {
    // The set stays; a chooser that shows the refused files no longer
    // shows it.
    const { templates } = current();
    update({ templates: from === 'chooser' ? { ...templates, from: 'refused' } : templates,
      problems: { templates: problem } });
    return;
  }
  const serial = nextSerial();
  const files = new Map(wanted.map((file) => [file.name, { file, bytes: null }]));
  update({ templates: { serial, files, from }, problems: { templates: problem } });
  await Promise.all(wanted.map(async (file) => {
    let bytes = null;
    try {
      bytes = new Uint8Array(await file.arrayBuffer());
    } catch {
      // Said below, and the template left out.
    }
    // Dropped only when the set no longer holds this very file under its
    // name (removed, or another chosen in its place): removing another
    // template while this one is read keeps it.
    const { templates, problems } = current();
    if (templates.files.get(file.name)?.file !== file) return;
    const kept = new Map(templates.files);
    if (bytes) kept.set(file.name, { file, bytes });
    else kept.delete(file.name);
    update({ templates: { ...templates, files: kept }, problems: bytes ? {}
      : { templates: `${problems.templates} ${unreadable(file.name)}`.trim() } });
  }));
}

function remove(name) {
  const { templates } = current();
  const files = new Map(templates.files);
  files.delete(name);
  update({ templates: { serial: nextSerial(), files, from: 'removal' },
    problems: { templates: '' } });
}

// Fetched with the page, so that they are there offline too; fetched
// again by a press after a failure.
let examples = null;
function fetchExamples() {
  examples ??= when((state) => state.facts).then(({ facts }) =>
    Promise.all([...facts.templateNames, kExampleInput].map(exampleFile)));
  examples.catch(() => { examples = null; });
  return examples;
}
fetchExamples();

// The examples replace the templates and the input, unless one of them
// was chosen another way while the examples were fetched: the last choice
// wins.
async function useExamples() {
  const pressed = current();
  let files;
  try {
    files = await fetchExamples();
  } catch (error) {
    update({ problems: { templates: `The examples could not be loaded (${error.message}). ` +
      'Check the connection and press Use the examples again.' } });
    return;
  }
  const now = current();
  await Promise.all([
    now.templates.serial === pressed.templates.serial
      ? chooseTemplates(files.slice(0, -1), 'examples') : null,
    now.inputChoices === pressed.inputChoices ? chooseInput(files.at(-1), 'examples') : null]);
}

function showList({ facts, templates }) {
  if (!facts) return;
  list.replaceChildren(...facts.templateNames.map((name) => {
    const item = document.createElement('li');
    const chosen = templates.files.get(name);
    if (!chosen) {
      return Object.assign(item, { textContent: `${name}: missing`, className: 'missing' });
    }
    item.className = 'present';
    item.textContent = chosen.bytes ? `${name}: ${chosen.bytes.length} bytes ` :
      `${name}: reading... `;
    const button = Object.assign(document.createElement('button'), { type: 'button',
      textContent: 'Remove' });
    button.setAttribute('aria-label', `Remove ${name}`);
    button.addEventListener('click', () => remove(name));
    item.append(button);
    return item;
  }));
}

chooser.addEventListener('change', () => chooseTemplates([...chooser.files], 'chooser'));
document.getElementById('use-examples').addEventListener('click', useExamples);

subscribe((state, before) => {
  say(status, state.problems.templates);
  if (before && state.templates === before.templates && state.facts === before.facts) return;
  showList(state);
  // The chooser shows a choice only while it is the set the page holds.
  if (state.templates.from !== 'chooser') chooser.value = '';
});
