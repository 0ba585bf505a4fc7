// Use the examples pressed, then an input chosen while the examples are
// still on their way: the input chosen last stays, even one the page
// refuses. The examples' input is held back by the test's server; the
// service worker, which would answer it itself, is left out.
import assert from 'node:assert/strict';
import { setTimeout as sleep } from 'node:timers/promises';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';

const site = h.siteInBrowser(h.siteDir, { serviceWorker: false });

for (const [name, choose, says] of [
  ['an input file', (page) => page.labelled('Input file')
    .setFiles(h.filesOnDisk({ 'mine.raw': Buffer.alloc(50, 9) })),
  'Input: mine.raw, 50 bytes, from the chosen file.'],
  ['an empty recording', (page) => page.labelled('Recording')
    .setFiles(h.filesOnDisk({ 'empty.wav': Buffer.alloc(0) })),
  'The recording "empty.wav" is empty: it holds no sound. Choose another recording.'],
]) {
  test(`${name} chosen while the examples load stays the input`, async () => {
    const release = site.served.hold('/examples/sample.raw');
    let page;
    try {
      page = await site.open();
      await page.button('Use the examples').click();
      await choose(page);
      await page.css('#input-status').waitFor(says);
    } finally {
      release();
    }
    await page.text('4Template.pch: 920 bytes').waitFor();
    await sleep(500);
    assert.equal(await page.css('#input-status').text(), says);
    assert.deepEqual(await page.errors(), []);
  });
}
