// The page on a phone's screen, 375 x 667 CSS pixels, with a recording
// chosen: labels beside their fields, handles and buttons large enough for
// a finger, the chart's patch numbers readable, and nothing wider than the
// screen but the preview's text, which scrolls. A screenshot goes to the
// build folder.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { join } from 'node:path';
import * as h from './helpers.mjs';
import * as s from './sound.mjs';

const site = h.siteInBrowser();

test('at 375 x 667, the page is usable with a finger', async () => {
  const page = await site.open();
  await page.setViewportSize({ width: 375, height: 667 });
  await page.getByRole('button', { name: 'Use the examples' }).click();
  await page.getByLabel('Recording').setInputFiles(h.filesOnDisk({
    'tone.wav': h.wav(s.parts(8000, [1, 0], [1, 0.7, 30], [1, 0]), 8000) }));
  await page.getByLabel('Start', { exact: true }).fill('0.9');
  await page.getByLabel('Preview', { exact: true })
    .filter({ hasText: 'Input tone.raw: 8400 bytes' }).waitFor();
  const waveform = page.getByRole('region', { name: 'Waveform' });
  await waveform.scrollIntoViewIfNeeded();
  await page.screenshot({ path: join(h.buildDir, 'small-screen.png') });
  await page.screenshot({ path: join(h.buildDir, 'small-screen-full.png'), fullPage: true });

  for (const name of ['Rate', 'Start', 'Length', 'Patch name']) {
    const label = await page.locator('label', { hasText: name }).first().boundingBox();
    const field = await page.getByLabel(name, { exact: true }).boundingBox();
    assert.ok(Math.abs((label.y + label.height / 2) - (field.y + field.height / 2)) < 8 &&
      label.x < field.x, `${name}: its label is not beside it`);
  }
  const targets = [page.getByRole('slider', { name: 'Start' }),
    page.getByRole('slider', { name: 'End' })];
  for (const name of ['Zoom in', 'Zoom out', 'Play the selection', 'Play the values', 'Fit',
    'Run']) {
    targets.push(page.getByRole('button', { name, exact: true }));
  }
  for (const target of targets) {
    const box = await target.boundingBox();
    assert.ok(box.width >= 24 && box.height >= 24,
      `${await target.textContent() || await target.getAttribute('title')}: ` +
      `${box.width} x ${box.height}`);
  }
  const numbers = await page.getByLabel('Chart').evaluate((chart) =>
    [...chart.querySelectorAll('span')].map((number) =>
      parseFloat(getComputedStyle(number).fontSize)));
  assert.equal(numbers.length, 4);
  assert.ok(numbers.every((size) => size >= 11), numbers.join(', '));

  // Nothing reaches past the screen's right edge, nor past its step's box,
  // but the preview's text, inside its own scrolling box.
  const wide = await page.evaluate(() => [...document.querySelectorAll('body *')]
    .filter((element) => !element.closest('pre') && element.getClientRects().length > 0)
    .filter((element) => {
      const { right } = element.getBoundingClientRect();
      const step = element.closest('section');
      return right > Math.min(window.innerWidth,
        step && step !== element ? step.getBoundingClientRect().right : Infinity) + 0.5;
    })
    .map((element) => element.outerHTML.slice(0, 60)));
  assert.deepEqual(wide, []);
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth));
  assert.deepEqual(page.errors, []);
});
