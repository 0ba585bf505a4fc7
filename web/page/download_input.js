// The download of the input bytes: a recording's values made by the
// worker by its Take, by steps, or an input file as it is, to feed the console
// program too.
import { current, subscribe, update, when } from './state.js';
import { call } from './programs.js';
import { inputGiven, settled } from './derived.js';
import { unreadable } from './messages.js';

const downloadButton = document.getElementById('download-input');

// Values asked of the worker at a time while the input bytes are made.
const kDownloadStep = 1 << 16;

// Makes all the input bytes of the recording, by steps, and saves them.
async function downloadValues() {
  const state = await when(settled);
  const given = inputGiven(state);
  if (given.problem || given.waiting) {
    update({ problems: { fit: given.problem ?? given.waiting } });
    return;
  }
  if (!given.recording) {
    save(given.name, state.input.file);
    return;
  }
  const parts = [];
  for (let from = 0; from < given.size; from += kDownloadStep) {
    update({ busy: { download: { done: from, total: given.size } } });
    try {
      parts.push(await call('values', { take: given.recording, from,
        count: Math.min(kDownloadStep, given.size - from) }));
    } catch (error) {
      update({ busy: { download: null }, problems: error.cancelled ? {} :
        { recording: error.unreadable ? unreadable(state.input.name) : error.message } });
      return;
    }
    if (inputGiven(current()).key !== given.key) {
      update({ busy: { download: null } });
      return;
    }
  }
  update({ busy: { download: null } });
  save(given.name, new Blob(parts));
}

function save(name, blob) {
  const link = Object.assign(document.createElement('a'), { href: URL.createObjectURL(blob),
    download: name });
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

downloadButton.addEventListener('click', downloadValues);
subscribe((state) => { downloadButton.disabled = state.busy.download !== null; });
