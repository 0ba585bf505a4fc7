// The web page with long recordings, in headless Chromium: how soon each
// choice and change reaches the screen, the longest task of the page's
// main thread meanwhile, the page's memory, the time to make all the
// input bytes, each change to the chart while a handle is dragged, and
// the page reopened offline. Three runs of each; the figures go to
// standard output.
//   node bench/web_page.mjs    (after the site's build, as for the tests)
// A 10-minute MP3 is measured too where `lame` is installed.
import { spawnSync } from 'node:child_process';
import { writeFileSync, mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { serve } from '../web/tests/browser.mjs';
import { launchContext } from '../web/tests/drivers/chromium.mjs';
import * as h from '../web/tests/helpers.mjs';

const kRuns = 3;
const folder = mkdtempSync(join(tmpdir(), 'quorbel-bench-'));

// A tone with a little noise, 16-bit PCM, written by frames.
function longWav(name, seconds, rate, channels) {
  const frames = seconds * rate;
  const bytes = Buffer.alloc(44 + frames * channels * 2);
  h.wav([], rate).copy(bytes);
  bytes.writeUInt32LE(36 + frames * channels * 2, 4);
  bytes.writeUInt16LE(channels, 22);
  bytes.writeUInt32LE(rate * channels * 2, 28);
  bytes.writeUInt16LE(channels * 2, 32);
  bytes.writeUInt32LE(frames * channels * 2, 40);
  const samples = new Int16Array(bytes.buffer, bytes.byteOffset + 44, frames * channels);
  for (let i = 0; i < frames; ++i) {
    const value = 12000 * Math.sin(2 * Math.PI * 220 * i / rate) + 2000 * (Math.random() - 0.5);
    for (let c = 0; c < channels; ++c) samples[i * channels + c] = value;
  }
  const path = join(folder, name);
  writeFileSync(path, bytes);
  return path;
}

const tenMinutes = longWav('ten_min.wav', 600, 44100, 2);
const tenSeconds = longWav('ten_s.wav', 10, 44100, 2);
const oneHour = longWav('one_hour.wav', 3600, 8000, 1);
const mp3 = join(folder, 'ten_min.mp3');
const haveMp3 = spawnSync('lame', ['--silent', '-b', '128', tenMinutes, mp3]).status === 0;

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
const readWhole = (page) => page.waitForFunction(() => !document
  .getElementById('recording-status').textContent.includes('Reading'), null,
{ timeout: 600000 });
const resetLongest = (page) => page.evaluate(() => { window.longest = 0; });
const longest = (page) => page.evaluate(() => Math.round(window.longest));

const figures = {};
const record = (name, value) => (figures[name] ??= []).push(value);

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

const served = await serve();
const { context, close } = await launchContext({ viewport: { width: 1000, height: 1400 } });
try {
  for (let run = 0; run < kRuns; ++run) {
    let page = await freshPage(context, served);
    const field = (label) => page.getByLabel(label, { exact: true });
    record('10-minute WAV: choose to preview (ms)', await timed(page,
      () => page.getByLabel('Recording').setInputFiles(tenMinutes),
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

    page = await freshPage(context, served);
    await page.getByLabel('Recording').setInputFiles(tenMinutes);
    await page.getByLabel('Preview', { exact: true })
      .filter({ hasText: 'Input ten_min.raw: 2400000 bytes' }).waitFor({ timeout: 600000 });
    await readWhole(page);
    await resetLongest(page);
    const drag = await dragTimes(page);
    record('10-minute WAV: drag of Start, each change to the chart on screen, median (ms)',
      drag.median);
    record('10-minute WAV: the same, 95th percentile (ms)', drag.p95);
    record('10-minute WAV: the same, changes / charts drawn', `${drag.changes}/${drag.drawn}`);
    record('10-minute WAV: longest task during the drag (ms)', await longest(page));
    await page.close();

    // The same over a recording short enough to be kept in memory whole.
    page = await freshPage(context, served);
    await page.getByLabel('Recording').setInputFiles(tenSeconds);
    await page.getByLabel('Preview', { exact: true })
      .filter({ hasText: 'Input ten_s.raw: 40000 bytes' }).waitFor();
    await readWhole(page);
    const short = await dragTimes(page);
    record('10-second WAV: drag of Start, each change to the chart on screen, median (ms)',
      short.median);
    record('10-second WAV: the same, 95th percentile (ms)', short.p95);
    await page.close();

    // Opened once, then reopened with no network.
    page = await context.newPage();
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

    page = await freshPage(context, served);
    const before = await memory(page);
    record('one-hour WAV: choose to preview (ms)', await timed(page,
      () => page.getByLabel('Recording').setInputFiles(oneHour),
      'Input one_hour.raw: 14400000 bytes'));
    await readWhole(page);
    record('one-hour WAV: longest task while chosen and read (ms)', await longest(page));
    record('one-hour WAV: memory over the examples\' (MB)',
      +(((await memory(page)) - before) / 1e6).toFixed(1));
    await page.close();

    if (haveMp3) {
      page = await freshPage(context, served);
      record('10-minute MP3: choose to preview (ms)', await timed(page,
        () => page.getByLabel('Recording').setInputFiles(mp3),
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
    }
  }
} finally {
  await close();
  await served.close();
}
for (const [name, values] of Object.entries(figures)) console.log(`${name}: ${values.join(', ')}`);
if (!haveMp3) console.log('10-minute MP3: not measured (no `lame` to make one)');
