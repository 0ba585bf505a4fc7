// Step 4: the preview. Whenever the templates or the input change, the
// worker runs quorbel-preview on them and the page shows its report,
// warnings marked out, with the chart of the values below. The templates'
// room (the values a run can take) comes from the same call. A preview
// made for choices since replaced never lands, but for one made for the
// same templates and input at an earlier Rate, Start or Length: it is
// shown while the next is made, so that the chart follows a handle as it
// moves. The one on screen while a new one is made is marked as being
// updated.
import { follow } from './scheduler.js';
import { call } from './programs.js';
import { drawChart } from './chart.js';
import { say, unreadable } from './messages.js';
import { subscribe, update } from './state.js';
import { inputGiven, templatesGiven } from './derived.js';

const report = document.getElementById('preview');
const errors = document.getElementById('preview-status');
const busyLine = document.getElementById('preview-busy');
const chart = document.getElementById('chart');

// What the preview is made from: {key, templates, input}, or {wait} with
// the sentence to show meanwhile. A problem with the input leaves the
// templates alone.
function previewOf(state) {
  if (!state.facts) return { wait: 'Loading the programs...' };
  if (state.templates.files.size === 0) {
    return { wait: 'The preview appears here once there are templates.' };
  }
  const templates = templatesGiven(state);
  if (!templates) return { wait: 'Reading the templates...' };
  const given = inputGiven(state);
  if (given.waiting) return { wait: given.waiting };
  const input = given.problem ? null : given;
  return { key: `${templates.key}|${input?.key ?? 'no input'}`, templates, input };
}

// The preview of the choices as they are now, or null while it is made.
export function currentPreview(state) {
  return state.preview && state.preview.key === previewOf(state).key ? state.preview : null;
}

// The templates and the input a preview was made for, whatever the
// settings that make a recording's bytes.
function lineOf(state) {
  const made = previewOf(state);
  return made.key ? `${made.templates.key}|${state.input?.kind}${state.input?.serial}` : null;
}

// The templates' room per the preview of the templates now chosen, or
// null.
export function roomOf(state) {
  const templates = templatesGiven(state);
  return state.preview && templates && state.preview.templatesKey === templates.key
    ? state.preview.chart.room : null;
}

// "room N", "values V...", "patch P FIRST COUNT", "exit N" lines: see
// chart_data.cc.
function parseChart(text) {
  const data = { room: 0, values: [], patches: [], exitCode: null };
  for (const line of text.trim().split('\n')) {
    const [word, ...numbers] = line.split(' ').filter(Boolean).map((item, i) =>
      (i === 0 ? item : Number(item)));
    if (word === 'room') data.room = numbers[0];
    if (word === 'values') data.values = numbers;
    if (word === 'exit') data.exitCode = numbers[0];
    if (word === 'patch') {
      data.patches.push({ number: numbers[0], first: numbers[1], count: numbers[2] });
    }
  }
  return data;
}

async function make(state, key) {
  const made = previewOf(state);
  if (!made.key) return { preview: null, busy: { preview: false }, problems: { preview: '' } };
  update({ busy: { preview: true } });
  try {
    const { key: inputKey, ...input } = made.input ?? {};
    const result = await call('preview', { templates: made.templates.files,
      input: made.input ? input : null });
    const chart = parseChart(result.chart);
    return {
      preview: { key, templatesKey: made.templates.key, hasInput: made.input !== null,
        ...result, exitCode: chart.exitCode, chart },
      busy: { preview: false },
      problems: { preview: '' },
    };
  } catch (error) {
    if (error.cancelled) return { busy: { preview: false } };
    return {
      preview: null,
      busy: { preview: false },
      problems: { preview: error.unreadable ? unreadable(error.unreadable.name)
        : `The preview could not be made: ${error.message}.` },
    };
  }
}

follow((state) => previewOf(state).key ?? null, make, {
  overtaken: (changes, madeFrom, now) => (changes.preview && lineOf(madeFrom) !== null &&
    lineOf(madeFrom) === lineOf(now) ? { preview: changes.preview } : null),
});

function showReport(text) {
  report.replaceChildren(...text.split(/(?<=\n)/).map((line) => {
    if (!line.startsWith('Warning: ')) return document.createTextNode(line);
    const mark = document.createElement('mark');
    mark.textContent = line;
    return mark;
  }));
}

subscribe((state, before) => {
  const { preview } = state;
  const wanted = previewOf(state);
  if (!before || preview !== before.preview || wanted.wait !== previewOf(before).wait) {
    if (preview) {
      showReport(preview.report);
      drawChart(chart, preview.hasInput ? preview.chart : null);
    } else {
      report.textContent = wanted.wait ?? '';
      drawChart(chart, null);
    }
  }
  say(errors, state.problems.preview || (preview?.errors ?? ''));
  const stale = preview !== null && preview.key !== wanted.key;
  report.setAttribute('aria-busy', String(state.busy.preview || stale));
  say(busyLine, state.busy.preview || stale
    ? 'Updating the preview for your latest choice...' : '');
});
