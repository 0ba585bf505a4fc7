// Hearing before writing: what the page hands to Web Audio, caught as it
// starts each buffer, against the recording's own samples and against the
// values a run uses, each held for 1/Rate s; and the two buttons, each
// stopping the other and reading Stop while it plays.
import assert from 'node:assert/strict';
import { test as browserTest } from './browser.mjs';
import * as h from './helpers.mjs';
import * as s from './sound.mjs';

// Each page keeps what it hands to Web Audio.
const site = h.siteInBrowser(h.siteDir, { inject: s.listenToAudio });

const kRate = 44100;
const preview = (page) => page.labelled('Preview');
const field = (page, name) => page.labelled(name);

async function listeningPage(url) {
  const page = await site.open(url);
  await page.button('Use the examples').click();
  await preview(page).waitFor('Summary: patches written 4');
  return page;
}

// A test that needs the sound to play, skipped where it cannot.
const test = (name, body) => browserTest(name, { needs: 'sound' }, body);

// Waits until `holds()` is true in the page.
const inPage = (page, holds, what, ...args) =>
  page.until(async () => (await page.evaluate(holds, ...args)) || undefined, what);

// Plays with `name` to its end, when its name is back (its Stop may last
// too briefly for WebKit's driver to find). What was handed over meanwhile.
async function playedThrough(page, name) {
  const from = await page.evaluate(() => window.played.length);
  await page.button(name).click();
  await inPage(page, (count) => window.played.length > count, 'the sound to start', from);
  await page.until(async () => (await page.button(name).count()) === 1 || undefined,
    `${name} after the sound`, 60000);
  return s.heard(page, from);
}

test('Play the values: the used values, each held for 1/Rate s, as the patches hold them',
  async () => {
    const page = await listeningPage();
    // The examples' input file first, at 4000 values a second.
    let heard = await playedThrough(page, 'Play the values');
    let values = s.usedValues(h.examples(['sample.raw'])['sample.raw']);
    assert.equal(s.worstDifference(heard.samples, s.heldValues(values, 4000, heard.rate)), 0);

    // A recording at 100 values a second: 2.4 s of sound, handed over in
    // parts.
    await page.labelled('Recording').setFiles(h.filesOnDisk({
      'tone.wav': h.wav(s.parts(kRate, [3, 0.7, 7]), kRate) }));
    await field(page, 'Rate').fill('100');
    await preview(page).waitFor('Input tone.raw: 300 bytes');
    heard = await playedThrough(page, 'Play the values');
    const made = await page.button('Download the input bytes').download();
    values = s.usedValues(made.bytes, made.name);
    assert.ok(heard.parts > 1);
    assert.equal(s.worstDifference(heard.samples, s.heldValues(values, 100, heard.rate)), 0);
    // The 7-bit steps are there: as many levels as distinct values.
    assert.equal(new Set(heard.samples).size, new Set(values).size);
    assert.deepEqual(await page.errors(), []);
  });

test('Play the values in Cycles: each patch\'s loop at the Rate, 0.5 s a patch, in order',
  async () => {
    const page = await listeningPage();
    await page.labelled('Recording').setFiles(h.filesOnDisk({
      'tone.wav': h.wav(s.parts(kRate, [1, 0.7, 220]), kRate) }));
    await page.role('radio', 'Cycles').click();
    const made = await page.button('Download the input bytes').download();
    const values = s.usedValues(made.bytes, made.name);
    const rate = Number(await field(page, 'Rate').value());
    assert.ok(Math.abs(rate / 60 / 220 - 1) < 0.005);
    const heard = await playedThrough(page, 'Play the values');
    const loop = heard.rate / 2;
    const expected = Array.from({ length: 4 * loop }, (_, j) => Math.fround((values[60 *
      Math.floor(j / loop) + (Math.floor(((j % loop) * rate) / heard.rate) % 60)] - 63.5) / 63.5));
    assert.equal(heard.samples.length, expected.length);
    // The Rate as shown is rounded: a step may land a sample late.
    assert.ok(heard.samples.filter((v, j) => v !== expected[j]).length < expected.length / 100);
    assert.deepEqual(await page.errors(), []);
  });

test('Play the selection: the recording\'s own samples from Start for Length', async () => {
  const page = await listeningPage();
  const samples = s.parts(kRate, [1, 0.2], [2, 0.6, 220], [1, 0.3]);
  await page.labelled('Recording').setFiles(h.filesOnDisk({
    'tone.wav': h.wav(samples, kRate) }));
  await field(page, 'Start').fill('0.5');
  await field(page, 'Length').fill('2');
  const heard = await playedThrough(page, 'Play the selection');
  assert.equal(heard.rate, kRate);
  assert.ok(heard.parts > 1);
  const expected = s.as16Bit(samples.slice(0.5 * kRate, 2.5 * kRate)).map(Math.fround);
  assert.equal(s.worstDifference(heard.samples, expected), 0);
  assert.deepEqual(await page.errors(), []);
});

test('each play button stops the other, and Stop stops', async () => {
  const page = await listeningPage();
  await page.labelled('Recording').setFiles(h.filesOnDisk({
    'long.wav': h.wav(s.parts(8000, [30, 0.5]), 8000) }));
  await field(page, 'Rate').fill('10');
  await preview(page).waitFor('Input long.raw: 300 bytes');

  await page.button('Play the selection').click();
  await page.button('Stop').waitFor();
  await inPage(page, () => window.played.length > 0, 'the selection to be handed over');
  await page.button('Play the values').click();
  // The selection stops; the values, 24 s of them, play.
  await page.button('Play the selection').waitFor();
  assert.equal(await page.button('Stop').count(), 1);
  await inPage(page, () => window.stopped > 0, 'the selection to stop');
  const stoppedBefore = await page.evaluate(() => window.stopped);
  await page.button('Stop').click();
  await page.button('Play the values').waitFor();
  assert.equal(await page.button('Stop').count(), 0);
  assert.ok(await page.evaluate(() => window.stopped) > stoppedBefore);

  // A change of what plays stops it too.
  await page.button('Play the selection').click();
  await page.button('Stop').waitFor();
  await field(page, 'Start').fill('1');
  await page.button('Play the selection').waitFor();
  assert.equal(await page.button('Stop').count(), 0);
  assert.deepEqual(await page.errors(), []);
});

browserTest('a sound that cannot start is said after a while, and Play comes back', async () => {
  const page = await listeningPage((await site.serve(h.siteDir, { inject: () => Object
    .defineProperty(AudioContext.prototype, 'state', { get: () => 'suspended' }) })).url);
  await page.button('Play the values').click();
  await page.text('This browser plays no sound now: its sound output did not start').waitFor();
  assert.equal(await page.button('Play the values').count(), 1);
});
