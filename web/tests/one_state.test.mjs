// The page as a user changes their mind: the last choice wins, what the
// page lists is what a run uses, a result goes with the choices it was
// made from, and names the page cannot pass are refused with a sentence.
import assert from 'node:assert/strict';
import { closeSync, ftruncateSync, openSync, writeFileSync, writeSync } from 'node:fs';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';

const site = h.siteInBrowser();

const preview = (page) => page.labelled('Preview');
const inputLine = (page) => page.css('#input-status');
const linkCount = (page) => page.css('#patches a').count();
const pause = (ms) => new Promise((done) => setTimeout(done, ms));

const tone = (seconds, rate = 44100) => h.wav(Array.from({ length: Math.round(seconds * rate) },
  (_, i) => 0.5 * Math.sin(i / 10)), rate);

test('a recording still being read loses to a later choice', async () => {
  const page = await site.open();
  await page.button('Use the examples').click();
  // No recording yet: its status is hidden.
  assert.notEqual(await page.css('#recording-status').attribute('hidden'), null);
  await page.labelled('Recording').setFiles(h.filesOnDisk({ 'long.wav': tone(30) }));
  await page.labelled('Input file')
    .setFiles(h.filesOnDisk({ 'other.raw': Buffer.alloc(300, 200) }));
  await preview(page).waitFor('Input other.raw: 300 bytes');
  // Long enough for the recording's reading to have ended.
  for (let i = 0; i < 30; ++i) {
    assert.match(await inputLine(page).text(), /^Input: other\.raw, 300 bytes/);
    await pause(100);
  }
  assert.equal(await page.labelled('Recording').value(), '');
  assert.match(await preview(page).text(), /Input other\.raw: 300 bytes/);

  // The examples replace a chosen input file, and its chooser shows none.
  await page.button('Use the examples').click();
  await preview(page).waitFor('Input sample.raw: 256 bytes');
  assert.equal(await page.labelled('Input file').value(), '');
  assert.deepEqual(await page.errors(), []);
});

test('a new choice of templates replaces the set, and each can be removed', async () => {
  const page = await site.open();
  await page.button('Use the examples').click();
  await preview(page).waitFor('Summary: patches written 4');
  const three = h.examples(['1Template.pch', '2Template.pch', '3Template.pch']);
  await page.labelled('Templates').setFiles(h.filesOnDisk(three));
  await page.text('4Template.pch: missing').waitFor();
  const run = await h.runOnPage(page);
  const native = h.nativeRun({ ...three, ...h.examples(['sample.raw']) }, 'sample.raw', 'demo');
  assert.match(run.transcript, h.endsWithReport('File not found.'));
  assert.equal(h.maskPlace(run.transcript), h.maskPlace(native.stdout));
  assert.equal(run.exitCode, 'Exit code 1');

  await page.button('Remove 2Template.pch').click();
  await page.text('2Template.pch: missing').waitFor();
  const left = h.examples(['1Template.pch', '3Template.pch', 'sample.raw']);
  const expected = h.nativePreviewOf(left, 'sample.raw').stdout;
  await preview(page).waitFor(expected.trim().split('\n').at(-1));
  assert.equal(await preview(page).text(), expected);
  assert.equal(await page.labelled('Templates').value(), '');

  // A template removed while another is still read: that one is read on.
  // Its read is held (as a large file's takes long) until the removal.
  await page.evaluate(async (two) => {
    const one = new File(['P1=1\r\n'], '1Template.pch');
    const read = one.arrayBuffer.bind(one);
    one.arrayBuffer = () => new Promise((done) => { window.release = () => done(read()); });
    (await import('./page/templates.js'))
      .chooseTemplates([one, new File([new Uint8Array(two)], '2Template.pch')], 'drop');
  }, [...h.examples(['2Template.pch'])['2Template.pch']]);
  await page.button('Remove 2Template.pch').click();
  await page.evaluate(() => window.release());
  await page.text('1Template.pch: 6 bytes').waitFor();
  assert.deepEqual(await page.errors(), []);
});

test('a run\'s result goes with the choices it was made from', async () => {
  const page = await site.open();
  const zip = page.css('#zip');
  const gone = () => page.until(async () =>
    (await zip.attribute('hidden')) !== null && await linkCount(page) === 0 || undefined,
  'the result to go');
  await page.button('Use the examples').click();
  await page.labelled('Patch name').fill('first');
  // What says "Running..." while the run is made: a status, not a problem.
  await page.evaluate(() => new MutationObserver(() => {
    const line = [...document.querySelectorAll('p:not([hidden])')]
      .find((shown) => shown.textContent === 'Running...');
    if (line) window.running = `${line.getAttribute('role')} ${line.className}`;
  }).observe(document.body, { subtree: true, childList: true, attributes: true }));
  await h.runOnPage(page);
  assert.equal(await page.evaluate(() => window.running), 'status hint');
  assert.equal(await page.link('All patches (.zip)').attribute('download'), 'first.zip');
  assert.equal(await linkCount(page), 4);

  // Another name: the result of the first is gone, links and all.
  await page.labelled('Patch name').fill('second');
  await gone();
  assert.equal(await page.labelled('Console').text(), '');

  await h.runOnPage(page);
  assert.deepEqual(await page.css('#patches a').texts(),
    ['1second.pch', '2second.pch', '3second.pch', '4second.pch']);
  assert.equal(await page.link('All patches (.zip)').attribute('download'), 'second.zip');

  // A patch name that leaves no name for the zip.
  await page.labelled('Patch name').fill('..');
  await h.runOnPage(page);
  assert.equal((await page.link('All patches (.zip)').download()).name, 'patches.zip');

  // Another input clears it too.
  await page.labelled('Input file').setFiles(h.filesOnDisk({ 'other.raw': Buffer.alloc(10, 1) }));
  await gone();
  assert.deepEqual(await page.errors(), []);
});

// One after another, as the previews share an instance: after "temp", the
// scratch file's name, the next preview finds no "temp".
test('inputs named like options or the scratch file are previewed as what they are', async () => {
  const page = await site.open();
  await page.button('Use the examples').click();
  for (const [name, given] of [['-x.raw', './-x.raw'], ['temp', 'temp'],
    ['--help', './--help']]) {
    const files = { ...h.examples(), [name]: Buffer.alloc(70, 90) };
    await page.labelled('Input file').setFiles(h.filesOnDisk({ [name]: files[name] }));
    await preview(page).waitFor(`Input ${given}: 70 bytes`);
    assert.equal(await preview(page).text(), h.nativePreviewOf(files, given).stdout);
  }
  assert.deepEqual(await page.errors(), []);
});

test('dropped files: a recording by its kind, and two of one name refused', async () => {
  const page = await site.open();
  await page.drop({ ...h.examples(['1Template.pch', '2Template.pch']), 'tone.wav': tone(1) });
  await page.text('"tone.wav" is taken as a recording.').waitFor();
  await inputLine(page).waitFor('Input: tone.raw, 4000 bytes, from the recording');
  await page.text('2Template.pch: 920 bytes').waitFor();

  await page.drop([['1Template.pch', Buffer.from('P1=1\r\n')],
    ['1Template.pch', Buffer.from('P1=2\r\n')]]);
  await page.text('Two dropped files are named "1Template.pch": drop one of them only.')
    .waitFor();
  assert.match(await page.css('#template-list').text(), /1Template\.pch: 920 bytes/);

  // A name with a line break would be split across the run's two answers.
  await page.drop({ 'a\nb.raw': Buffer.alloc(5) });
  await inputLine(page).waitFor('holds a line break');
  // The chart goes with the input, moving Run: a click meanwhile may miss.
  await page.labelled('Chart').waitFor('appears here once there are templates and an input');
  await page.button('Run').click();
  await page.css('#run-status').waitFor('holds a line break');
  assert.equal(await page.labelled('Console').text(), '');
  assert.deepEqual(await page.errors(), []);
});

test('a template changed on disk since it was chosen is named, and nothing runs', async () => {
  const page = await site.open();
  const paths = h.filesOnDisk(h.examples());
  await page.labelled('Templates').setFiles(paths.filter((path) => path.endsWith('.pch')));
  await page.labelled('Input file').setFiles(paths.find((path) => path.endsWith('.raw')));
  await preview(page).waitFor('Summary: patches written 4');
  writeFileSync(paths.find((path) => path.endsWith('2Template.pch')), 'Type=91\r\nP1=5\r\n');
  await page.button('Run').click();
  await page.css('#run-status')
    .waitFor('"2Template.pch" changed or was removed since you chose it: choose it again.');
  assert.equal(await page.labelled('Console').text(), '');
  assert.doesNotMatch(await page.evaluate(() => document.querySelector('main').innerText),
    /[Rr]eload/);
  assert.deepEqual(await page.errors(), []);
});

test('status lines say what the fields say now, and long reads say they are under way',
  async () => {
    const page = await site.open();
    await page.button('Use the examples').click();
    await page.labelled('Recording').setFiles(h.filesOnDisk({ 'tone.wav': tone(1) }));
    const status = page.css('#recording-status');
    await status.waitFor('It makes 4000 bytes');
    await page.labelled('Rate').fill('2000');
    assert.match(await status.text(), /It makes 2000 bytes: 1 s from 0 s at 2000\/s\./);
    await page.labelled('Rate').fill('1');
    assert.match(await status.text(), /It makes 1 byte: 1 s from 0 s at 1\/s\./);

    // Every text the preview shows from the choice of a large template on.
    await page.evaluate(() => {
      window.shown = [];
      const report = document.getElementById('preview');
      new MutationObserver(() => window.shown.push(report.textContent))
        .observe(report, { childList: true, characterData: true, subtree: true });
    });
    const large = Buffer.alloc(50 * 1024 * 1024, 'x');
    await page.labelled('Templates').setFiles(h.filesOnDisk({ '1Template.pch': large }));
    await preview(page).waitFor('1Template.pch: 52428800 bytes');
    const shown = await page.evaluate(() => window.shown);
    assert.ok(shown.includes('Reading the templates...'), shown.join(' | '));
    assert.ok(!shown.some((text) => text.includes('once there are templates')));

    // With this template each preview takes seconds: one overtaken by
    // another input is never shown, even for a moment.
    await page.evaluate(() => { window.shown = []; });
    const [a, b] = h.filesOnDisk({ 'a.raw': Buffer.alloc(9, 1), 'b.raw': Buffer.alloc(7, 2) });
    await page.labelled('Input file').setFiles(a);
    await page.labelled('Input file').setFiles(b);
    await preview(page).waitFor('Input b.raw: 7 bytes');
    const shownSince = await page.evaluate(() => window.shown);
    assert.ok(!shownSince.some((text) => text.includes('Input a.raw')), shownSince.join(' | '));

    // A recording refused once a later input was chosen leaves that input
    // alone (its opening waits behind such a preview, a run behind it).
    const [silent, c] = h.filesOnDisk({ 'silent.wav': h.wav([], 44100), 'c.raw': '12345' });
    await page.labelled('Input file').setFiles(a);
    await page.labelled('Recording').setFiles(silent);
    await page.labelled('Input file').setFiles(c);
    await preview(page).waitFor('Input c.raw: 5 bytes');
    await h.runOnPage(page);
    assert.match(await inputLine(page).text(), /^Input: c\.raw, 5 bytes/);
    assert.deepEqual(await page.errors(), []);
  });

test('Fit says when a span is too short for the templates\' room', async () => {
  const page = await site.open();
  await page.button('Use the examples').click();
  await page.labelled('Recording')
    .setFiles(h.filesOnDisk({ 'click.wav': tone(1 / 48000, 48000) }));
  const status = page.css('#recording-status');
  await status.waitFor('click.wav: 0.021 ms of sound. At 4000/s, 0.021 ms of sound ' +
    'makes no value');
  await page.button('Fit').click();
  await status.waitFor('0.021 ms is too short for the templates\' room, 240 values');
  assert.equal(await page.labelled('Rate').value(), '4000');
  assert.deepEqual(await page.errors(), []);
});

test('a WAV of 37 hours is a recording like any other', async () => {
  const [path] = h.filesOnDisk({ 'day.wav': Buffer.alloc(0) });
  const rate = 8000;
  const dataSize = 37 * 3600 * rate;
  // Mono, 8 bits: a file of 1 GB, sparse on disk.
  const header = h.wav([], rate, { bits: 8 });
  header.writeUInt32LE(36 + dataSize, 4);
  header.writeUInt32LE(dataSize, 40);
  const fd = openSync(path, 'r+');
  writeSync(fd, header);
  ftruncateSync(fd, header.length + dataSize);
  closeSync(fd);

  const page = await site.open();
  await page.button('Use the examples').click();
  await page.labelled('Recording').setFiles(path);
  await page.css('#recording-status').waitFor('day.wav: 37 h of sound.');
  await preview(page).waitFor(`Input day.raw: ${37 * 3600 * 4000} bytes`);
  assert.deepEqual(await page.errors(), []);
});

test('on a phone\'s screen, labels stay by their fields and the chart\'s numbers readable',
  { needs: 'phoneView' }, async () => {
    const page = await site.open();
    await page.resize(375, 667);
    await page.button('Use the examples').click();
    await preview(page).waitFor('Summary: patches written 4');
    const layout = await page.evaluate(() => {
      const middle = (element) => {
        const box = element.getBoundingClientRect();
        return box.top + box.height / 2;
      };
      return {
        apart: ['rate', 'start', 'length', 'patch-name'].map((id) => Math.abs(
          middle(document.querySelector(`label[for="${id}"]`)) -
          middle(document.getElementById(id)))),
        numbers: [...document.querySelectorAll('.chart-numbers span')]
          .map((number) => parseFloat(getComputedStyle(number).fontSize)),
        wider: document.documentElement.scrollWidth > window.innerWidth,
      };
    });
    assert.ok(layout.apart.every((distance) => distance < 8), `${layout.apart}`);
    assert.deepEqual(layout.numbers.map((size) => size >= 11), [true, true, true, true]);
    assert.equal(layout.wider, false);
    assert.deepEqual(await page.errors(), []);
  });
