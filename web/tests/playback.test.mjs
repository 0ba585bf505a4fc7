// Hearing before writing: what the page hands to Web Audio, caught as it
// starts each buffer, against the recording's own samples and against the
// values a run uses, each held for 1/Rate s; and the two buttons, each
// stopping the other and reading Stop while it plays.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import * as h from './helpers.mjs';
import * as s from './sound.mjs';

const site = h.siteInBrowser();

const kRate = 44100;
const preview = (page) => page.getByLabel('Preview', { exact: true });
const button = (page, name) => page.getByRole('button', { name, exact: true });
const field = (page, name) => page.getByLabel(name, { exact: true });

async function listeningPage() {
  const page = await site.open({ initScript: s.listenToAudio });
  await button(page, 'Use the examples').click();
  await preview(page).filter({ hasText: 'Summary: patches written 4' }).waitFor();
  return page;
}

// Plays with `name` to its end: the button reads Stop meanwhile, then its
// name again. What was handed over meanwhile.
async function playedThrough(page, name) {
  const from = await page.evaluate(() => window.played.length);
  await button(page, name).click();
  await button(page, 'Stop').waitFor();
  await button(page, name).waitFor({ timeout: 60000 });
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
    await page.getByLabel('Recording').setInputFiles(h.filesOnDisk({
      'tone.wav': h.wav(s.parts(kRate, [3, 0.7, 7]), kRate) }));
    await field(page, 'Rate').fill('100');
    await preview(page).filter({ hasText: 'Input tone.raw: 300 bytes' }).waitFor();
    heard = await playedThrough(page, 'Play the values');
    const made = await h.downloaded(page, button(page, 'Download the input bytes'));
    values = s.usedValues(made.bytes, made.name);
    assert.ok(heard.parts > 1);
    assert.equal(s.worstDifference(heard.samples, s.heldValues(values, 100, heard.rate)), 0);
    // The 7-bit steps are there: as many levels as distinct values.
    assert.equal(new Set(heard.samples).size, new Set(values).size);
    assert.deepEqual(page.errors, []);
  });

test('Play the selection: the recording\'s own samples from Start for Length', async () => {
  const page = await listeningPage();
  const samples = s.parts(kRate, [1, 0.2], [2, 0.6, 220], [1, 0.3]);
  await page.getByLabel('Recording').setInputFiles(h.filesOnDisk({
    'tone.wav': h.wav(samples, kRate) }));
  await field(page, 'Start').fill('0.5');
  await field(page, 'Length').fill('2');
  const heard = await playedThrough(page, 'Play the selection');
  assert.equal(heard.rate, kRate);
  assert.ok(heard.parts > 1);
  const expected = s.as16Bit(samples.slice(0.5 * kRate, 2.5 * kRate)).map(Math.fround);
  assert.equal(s.worstDifference(heard.samples, expected), 0);
  assert.deepEqual(page.errors, []);
});

test('each play button stops the other, and Stop stops', async () => {
  const page = await listeningPage();
  await page.getByLabel('Recording').setInputFiles(h.filesOnDisk({
    'long.wav': h.wav(s.parts(8000, [30, 0.5]), 8000) }));
  await field(page, 'Rate').fill('10');
  await preview(page).filter({ hasText: 'Input long.raw: 300 bytes' }).waitFor();

  await button(page, 'Play the selection').click();
  await button(page, 'Stop').waitFor();
  await page.waitForFunction(() => window.played.length > 0);
  await button(page, 'Play the values').click();
  // The selection stops; the values, 24 s of them, play.
  await button(page, 'Play the selection').waitFor();
  assert.equal(await button(page, 'Stop').count(), 1);
  await page.waitForFunction(() => window.stopped > 0);
  const stoppedBefore = await page.evaluate(() => window.stopped);
  await button(page, 'Stop').click();
  await button(page, 'Play the values').waitFor();
  assert.equal(await button(page, 'Stop').count(), 0);
  assert.ok(await page.evaluate(() => window.stopped) > stoppedBefore);

  // A change of what plays stops it too.
  await button(page, 'Play the selection').click();
  await button(page, 'Stop').waitFor();
  await field(page, 'Start').fill('1');
  await button(page, 'Play the selection').waitFor();
  assert.equal(await button(page, 'Stop').count(), 0);
  assert.deepEqual(page.errors, []);
});
