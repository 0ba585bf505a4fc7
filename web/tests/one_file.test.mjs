// The page as one file, opened from disk with no server: the examples'
// patches as natively, a recording, and a missing template's report.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';

const site = h.siteInBrowser();

const preview = (page) => page.labelled('Preview');

test('from disk: the examples\' preview, run and patches as natively', async () => {
  const page = await site.open(h.oneFile());
  const ready = await page.evaluate(() =>
    performance.getEntriesByType('navigation')[0].domContentLoadedEventEnd);
  const shown = await h.timeInPage(page, 'use-examples',
    () => document.getElementById('preview').textContent.includes('Summary: patches'));
  h.recordFigure('the one file: open to the examples\' preview (ms)', Math.round(ready + shown));
  const bytes = readFileSync(join(h.buildDir, 'quorbel.html'));
  h.recordFigure('the one file: bytes', bytes.length);
  h.recordFigure('the one file: bytes compressed (gzip -9)', gzipSync(bytes, { level: 9 }).length);
  const files = h.examples();
  assert.equal(await preview(page).text(), h.nativePreviewOf(files, 'sample.raw').stdout);
  const run = await h.runOnPage(page);
  const native = h.nativeRun(files, 'sample.raw', 'demo');
  assert.equal(run.transcript, native.stdout);
  assert.deepEqual(await h.pagePatches(page), native.files);
  assert.deepEqual(await page.errors(), []);
});

test('from disk: a recording, and a missing template\'s report', async () => {
  const page = await site.open(h.oneFile());
  const files = h.examples(['1Template.pch', '2Template.pch', '4Template.pch']);
  await page.labelled('Templates').setFiles(h.filesOnDisk(files));
  const tone = h.wav(Array.from({ length: 22050 }, (_, i) => 0.5 * Math.sin(i / 7)), 44100);
  await page.labelled('Recording').setFiles(h.filesOnDisk({ 'tone.wav': tone }));
  await preview(page).waitFor('Input tone.raw: 2000 bytes');
  const { bytes } = await page.button('Download the input bytes').download();
  const run = await h.runOnPage(page);
  const native = h.nativeRun({ ...files, 'tone.raw': bytes }, 'tone.raw', 'demo');
  assert.match(run.transcript, h.endsWithReport('File not found.'));
  assert.equal(h.maskPlace(run.transcript), h.maskPlace(native.stdout));
  assert.deepEqual(await h.pagePatches(page), native.files);
  assert.deepEqual(await page.errors(), []);
});
