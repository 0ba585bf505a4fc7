// An input far larger than a run reads: the page must not load it whole.
// Its transcript and patches are the native run's, and the page's memory
// grows by little more than over a run of the examples.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import * as h from './helpers.mjs';

const kSize = 50 * 1024 * 1024;

const site = h.siteInBrowser();

// All the memory of the page and its worker, in bytes.
const memory = (page) => page.evaluate(async () =>
  (await performance.measureUserAgentSpecificMemory()).bytes);

test('a 50 MB input: the truncation notice, the native patches, little memory', async () => {
  const large = Buffer.alloc(kSize);
  for (let i = 0; i < kSize; i += 4096) large[i] = (i / 4096) & 255;
  const files = { ...h.examples(), 'large.raw': large };

  const page = await site.open();
  await page.getByRole('button', { name: 'Use the examples' }).click();
  await h.runOnPage(page);
  const afterExamples = await memory(page);

  await page.getByLabel('Input file').setInputFiles(h.filesOnDisk({ 'large.raw': large }));
  await page.getByLabel('Preview', { exact: true })
    .filter({ hasText: `Input large.raw: ${kSize} bytes` }).waitFor();
  const run = await h.runOnPage(page);
  const growth = (await memory(page)) - afterExamples;
  h.recordFigure('memory growth, 50 MB input over the examples (KB)', Math.round(growth / 1024));

  const native = h.nativeRun(files, 'large.raw', 'demo');
  assert.match(native.stdout, /Input file length greater than 2048 bytes\.\.\. Truncating\./);
  assert.equal(run.transcript, native.stdout);
  assert.equal(run.exitCode, 'Exit code 0');
  assert.deepEqual(await h.pagePatches(page), native.files);
  // Loaded whole, the input alone would take 50 MB.
  assert.ok(growth < 8 * 1024 * 1024, `memory grew by ${growth} bytes`);
  assert.deepEqual(page.errors, []);
});
