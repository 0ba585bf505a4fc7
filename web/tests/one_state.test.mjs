// The page as a user changes their mind: the last choice wins, what the
// page lists is what a run uses, a result goes with the choices it was
// made from, and names the page cannot pass are refused with a sentence.
import assert from 'node:assert/strict';
import { closeSync, ftruncateSync, openSync, writeFileSync, writeSync } from 'node:fs';
import { test } from 'node:test';
import * as h from './helpers.mjs';

const site = h.siteInBrowser();

const preview = (page) => page.getByLabel('Preview', { exact: true });
const button = (page, name) => page.getByRole('button', { name, exact: true });
const inputLine = (page) => page.locator('#input-status');

const tone = (seconds, rate = 44100) => h.wav(Array.from({ length: Math.round(seconds * rate) },
  (_, i) => 0.5 * Math.sin(i / 10)), rate);

test('a recording still being read loses to a later choice', async () => {
  const page = await site.open();
  await button(page, 'Use the examples').click();
  await page.getByLabel('Recording').setInputFiles(h.filesOnDisk({ 'long.wav': tone(30) }));
  await page.getByLabel('Input file')
    .setInputFiles(h.filesOnDisk({ 'other.raw': Buffer.alloc(300, 200) }));
  await preview(page).filter({ hasText: 'Input other.raw: 300 bytes' }).waitFor();
  // Long enough for the recording's reading to have ended.
  for (let i = 0; i < 30; ++i) {
    assert.match(await inputLine(page).textContent(), /^Input: other\.raw, 300 bytes/);
    await page.waitForTimeout(100);
  }
  assert.equal(await page.getByLabel('Recording').inputValue(), '');
  assert.match(await preview(page).textContent(), /Input other\.raw: 300 bytes/);

  // The examples replace a chosen input file, and its chooser shows none.
  await button(page, 'Use the examples').click();
  await preview(page).filter({ hasText: 'Input sample.raw: 256 bytes' }).waitFor();
  assert.equal(await page.getByLabel('Input file').inputValue(), '');
  assert.deepEqual(page.errors, []);
});

test('a new choice of templates replaces the set, and each can be removed', async () => {
  const page = await site.open();
  await button(page, 'Use the examples').click();
  await preview(page).filter({ hasText: 'Summary: patches written 4' }).waitFor();
  const three = h.examples(['1Template.pch', '2Template.pch', '3Template.pch']);
  await page.getByLabel('Templates', { exact: true }).setInputFiles(h.filesOnDisk(three));
  await page.getByText('4Template.pch: missing').waitFor();
  const run = await h.runOnPage(page);
  const native = h.nativeRun({ ...three, ...h.examples(['sample.raw']) }, 'sample.raw', 'demo');
  assert.match(run.transcript, h.endsWithReport('File not found.'));
  assert.equal(h.maskPlace(run.transcript), h.maskPlace(native.stdout));
  assert.equal(run.exitCode, 'Exit code 1');

  await button(page, 'Remove 2Template.pch').click();
  await page.getByText('2Template.pch: missing').waitFor();
  const left = { ...h.examples(['1Template.pch', '3Template.pch', 'sample.raw']) };
  const expected = h.nativePreviewOf(left, 'sample.raw').stdout;
  await preview(page).filter({ hasText: expected.trim().split('\n').at(-1) }).waitFor();
  assert.equal(await preview(page).textContent(), expected);
  assert.equal(await page.getByLabel('Templates', { exact: true }).inputValue(), '');
  assert.deepEqual(page.errors, []);
});

test('a run\'s result goes with the choices it was made from', async () => {
  const page = await site.open();
  await button(page, 'Use the examples').click();
  await page.getByLabel('Patch name').fill('first');
  await h.runOnPage(page);
  const zip = page.getByRole('link', { name: 'All patches (.zip)' });
  assert.equal(await zip.getAttribute('download'), 'first.zip');
  assert.equal(await page.locator('#patches a').count(), 4);

  // Another name: the result of the first is gone, links and all.
  await page.getByLabel('Patch name').fill('second');
  await zip.waitFor({ state: 'hidden' });
  assert.equal(await page.getByLabel('Console').textContent(), '');
  assert.equal(await page.locator('#patches a').count(), 0);
  assert.equal(await zip.isHidden(), true);

  await h.runOnPage(page);
  assert.deepEqual(await page.locator('#patches a').allTextContents(),
    ['1second.pch', '2second.pch', '3second.pch', '4second.pch']);
  assert.equal(await zip.getAttribute('download'), 'second.zip');

  // A patch name that leaves no name for the zip.
  await page.getByLabel('Patch name').fill('..');
  await h.runOnPage(page);
  assert.equal((await h.downloaded(page, zip)).name, 'patches.zip');

  // Another input clears it too.
  await page.getByLabel('Input file')
    .setInputFiles(h.filesOnDisk({ 'other.raw': Buffer.alloc(10, 1) }));
  await zip.waitFor({ state: 'hidden' });
  assert.equal(await page.locator('#patches a').count(), 0);
  assert.deepEqual(page.errors, []);
});

test('inputs named like options are previewed as what they are', async () => {
  const page = await site.open();
  await button(page, 'Use the examples').click();
  for (const name of ['-x.raw', '--help']) {
    const files = { ...h.examples(), [name]: Buffer.alloc(70, 90) };
    await page.getByLabel('Input file').setInputFiles(h.filesOnDisk({ [name]: files[name] }));
    const native = h.nativePreviewOf(files, `./${name}`).stdout;
    await preview(page).filter({ hasText: `Input ./${name}: 70 bytes` }).waitFor();
    assert.equal(await preview(page).textContent(), native);
  }
  assert.deepEqual(page.errors, []);
});

test('dropped files: a recording by its kind, and two of one name refused', async () => {
  const page = await site.open();
  await h.drop(page, { ...h.examples(['1Template.pch', '2Template.pch']), 'tone.wav': tone(1) });
  await page.getByText('"tone.wav" is taken as a recording.').waitFor();
  await inputLine(page).filter({ hasText: 'Input: tone.raw, 4000 bytes, from the recording' })
    .waitFor();
  await page.getByRole('listitem').filter({ hasText: '2Template.pch: 920 bytes' }).waitFor();

  await h.drop(page, [['1Template.pch', Buffer.from('P1=1\r\n')],
    ['1Template.pch', Buffer.from('P1=2\r\n')]]);
  await page.getByText('Two dropped files are named "1Template.pch": drop one of them only.')
    .waitFor();
  await page.getByRole('listitem').filter({ hasText: '2Template.pch: 920 bytes' }).waitFor();

  // A name with a line break would be split across the run's two answers.
  await h.drop(page, { 'a\nb.raw': Buffer.alloc(5) });
  await inputLine(page).filter({ hasText: 'holds a line break' }).waitFor();
  await button(page, 'Run').click();
  await page.locator('#run-status').filter({ hasText: 'holds a line break' }).waitFor();
  assert.equal(await page.getByLabel('Console').textContent(), '');
  assert.deepEqual(page.errors, []);
});

test('a template changed on disk since it was chosen is named, and nothing runs', async () => {
  const page = await site.open();
  const paths = h.filesOnDisk(h.examples());
  await page.getByLabel('Templates', { exact: true })
    .setInputFiles(paths.filter((path) => path.endsWith('.pch')));
  await page.getByLabel('Input file').setInputFiles(paths.find((path) => path.endsWith('.raw')));
  await preview(page).filter({ hasText: 'Summary: patches written 4' }).waitFor();
  writeFileSync(paths.find((path) => path.endsWith('2Template.pch')), 'Type=91\r\nP1=5\r\n');
  await button(page, 'Run').click();
  await page.locator('#run-status').filter({ hasText:
    '"2Template.pch" changed or was removed since you chose it: choose it again.' }).waitFor();
  assert.equal(await page.getByLabel('Console').textContent(), '');
  assert.doesNotMatch(await page.locator('main').innerText(), /[Rr]eload/);
  assert.deepEqual(page.errors, []);
});

test('status lines say what the fields say now, and long reads say they are under way',
  async () => {
    const page = await site.open();
    await button(page, 'Use the examples').click();
    await page.getByLabel('Recording').setInputFiles(h.filesOnDisk({ 'tone.wav': tone(1) }));
    const status = page.locator('#recording-status');
    await status.filter({ hasText: 'It makes 4000 bytes' }).waitFor();
    await page.getByLabel('Rate').fill('2000');
    assert.match(await status.textContent(), /It makes 2000 bytes: 1 s from 0 s at 2000\/s\./);
    await page.getByLabel('Rate').fill('1');
    assert.match(await status.textContent(), /It makes 1 byte: 1 s from 0 s at 1\/s\./);

    // Every text the preview shows from the choice of a large template on.
    await page.evaluate(() => {
      window.shown = [];
      const report = document.getElementById('preview');
      new MutationObserver(() => window.shown.push(report.textContent))
        .observe(report, { childList: true, characterData: true, subtree: true });
    });
    const large = Buffer.alloc(50 * 1024 * 1024, 'x');
    await page.getByLabel('Templates', { exact: true })
      .setInputFiles(h.filesOnDisk({ '1Template.pch': large }));
    await preview(page).filter({ hasText: '1Template.pch: 52428800 bytes' }).waitFor();
    const shown = await page.evaluate(() => window.shown);
    assert.ok(shown.includes('Reading the templates...'), shown.join(' | '));
    assert.ok(!shown.some((text) => text.includes('once there are templates')));
    assert.deepEqual(page.errors, []);
  });

test('Fit says when a span is too short for the templates\' room', async () => {
  const page = await site.open();
  await button(page, 'Use the examples').click();
  await page.getByLabel('Recording').setInputFiles(h.filesOnDisk({ 'click.wav': tone(1 / 48000,
    48000) }));
  const status = page.locator('#recording-status');
  await status.filter({ hasText: 'click.wav: 0.021 ms of sound. At 4000/s, 0.021 ms of sound ' +
    'makes no value' }).waitFor();
  await button(page, 'Fit').click();
  await status.filter({ hasText: '0.021 ms is too short for the templates\' room, 240 values' })
    .waitFor();
  assert.equal(await page.getByLabel('Rate').inputValue(), '4000');
  assert.deepEqual(page.errors, []);
});

test('a WAV of 37 hours is a recording like any other', async () => {
  const [path] = h.filesOnDisk({ 'day.wav': Buffer.alloc(0) });
  const rate = 8000;
  const dataSize = 37 * 3600 * rate;
  // Mono, 8 bits: a file of 1 GB, sparse on disk.
  const header = h.wav([], rate);
  header.writeUInt16LE(8, 34);
  header.writeUInt16LE(1, 32);
  header.writeUInt32LE(rate, 28);
  header.writeUInt32LE(36 + dataSize, 4);
  header.writeUInt32LE(dataSize, 40);
  const fd = openSync(path, 'r+');
  writeSync(fd, header);
  ftruncateSync(fd, header.length + dataSize);
  closeSync(fd);

  const page = await site.open();
  await button(page, 'Use the examples').click();
  await page.getByLabel('Recording').setInputFiles(path);
  await page.locator('#recording-status').filter({ hasText: 'day.wav: 37 h of sound.' }).waitFor();
  await preview(page).filter({ hasText: `Input day.raw: ${37 * 3600 * 4000} bytes` }).waitFor();
  assert.deepEqual(page.errors, []);
});

test('on a phone\'s screen, labels stay by their fields and the chart\'s numbers readable',
  async () => {
    const page = await site.open();
    await page.setViewportSize({ width: 375, height: 667 });
    await button(page, 'Use the examples').click();
    await preview(page).filter({ hasText: 'Summary: patches written 4' }).waitFor();
    for (const name of ['Rate', 'Start', 'Length', 'Patch name']) {
      const label = await page.locator('label', { hasText: name }).first().boundingBox();
      const field = await page.getByLabel(name, { exact: true }).boundingBox();
      assert.ok(Math.abs((label.y + label.height / 2) - (field.y + field.height / 2)) < 8,
        `${name}: label and field on different lines`);
    }
    const numbers = await page.getByLabel('Chart').evaluate((chart) =>
      [...chart.querySelectorAll('.chart-numbers span')].map((number) =>
        parseFloat(getComputedStyle(number).fontSize)));
    assert.deepEqual(numbers.map((size) => size >= 11), [true, true, true, true]);
    assert.ok(await page.evaluate(() =>
      document.documentElement.scrollWidth <= window.innerWidth));
    assert.deepEqual(page.errors, []);
  });
