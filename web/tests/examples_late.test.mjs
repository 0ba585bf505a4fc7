// Use the examples pressed, then an input chosen while the examples are
// still on their way: the input chosen last stays, even one the page
// refuses. The examples' files are held back by the test; the service
// worker, which would answer them itself, is kept out.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import * as h from './helpers.mjs';

const site = h.siteInBrowser({ serviceWorkers: 'block' });

for (const [name, choose, says] of [
  ['an input file', (page) => page.getByLabel('Input file')
    .setInputFiles(h.filesOnDisk({ 'mine.raw': Buffer.alloc(50, 9) })),
  'Input: mine.raw, 50 bytes, from the chosen file.'],
  ['an empty recording', (page) => page.getByLabel('Recording')
    .setInputFiles(h.filesOnDisk({ 'empty.wav': Buffer.alloc(0) })),
  'The recording "empty.wav" is empty: it holds no sound. Choose another recording.'],
]) {
  test(`${name} chosen while the examples load stays the input`, async () => {
    const page = await site.open();
    let release;
    const held = new Promise((resolve) => { release = resolve; });
    await page.route('**/examples/sample.raw', async (route) => {
      await held;
      await route.continue();
    });
    await page.reload();
    await page.getByRole('button', { name: 'Use the examples' }).click();
    await choose(page);
    await page.locator('#input-status').filter({ hasText: says }).waitFor();
    release();
    await page.getByRole('listitem').filter({ hasText: '4Template.pch: 920 bytes' }).waitFor();
    await page.waitForTimeout(500);
    assert.equal(await page.locator('#input-status').textContent(), says);
    assert.deepEqual(page.errors, []);
  });
}
