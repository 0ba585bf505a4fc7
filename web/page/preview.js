// Step 4: the preview. Whenever the templates or the input change, the
// worker runs quorbel-preview on them and the page shows the chart of the
// values, each patch's apart, and under Details its report, warnings
// marked out. The templates' room (the values a run can take) comes from
// the same call. A preview
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
import { parseChart, previewLineOf, previewOf } from './derived.js';

const report = document.getElementById('preview');
const errors = document.getElementById('preview-status');
const busyLine = document.getElementById('preview-busy');
const chart = document.getElementById('chart');

async function make(state, key, signal) {
  const made = previewOf(state);
  if (!made.key) return { preview: null, busy: { preview: false }, problems: { preview: '' } };
  update({ busy: { preview: true } });
  try {
    const { key: inputKey, ...input } = made.input ?? {};
    const result = await call('preview', { templates: made.templates.files,
      input: made.input ? input : null }, { signal });
    const chart = parseChart(result.chart);
    return {
      preview: { key, templatesKey: made.templates.key, hasInput: made.input !== null,
        ...result, exitCode: chart.exitCode, chart, take: made.input?.recording ?? null,
        line: previewLineOf(state) },
      busy: { preview: false },
      problems: { preview: '' },
    };
  } catch (error) {
    if (error.cancelled) return { busy: { preview: false } };
    return { preview: null, busy: { preview: false }, problems: { preview: error.unreadable
      ? unreadable(error.unreadable.name) : `The preview could not be made: ${error.message}.` } };
  }
}

// A preview for the same templates and input lands meanwhile.
const sameLine = (madeFrom, now) => previewLineOf(madeFrom) !== null &&
  previewLineOf(madeFrom) === previewLineOf(now);
follow((state) => previewOf(state).key ?? null, make, {
  overtaken: (changes, madeFrom, now) =>
    (changes.preview && sameLine(madeFrom, now) ? { preview: changes.preview } : null),
  stale: (madeFrom, now) => !sameLine(madeFrom, now),
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
    if (preview) showReport(preview.report);
    else report.textContent = wanted.wait ?? '';
    drawChart(chart, preview?.hasInput ? preview.chart : null, preview?.take?.take === 'cycles');
  }
  say(errors, state.problems.preview || (preview?.errors ?? ''));
  // Busy while a preview is made, or while the one shown is an earlier one.
  const busy = state.busy.preview || (preview !== null && preview.key !== wanted.key);
  report.setAttribute('aria-busy', String(busy));
  say(busyLine, busy ? 'Updating the preview for your latest choice...' : '');
});
