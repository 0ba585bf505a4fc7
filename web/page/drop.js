// Files dropped anywhere on the page: the templates among them by their
// names, and one other file as the input: a recording when its type or
// name says it is sound, otherwise plain bytes. A drop the page cannot
// take whole is refused with a sentence, and nothing of it is taken.
import { update, when } from './state.js';
import { chooseTemplates } from './templates.js';
import { chooseInput } from './input_file.js';
import { chooseRecording } from './recording.js';

const kSoundNames = /\.(wav|wave|mp3|ogg|oga|opus|flac|m4a|aac|aif|aiff|webm)$/i;

const isSound = (file) => file.type.startsWith('audio/') || kSoundNames.test(file.name);

async function take(dropped) {
  const { facts } = await when((state) => state.facts);
  const names = dropped.map((file) => file.name);
  const twice = names.find((name, i) => names.indexOf(name) !== i);
  const templates = dropped.filter((file) => facts.templateNames.includes(file.name));
  const others = dropped.filter((file) => !templates.includes(file));
  let problem = '';
  if (twice !== undefined) {
    problem = `Two dropped files are named "${twice}": drop one of them only.`;
  } else if (others.length > 1) {
    problem = `${others.map((file) => `"${file.name}"`).join(', ')} are not templates, and ` +
      'the page takes one input at a time: drop the templates with one input file or ' +
      'recording.';
  }
  update({ problems: { drop: problem }, statuses: { drop: '' } });
  if (problem) return;
  const [input] = others;
  if (input && isSound(input)) {
    update({ statuses: { drop: `"${input.name}" is taken as a recording.` } });
  }
  await Promise.all([
    templates.length > 0 ? chooseTemplates(templates, 'drop') : null,
    input ? (isSound(input) ? chooseRecording(input, 'drop') : chooseInput(input, 'drop'))
      : null,
  ]);
}

document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', (event) => {
  event.preventDefault();
  take([...event.dataTransfer.files]);
});
