// Step 4: the preview. Whenever the templates or the input change, the
// worker runs quorbel-preview on them and the page shows its report as it
// prints it, warnings marked out, with the chart of the values below. The
// templates' room (the values a run can take) comes from the same call,
// for the recording's Fit.
import * as files from './files.js';
import { call } from './programs.js';
import { drawChart } from './chart.js';
import { say } from './messages.js';

export const events = new EventTarget();

const report = document.getElementById('preview');
const errors = document.getElementById('preview-status');
const chart = document.getElementById('chart');

// The room per the latest preview, or null without templates.
let latestRoom = null;

function showReport(text) {
  report.replaceChildren(...text.split(/(?<=\n)/).map((line) => {
    if (!line.startsWith('Warning: ')) return document.createTextNode(line);
    const mark = document.createElement('mark');
    mark.textContent = line;
    return mark;
  }));
}

// "room N", "values V...", "patch P FIRST COUNT" lines: see chart_data.cc.
function parseChart(text) {
  const data = { room: 0, values: [], patches: [] };
  for (const line of text.trim().split('\n')) {
    const [word, ...numbers] = line.split(' ').filter(Boolean).map((item, i) =>
      (i === 0 ? item : Number(item)));
    if (word === 'room') data.room = numbers[0];
    if (word === 'values') data.values = numbers;
    if (word === 'patch') {
      data.patches.push({ number: numbers[0], first: numbers[1], count: numbers[2] });
    }
  }
  return data;
}

async function previewOnce() {
  if (files.templates.size === 0) {
    latestRoom = null;
    report.textContent = 'The preview appears here once there are templates.';
    say(errors, '');
    drawChart(chart, null);
    return;
  }
  const input = files.currentInput();
  try {
    const result = await call('preview', {
      templates: [...files.templates.values()], input });
    showReport(result.report);
    say(errors, result.errors);
    const data = parseChart(result.chart);
    latestRoom = data.room;
    drawChart(chart, input ? data : null);
  } catch (error) {
    latestRoom = null;
    report.textContent = '';
    say(errors, `The preview could not be made: ${error.message}. ` +
      'Check the files you chose, or reload the page.');
    drawChart(chart, null);
  }
  events.dispatchEvent(new Event('room'));
}

// One preview at a time; changes made meanwhile are taken by one more.
const refresh = files.oneAtATime(previewOnce);

// The templates' room once the preview under way is done.
export async function room() {
  while (refresh.running()) await refresh.running();
  return latestRoom;
}

files.events.addEventListener('change', () => files.track(refresh()));
refresh();
