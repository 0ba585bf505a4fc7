// The web page with long recordings, in headless Chromium: how soon each
// choice and change reaches the screen, the longest task of the page's
// main thread meanwhile, the page's memory, the time to make all the
// input bytes, each change to the chart while a handle is dragged, a
// 2-hour recording read whole against the browser's own read of the file,
// and the page reopened offline. Three runs of each; the figures go to
// standard output.
//   node bench/web_page.mjs [--busy] [--runs N] [--only GROUP,...]
// (after the site's build, as for the tests). --busy keeps both cores of
// the machine busy with two looping processes while it measures, as other
// work beside the page would; --only runs some of the groups of rows:
// ten-minute, drag, offline, one-hour, mp3, two-hours. A 10-minute MP3 is
// measured too where `lame` is installed.
import { spawn, spawnSync } from 'node:child_process';
import { closeSync, mkdtempSync, openSync, rmSync, writeSync } from 'node:fs';
import { loadavg, tmpdir } from 'node:os';
import { join } from 'node:path';
import { parseArgs } from 'node:util';
import { serve } from '../web/tests/browser.mjs';
import { launchContext } from '../web/tests/drivers/chromium.mjs';
import * as h from '../web/tests/helpers.mjs';

const kGroups = ['ten-minute', 'drag', 'offline', 'one-hour', 'mp3', 'two-hours'];
const { values: options } = parseArgs({ options: {
  busy: { type: 'boolean', default: false },
  runs: { type: 'string', default: '3' },
  only: { type: 'string', default: kGroups.join(',') },
} });
const kRuns = Number(options.runs);
const only = new Set(options.only.split(','));
for (const group of only) {
  if (!kGroups.includes(group)) throw new Error(`No group ${group}: ${kGroups.join(', ')}`);
}

// The recordings, made when a group first needs one, and the loops of the
// busy mode: all gone when this process ends, however it ends.
const folder = mkdtempSync(join(tmpdir(), 'quorbel-bench-'));
const loops = [];
process.on('exit', () => {
  for (const loop of loops) loop.kill();
  rmSync(folder, { recursive: true, force: true });
});
for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.on(signal, () => process.exit(1));

// A loop that keeps one core busy and ends by itself once this process
// has gone, even if it was killed and never stopped it.
function busyLoop() {
  const source = `const parent = ${process.pid};
    for (let i = 1; ; ++i) if (i % 1e7 === 0 && process.ppid !== parent) process.exit();`;
  const loop = spawn(process.execPath, ['-e', source], { stdio: 'ignore' });
  loops.push(loop);
}

const load = () => loadavg().map((value) => value.toFixed(2)).join(' ');

// A tone with a little noise, 16-bit PCM, written a minute at a time so
// that a recording of hours is never held whole.
function longWav(name, seconds, rate, channels) {
  const frames = seconds * rate;
  const header = Buffer.alloc(44);
  h.wav([], rate).copy(header);
  header.writeUInt32LE(36 + frames * channels * 2, 4);
  header.writeUInt16LE(channels, 22);
  header.writeUInt32LE(rate * channels * 2, 28);
  header.writeUInt16LE(channels * 2, 32);
  header.writeUInt32LE(frames * channels * 2, 40);
  const path = join(folder, name);
  const file = openSync(path, 'w');
  try {
    writeSync(file, header);
    const chunk = 60 * rate;
    const samples = new Int16Array(chunk * channels);
    for (let first = 0; first < frames; first += chunk) {
      const count = Math.min(chunk, frames - first);
      for (let j = 0; j < count; ++j) {
        const i = first + j;
        const value = 12000 * Math.sin(2 * Math.PI * 220 * i / rate) +
          2000 * (Math.random() - 0.5);
        for (let c = 0; c < channels; ++c) samples[j * channels + c] = value;
      }
      writeSync(file, samples, 0, count * channels * 2);
    }
  } finally {
    closeSync(file);
  }
  return path;
}

// Each recording made once, when first asked for.
const made = new Map();
function recording(name, make) {
  if (!made.has(name)) made.set(name, make());
  return made.get(name);
}
const tenMinutes = () => recording('ten_min.wav', () => longWav('ten_min.wav', 600, 44100, 2));
const tenSeconds = () => recording('ten_s.wav', () => longWav('ten_s.wav', 10, 44100, 2));
const oneHour = () => recording('one_hour.wav', () => longWav('one_hour.wav', 3600, 8000, 1));
// Two hours at 44.1 kHz, mono (635 MB): in stereo it would take 1.27 GB.
const twoHours = () =>
  recording('two_hours.wav', () => longWav('two_hours.wav', 7200, 44100, 1));
const mp3 = () => recording('ten_min.mp3', () => {
  const path = join(folder, 'ten_min.mp3');
  return spawnSync('lame', ['--silent', '-b', '128', tenMinutes(), path]).status === 0
    ? path : null;
});

// Milliseconds in the page's clock from the first change, input or click
// event that `act` causes until the preview is up to date and shows
// `text`.
async function timed(page, act, text = '') {
  await page.evaluate((wanted) => {
    const report = document.getElementById('preview');
    window.bench = { start: null, end: null };
    const mark = () => { window.bench.start ??= performance.now(); };
    for (const type of ['change', 'input', 'click']) {
      document.addEventListener(type, mark, { capture: true, once: true });
    }
    const observer = new MutationObserver(() => {
      if (window.bench.start === null || report.getAttribute('aria-busy') !== 'false' ||
        !report.textContent.includes(wanted)) return;
      window.bench.end = performance.now();
      observer.disconnect();
    });
    observer.observe(document.body, { subtree: true, childList: true, characterData: true,
      attributes: true });
  }, text);
  await act();
  await page.waitForFunction(() => window.bench.end !== null, null, { timeout: 600000 });
  return page.evaluate(() => Math.round(window.bench.end - window.bench.start));
}

// The page, with the examples, and the longest main-thread task from now.
async function freshPage(context, served) {
  const page = await context.newPage();
  await page.addInitScript(() => {
    window.longest = 0;
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.longest = Math.max(window.longest,
        entry.duration);
    }).observe({ type: 'longtask', buffered: true });
  });
  await page.goto(served.url);
  // The preview's report, which the figures watch, lies under Details.
  await page.getByText('Details', { exact: true }).click();
  await page.getByRole('button', { name: 'Use the examples' }).click();
  await page.getByLabel('Preview', { exact: true })
    .filter({ hasText: 'Summary: patches written 4' }).waitFor();
  return page;
}

const memory = (page) => page.evaluate(async () =>
  (await performance.measureUserAgentSpecificMemory()).bytes);
// The status says nothing of the whole read until its first slice is in,
// so the wait asks the page's state (with a test that returns at once: a
// promise would count as true).
async function readWhole(page) {
  await page.evaluate(async () => { window.benchState ??= await import('./page/state.js'); });
  await page.waitForFunction(() => {
    const { progress } = window.benchState.current().input ?? {};
    return progress && progress.done === progress.total;
  }, null, { timeout: 900000 });
}
const resetLongest = (page) => page.evaluate(() => { window.longest = 0; });
const longest = (page) => page.evaluate(() => Math.round(window.longest));

const figures = {};
// Each figure is told on standard error as it comes, as the whole bench
// takes long; standard output has them all at the end.
const record = (name, value) => {
  (figures[name] ??= []).push(value);
  console.error(`${name}: ${value}`);
};

// Milliseconds from each change of the input's settings during a drag of
// the Start handle (40 steps, one every 16 ms, over half the recording) to
// the first frame that draws a chart made for that change or a later one:
// {median, p95}. A change that the next overtook before its chart was
// made counts until the chart of a later one is drawn.
async function dragTimes(page, steps = 40) {
  await page.evaluate(async () => {
    if (window.drag) {
      window.drag = { changes: [], drawn: [] };
      return;
    }
    const { subscribe } = await import('./page/state.js');
    const { inputGiven } = await import('./page/derived.js');
    window.drag = { changes: [], drawn: [] };
    let last = inputGiven((await import('./page/state.js')).current()).key;
    subscribe((state, before) => {
      const key = inputGiven(state).key;
      if (key !== last) window.drag.changes.push({ key, at: performance.now() });
      last = key;
      if (before && state.preview && state.preview !== before.preview) {
        const made = state.preview.key.split('|')[1];
        requestAnimationFrame((at) => window.drag.drawn.push({ key: made, at }));
      }
    });
  });
  const box = await page.getByRole('region', { name: 'Waveform' }).locator('canvas')
    .boundingBox();
  const grip = await page.getByRole('slider', { name: 'Start' }).boundingBox();
  const y = grip.y + grip.height / 2;
  await page.mouse.move(grip.x + grip.width / 2, y);
  await page.mouse.down();
  for (let i = 1; i <= steps; ++i) {
    await page.mouse.move(box.x + box.width * (0.1 + (0.5 * i) / steps), y);
    await page.waitForTimeout(16);
  }
  await page.mouse.up();
  await page.waitForFunction(() => {
    const { changes, drawn } = window.drag;
    return drawn.some((draw) => draw.key === changes.at(-1).key);
  }, null, { timeout: 60000 });
  const { changes, drawn } = await page.evaluate(() => window.drag);
  const order = new Map(changes.map((change, i) => [change.key, i]));
  const times = changes.map((change, i) => Math.min(...drawn
    .filter((draw) => (order.get(draw.key) ?? -1) >= i && draw.at >= change.at)
    .map((draw) => draw.at - change.at))).sort((a, b) => a - b);
  return { median: Math.round(times[Math.floor(times.length / 2)]),
    p95: Math.round(times[Math.ceil(0.95 * times.length) - 1]), changes: times.length,
    drawn: drawn.length };
}

// The rows of a drag of Start over the recording `name` on `page`; returns
// the longest task during it.
async function recordDrag(page, name) {
  const drag = await dragTimes(page);
  record(`${name}: drag of Start, each change to the chart on screen, median (ms)`, drag.median);
  record(`${name}: the same, 95th percentile (ms)`, drag.p95);
  record(`${name}: the same, changes / charts drawn`, `${drag.changes}/${drag.drawn}`);
  const dragged = await longest(page);
  record(`${name}: longest task during the drag (ms)`, dragged);
  return dragged;
}

// Milliseconds in the page's clock from choosing `path` under Recording
// until the recording's status no longer says that it is reading it, once
// it has said that it reads it whole (between the header and the first
// slice it says neither).
async function readTime(page, path) {
  await page.evaluate(() => {
    const status = document.getElementById('recording-status');
    window.read = { start: null, seen: false, end: null };
    document.getElementById('recording').addEventListener('change', () => {
      window.read.start = performance.now();
    }, { capture: true, once: true });
    const observer = new MutationObserver(() => {
      if (window.read.start === null) return;
      const text = status.textContent;
      if (text.includes('Reading the whole')) window.read.seen = true;
      else if (window.read.seen && !text.includes('Reading')) {
        window.read.end = performance.now();
        observer.disconnect();
      }
    });
    observer.observe(status, { subtree: true, childList: true, characterData: true });
  });
  await page.getByLabel('Recording').setInputFiles(path);
  await page.waitForFunction(() => window.read.end !== null, null, { timeout: 900000 });
  return page.evaluate(() => Math.round(window.read.end - window.read.start));
}

// Milliseconds in the page's clock for the browser's own read of the file
// at `path` whole, File.arrayBuffer(), chosen through an input added for
// the bench alone and removed after.
async function arrayBufferTime(page, path) {
  const input = await page.evaluateHandle(() => {
    const element = document.createElement('input');
    element.type = 'file';
    element.hidden = true;
    document.body.append(element);
    return element;
  });
  await input.setInputFiles(path);
  const ms = await page.evaluate(async (element) => {
    const [file] = element.files;
    const start = performance.now();
    const bytes = await file.arrayBuffer();
    const end = performance.now();
    element.remove();
    if (bytes.byteLength !== file.size) throw new Error('File.arrayBuffer() read short');
    return Math.round(end - start);
  }, input);
  await input.dispose();
  return ms;
}

// Each group of rows, on fresh pages of the one browser.
const groups = {
  async 'ten-minute'(context, served) {
    const page = await freshPage(context, served);
    const field = (label) => page.getByLabel(label, { exact: true });
    record('10-minute WAV: choose to preview (ms)', await timed(page,
      () => page.getByLabel('Recording').setInputFiles(tenMinutes()),
      'Input ten_min.raw: 2400000 bytes'));
    await readWhole(page);
    record('10-minute WAV: longest task while chosen and read (ms)', await longest(page));
    await resetLongest(page);
    record('10-minute WAV: Rate 3000 to preview (ms)', await timed(page,
      () => field('Rate').fill('3000'), 'Input ten_min.raw: 1800000 bytes'));
    record('10-minute WAV: Length 2 to preview (ms)', await timed(page,
      () => field('Length').fill('2'), 'Input ten_min.raw: 6000 bytes'));
    record('10-minute WAV: Start 100 to preview (ms)', await timed(page,
      () => field('Start').fill('100')));
    record('10-minute WAV: Fit to preview (ms)', await timed(page,
      () => page.getByRole('button', { name: 'Fit' }).click(),
      'Input ten_min.raw: 240 bytes'));
    await field('Length').fill('');
    await field('Start').fill('0');
    record('10-minute WAV: Fit over the whole, to preview (ms)', await timed(page,
      () => page.getByRole('button', { name: 'Fit' }).click(),
      'Input ten_min.raw: 240 bytes'));
    record('10-minute WAV: longest task while changed (ms)', await longest(page));
    // Cycles at a typed pitch, 2 s from a new Start each time.
    await page.getByRole('radio', { name: 'Cycles' }).click();
    await field('Pitch').fill('220');
    await field('Length').fill('2');
    await page.getByLabel('Preview', { exact: true })
      .filter({ hasText: 'Input ten_min.raw: 240 bytes' }).waitFor({ timeout: 600000 });
    for (const start of ['100', '300']) {
      record('10-minute WAV: Cycles, a new Start to preview (ms)', await timed(page,
        () => field('Start').fill(start), 'Input ten_min.raw: 240 bytes'));
    }
    await page.getByRole('radio', { name: 'Samples' }).click();
    await field('Length').fill('');
    await field('Start').fill('0');
    await field('Rate').fill('4000');
    const started = Date.now();
    await Promise.all([page.waitForEvent('download', { timeout: 600000 }),
      page.getByRole('button', { name: 'Download the input bytes' }).click()]);
    record('10-minute WAV: Download the input bytes at 4000/s (ms)', Date.now() - started);
    await page.close();
  },

  async drag(context, served) {
    // The longest task over a choice and its read, the drag, and a Rate
    // change after it, each measured apart and the highest kept.
    let page = await freshPage(context, served);
    await resetLongest(page);
    await page.getByLabel('Recording').setInputFiles(tenMinutes());
    await page.getByLabel('Preview', { exact: true })
      .filter({ hasText: 'Input ten_min.raw: 2400000 bytes' }).waitFor({ timeout: 600000 });
    await readWhole(page);
    const chosen = await longest(page);
    await resetLongest(page);
    const dragged = await recordDrag(page, '10-minute WAV');
    await resetLongest(page);
    await timed(page, () => page.getByLabel('Rate', { exact: true }).fill('3000'));
    record('10-minute WAV: longest task of the choice and its read, the drag, Rate 3000 (ms)',
      Math.max(chosen, dragged, await longest(page)));
    await page.close();

    // The same over a recording short enough to be kept in memory whole.
    page = await freshPage(context, served);
    await page.getByLabel('Recording').setInputFiles(tenSeconds());
    await page.getByLabel('Preview', { exact: true })
      .filter({ hasText: 'Input ten_s.raw: 40000 bytes' }).waitFor();
    await readWhole(page);
    const short = await dragTimes(page);
    record('10-second WAV: drag of Start, each change to the chart on screen, median (ms)',
      short.median);
    record('10-second WAV: the same, 95th percentile (ms)', short.p95);
    await page.close();
  },

  // Opened once, then reopened with no network.
  async offline(context, served) {
    const page = await context.newPage();
    await page.goto(served.url);
    await page.getByText('This page works offline').waitFor();
    await context.setOffline(true);
    try {
      await page.reload();
      const ready = await page.evaluate(() =>
        performance.getEntriesByType('navigation')[0].domContentLoadedEventEnd);
      const shown = await h.timeInPage(page, 'use-examples', () =>
        document.getElementById('preview').textContent.includes('Summary: patches'));
      record('reload offline to the examples\' preview (ms)', Math.round(ready + shown));
    } finally {
      await context.setOffline(false);
    }
    await page.close();
  },

  async 'one-hour'(context, served) {
    const page = await freshPage(context, served);
    const before = await memory(page);
    record('one-hour WAV: choose to preview (ms)', await timed(page,
      () => page.getByLabel('Recording').setInputFiles(oneHour()),
      'Input one_hour.raw: 14400000 bytes'));
    await readWhole(page);
    record('one-hour WAV: longest task while chosen and read (ms)', await longest(page));
    record('one-hour WAV: memory over the examples\' (MB)',
      +(((await memory(page)) - before) / 1e6).toFixed(1));
    await page.close();
  },

  async mp3(context, served) {
    if (!mp3()) return;
    const page = await freshPage(context, served);
    record('10-minute MP3: choose to preview (ms)', await timed(page,
      () => page.getByLabel('Recording').setInputFiles(mp3()),
      'Input ten_min.raw:'));
    await resetLongest(page);
    record('10-minute MP3: Rate 3000 to preview (ms)', await timed(page,
      () => page.getByLabel('Rate', { exact: true }).fill('3000'),
      'bytes, 2048 values'));
    record('10-minute MP3: Fit to preview (ms)', await timed(page,
      () => page.getByRole('button', { name: 'Fit' }).click(),
      'values unused 0'));
    record('10-minute MP3: longest task while changed (ms)', await longest(page));
    await page.close();
  },

  async 'two-hours'(context, served) {
    // Read whole, then the same file read by the browser alone, in the
    // same page: the file is in the system's cache for both.
    let page = await freshPage(context, served);
    let read;
    record('2-hour WAV: choose to preview (ms)', await timed(page, async () => {
      read = await readTime(page, twoHours());
    }, 'Input two_hours.raw: 28800000 bytes'));
    const bare = await arrayBufferTime(page, twoHours());
    record('2-hour WAV: read whole, choice to no more Reading (ms)', read);
    record('2-hour WAV: File.arrayBuffer() of the same file (ms)', bare);
    record('2-hour WAV: read whole / File.arrayBuffer()', +(read / bare).toFixed(1));
    await page.close();

    // Fit at once after the choice; then the Rate back at 4000/s and the
    // drag, with the longest task over all of them.
    page = await freshPage(context, served);
    const field = (label) => page.getByLabel(label, { exact: true });
    await resetLongest(page);
    await page.getByLabel('Recording').setInputFiles(twoHours());
    record('2-hour WAV: Fit at once after the choice, to the fitted preview (ms)',
      await timed(page, () => page.getByRole('button', { name: 'Fit' }).click(),
        'Input two_hours.raw: 240 bytes'));
    await readWhole(page);
    record('2-hour WAV: Rate 4000 after Fit, to preview (ms)', await timed(page,
      () => field('Rate').fill('4000'), 'Input two_hours.raw: 28800000 bytes'));
    const changed = await longest(page);
    await resetLongest(page);
    const dragged = await recordDrag(page, '2-hour WAV');
    record('2-hour WAV: longest task of the choice, Fit, Rate 4000 and the drag (ms)',
      Math.max(changed, dragged));
    await page.close();
  },
};

if (options.busy) {
  busyLoop();
  busyLoop();
}
console.log(`${options.busy ? 'busy (two loops keep both cores busy)' : 'idle'}; ` +
  `load average at the start ${load()}`);
try {
  const served = await serve();
  const { context, close } = await launchContext({ viewport: { width: 1000, height: 1400 } });
  try {
    for (let run = 0; run < kRuns; ++run) {
      for (const group of kGroups) if (only.has(group)) await groups[group](context, served);
    }
  } finally {
    await close();
    await served.close();
  }
} finally {
  for (const loop of loops) loop.kill();
}
for (const [name, values] of Object.entries(figures)) console.log(`${name}: ${values.join(', ')}`);
if (only.has('mp3') && !mp3()) console.log('10-minute MP3: not measured (no `lame` to make one)');
console.log(`${options.busy ? 'busy' : 'idle'}; load average at the end ${load()}`);
