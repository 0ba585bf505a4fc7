// The page on a phone's screen, 375 x 667 CSS pixels, with a recording
// chosen: labels beside their fields, handles and buttons large enough for
// a finger, the chart's patch numbers readable, and nothing wider than the
// screen but the preview's text, which scrolls. Screenshots go to the
// build folder.
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';
import * as s from './sound.mjs';

const site = h.siteInBrowser();

test('at 375 x 667, the page is usable with a finger', { needs: 'phoneView' }, async () => {
  const page = await site.open();
  await page.resize(375, 667);
  await page.button('Use the examples').click();
  await page.labelled('Recording').setFiles(h.filesOnDisk({
    'tone.wav': h.wav(s.parts(8000, [1, 0], [1, 0.7, 30], [1, 0]), 8000) }));
  await page.labelled('Start').fill('0.9');
  await page.labelled('Preview').waitFor('Input tone.raw: 8400 bytes');
  await page.role('region', 'Waveform').box();
  await page.screenshot(join(h.buildDir, `small-screen-${h.engine}.png`), { fullPage: false });
  await page.screenshot(join(h.buildDir, `small-screen-full-${h.engine}.png`));

  for (const name of ['Rate', 'Start', 'Length', 'Patch name']) {
    const [label, field] = await page.labelled(name).evaluate((element) =>
      [element.labels[0], element].map((box) => {
        const { x, y, height } = box.getBoundingClientRect();
        return { x, middle: y + height / 2 };
      }));
    assert.ok(Math.abs(label.middle - field.middle) < 8 && label.x < field.x,
      `${name}: its label is not beside it`);
  }
  const targets = [page.role('slider', 'Start'), page.role('slider', 'End')];
  for (const name of ['Zoom in', 'Zoom out', 'Play the selection', 'Play the values', 'Fit',
    'Run']) {
    targets.push(page.button(name));
  }
  for (const target of targets) {
    const box = await target.box();
    assert.ok(box.width >= 24 && box.height >= 24, `${target}: ${box.width} x ${box.height}`);
  }
  const numbers = await page.labelled('Chart').evaluate((chart) =>
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
  assert.deepEqual(await page.errors(), []);
});
