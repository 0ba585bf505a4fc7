// The page on the bundled examples and on folders like them: its preview,
// chart, run, transcript and patches against the native programs' on the
// same files, and the speed figures of the bench.
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { unzipSync } from 'fflate';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';

// Without the service worker, as the page opened from a file: what it
// loads at its start is all it needs, and the figures count what it loads.
const site = h.siteInBrowser(h.siteDir, { serviceWorker: false });

const preview = (page) => page.labelled('Preview');

test('the examples: preview, chart, run and patches as natively', async () => {
  // The page's own clock: from navigation to the page ready, and from the
  // click to the preview on screen (the driver's own delay between the two
  // is not the page's).
  const page = await site.open();
  const ready = await page.evaluate(() =>
    performance.getEntriesByType('navigation')[0].domContentLoadedEventEnd);
  const shown = await h.timeInPage(page, 'use-examples',
    () => document.getElementById('preview').textContent.includes('Summary: patches'));
  h.recordFigure('open to the examples\' preview (ms)', Math.round(ready + shown));
  // What a run needs loads after the first preview: not counted here.
  const forRun = ['/quorbel.js', '/quorbel.wasm', '/fflate.js'];
  h.recordFigure('bytes the page loaded to show it', Object.entries(site.served.files)
    .filter(([path]) => !forRun.includes(path)).reduce((sum, [, bytes]) => sum + bytes, 0));

  const files = h.examples();
  assert.equal(await preview(page).text(), h.nativePreviewOf(files, 'sample.raw').stdout);
  // The chart draws the 240 values used, each patch's 60 apart, and marks
  // where patches 1 to 4 start.
  const chart = page.labelled('Chart');
  for (let i = 0; i < 4; ++i) {
    assert.equal((await chart.find('polyline').nth(i).attribute('points')).split(' ').length, 60);
  }
  assert.equal(await chart.find('polyline').count(), 4);
  assert.equal(await chart.text(),
    '1234Values 1 to 240; patches start at value 1, 61, 121, 181');

  // From the click to the links: first the run that loads the program
  // and the zip library, then one more.
  const runTimes = [];
  for (let i = 0; i < 2; ++i) {
    runTimes.push(await h.timeInPage(page, 'run', () => !document.getElementById('zip').hidden));
  }
  h.recordFigure('run of the examples, click to links, first (ms)', Math.round(runTimes[0]));
  h.recordFigure('run of the examples, click to links, again (ms)', Math.round(runTimes[1]));
  h.recordFigure('bytes the page loaded through the run', site.served.bytes);

  const native = h.nativeRun(files, 'sample.raw', 'demo');
  assert.equal(await page.labelled('Console').text(), native.stdout);
  assert.equal(await page.labelled('Exit code').text(), 'Exit code 0');
  assert.deepEqual(await h.pagePatches(page), native.files);
  const zip = await page.link('All patches (.zip)').download();
  assert.equal(zip.name, 'demo.zip');
  assert.deepEqual(Object.fromEntries(Object.entries(unzipSync(zip.bytes))
    .map(([name, bytes]) => [name, Buffer.from(bytes)])), native.files);

  await page.screenshot(join(h.buildDir, `screenshot-${h.engine}.png`));
  assert.deepEqual(await page.errors(), []);
});

test('template 3 missing: the failure report and exit code 1', async () => {
  const page = await site.open();
  const files = h.examples(['1Template.pch', '2Template.pch', '4Template.pch', 'sample.raw']);
  const [one, two, four, input] = h.filesOnDisk(files);
  await page.labelled('Templates').setFiles([one, two, four]);
  await page.labelled('Input file').setFiles(input);
  const run = await h.runOnPage(page);

  const native = h.nativeRun(files, 'sample.raw', 'demo');
  assert.equal(native.exitCode, 1);
  assert.match(run.transcript, h.endsWithReport('File not found.'));
  assert.equal(h.maskPlace(run.transcript), h.maskPlace(native.stdout));
  assert.equal(run.exitCode, 'Exit code 1');
  assert.deepEqual(await h.pagePatches(page), native.files);
  // The empty patch the failure left is said to be so, and the zip holds
  // the finished ones.
  await page.text('3demo.pch: 0 bytes, left empty by the failed run').waitFor();
  const zip = await page.link('All patches (.zip)').download();
  assert.deepEqual(Object.keys(unzipSync(zip.bytes)), ['1demo.pch', '2demo.pch']);
  assert.deepEqual(await page.errors(), []);
});

// Linux refuses a file name of more than 255 bytes: "1", the name, ".pch".
for (const patchName of ['a'.repeat(251), 'é'.repeat(126)]) {
  test(`a patch name of ${Buffer.byteLength(patchName)} bytes fails as natively`, async () => {
    const page = await site.open();
    await page.button('Use the examples').click();
    await page.labelled('Patch name').fill(patchName);
    const run = await h.runOnPage(page);
    const native = h.nativeRun(h.examples(), 'sample.raw', patchName);
    assert.match(run.transcript, h.endsWithReport('I/O error 206.'));
    assert.equal(h.maskPlace(run.transcript), h.maskPlace(native.stdout));
    assert.equal(run.exitCode, `Exit code ${native.exitCode}`);
    assert.equal(await page.css('#patches a').count(), 0);
    assert.deepEqual(await page.errors(), []);
  });
}

test('a template with bare line feeds: the native preview and its warning', async () => {
  const page = await site.open();
  const files = h.examples();
  files['2Template.pch'] = Buffer.from(files['2Template.pch'].toString('latin1')
    .replaceAll('\r\n', '\n'), 'latin1');
  await page.labelled('Templates').setFiles(h.filesOnDisk(files)
    .filter((path) => path.endsWith('.pch')));
  await preview(page).waitFor('Summary');

  assert.equal(await preview(page).text(), h.nativePreviewOf(files).stdout);
  await page.text('Warning: 2Template.pch:1: line feeds but no carriage return').waitFor();
  assert.equal(await preview(page).find('mark').count(), 1);
  assert.deepEqual(await page.errors(), []);
});

test('once loaded, the page works offline', async () => {
  site.served.files = {};
  const page = await site.open();
  const loaded = ['/quorbel-preview.wasm', '/quorbel.wasm', '/fflate.js', '/examples/sample.raw'];
  await h.until(() => loaded.every((path) => path in site.served.files));
  await site.offline(true);
  try {
    await page.button('Use the examples').click();
    await preview(page).waitFor('Summary: patches');
    assert.equal((await h.runOnPage(page)).exitCode, 'Exit code 0');
    await page.link('All patches (.zip)').waitFor();
  } finally {
    await site.offline(false);
  }
  assert.deepEqual(await page.errors(), []);
});

test('files dropped on the page: templates by name, another file as the input', async () => {
  const page = await site.open();
  const files = h.examples();
  await page.drop(files);
  await preview(page).waitFor('Summary: patches');
  assert.equal(await preview(page).text(), h.nativePreviewOf(files, 'sample.raw').stdout);
});
