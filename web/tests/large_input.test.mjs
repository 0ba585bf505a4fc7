// An input far larger than a run reads: the page must not load it whole.
// Its transcript and patches are the native run's, and the page's memory
// grows by little more than over a run of the examples.
import assert from 'node:assert/strict';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';

const kSize = 50 * 1024 * 1024;

const site = h.siteInBrowser();

// All the memory of the page and its worker, in bytes; null in an engine
// that cannot tell.
const memory = (page) => (h.lacks('measureMemory') ? null : page.evaluate(async () =>
  (await performance.measureUserAgentSpecificMemory()).bytes));

test('a 50 MB input: the truncation notice, the native patches, little memory', async (t) => {
  const large = Buffer.alloc(kSize);
  for (let i = 0; i < kSize; i += 4096) large[i] = (i / 4096) & 255;
  const files = { ...h.examples(), 'large.raw': large };

  const page = await site.open();
  await page.button('Use the examples').click();
  await h.runOnPage(page);
  const afterExamples = await memory(page);

  await page.labelled('Input file').setFiles(h.filesOnDisk({ 'large.raw': large }));
  await page.labelled('Preview').waitFor(`Input large.raw: ${kSize} bytes`);
  const run = await h.runOnPage(page);
  const growth = afterExamples === null ? null : (await memory(page)) - afterExamples;
  if (growth !== null) {
    h.recordFigure('memory growth, 50 MB input over the examples (KB)', Math.round(growth / 1024));
  }

  const native = h.nativeRun(files, 'large.raw', 'demo');
  assert.match(native.stdout, /Input file length greater than 2048 bytes\.\.\. Truncating\./);
  assert.equal(run.transcript, native.stdout);
  assert.equal(run.exitCode, 'Exit code 0');
  assert.deepEqual(await h.pagePatches(page), native.files);
  // Loaded whole, the input alone would take 50 MB.
  if (growth === null) t.diagnostic(`memory not checked: ${h.lacks('measureMemory')}`);
  else assert.ok(growth < 8 * 1024 * 1024, `memory grew by ${growth} bytes`);
  assert.deepEqual(await page.errors(), []);
});
