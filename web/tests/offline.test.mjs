// The page installed: once opened, it opens and works with no network, its
// patches still the native run's; a new version of the site is taken on
// the next visit while a page already open keeps its own; and the browser
// finds it installable. Each test serves its own copy of the site, which
// it may change as a new build would.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { cpSync, mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';

const site = h.siteInBrowser();
const preview = (page) => page.labelled('Preview');

// A copy of the site, served at an address of its own: {dir, served}. Its
// service worker's clock moves on by `ahead` ms at a message {ahead}; after
// a message {slow: true}, the pages it keeps reach their page after a pause
// half-way, as from a busy disk.
async function siteCopy() {
  const dir = mkdtempSync(join(tmpdir(), 'quorbel-site-'));
  cpSync(h.siteDir, dir, { recursive: true });
  const worker = join(dir, 'service_worker.js');
  writeFileSync(worker, `const clock = Date.now; let ahead = 0; Date.now = () => clock() + ahead;
let slow = false;
onmessage = (event) => { ahead += event.data.ahead ?? 0; slow ||= event.data.slow ?? false; };
const match = Cache.prototype.match;
Cache.prototype.match = async function slowPages(...key) {
  const found = await match.apply(this, key);
  if (!slow || !found?.headers.get('Content-Type')?.startsWith('text/html')) return found;
  const bytes = new Uint8Array(await found.arrayBuffer());
  return new Response(new ReadableStream({ async start(body) {
    body.enqueue(bytes.slice(0, 200));
    await new Promise((resume) => { setTimeout(resume, 1000); });
    body.enqueue(bytes.slice(200));
    body.close();
  } }), found);
};\n${readFileSync(worker, 'utf8')}`);
  return { dir, served: await site.serve(dir) };
}

// The copy's list of the files its service worker keeps, made again by
// the build's own script.
function relist(dir) {
  const listed = spawnSync('cmake', [`-DSITE=${dir}`, '-P',
    join(h.examplesDir, '../web/build/offline_files.cmake')]);
  if (listed.status !== 0) throw new Error(listed.stderr.toString());
}

// Opens the page at `url` and waits until it is kept for use offline.
async function opened(url) {
  const page = await site.open(url);
  await page.text('This page works offline').waitFor();
  return page;
}

test('offline, the page opens again, and its examples run as natively', async () => {
  const { served } = await siteCopy();
  const page = await opened(served.url);
  await site.offline(true);
  try {
    served.files = {};
    await page.reload();
    await page.button('Use the examples').click();
    await preview(page).waitFor('Summary: patches written 4');
    const files = h.examples();
    assert.equal(await preview(page).text(), h.nativePreviewOf(files, 'sample.raw').stdout);
    const run = await h.runOnPage(page);
    const native = h.nativeRun(files, 'sample.raw', 'demo');
    assert.equal(run.transcript, native.stdout);
    assert.equal(run.exitCode, 'Exit code 0');
    assert.deepEqual(await h.pagePatches(page), native.files);
    // Nothing came from the server.
    assert.deepEqual(served.files, {});
  } finally {
    await site.offline(false);
  }
  assert.deepEqual(await page.errors(), []);
});

test('a new version is taken on the next visit, and a page open keeps its own', async () => {
  const { dir, served } = await siteCopy();
  const first = await opened(served.url);
  // Opened again, the page comes from what was kept.
  await first.reload();
  const heading = (page) => page.css('h1').text();
  const fetched = (page, name) => page.evaluate((file) => fetch(file).then((r) => r.text()), name);
  assert.equal(await heading(first), 'Quorbel');

  // A new build: a changed page and module, and the list that names them.
  const change = (name, from, to) => writeFileSync(join(dir, name),
    readFileSync(join(dir, name), 'utf8').replace(from, to));
  change('index.html', '<h1>Quorbel</h1>', '<h1>Quorbel, new</h1>');
  change('page/main.js', '// The page\'s start', '// The new version. The page\'s start');
  relist(dir);

  const next = await site.open(served.url);
  assert.equal(await heading(next), 'Quorbel, new');
  assert.match(await fetched(next, 'page/main.js'), /^\/\/ The new version/);
  await next.button('Use the examples').click();
  await preview(next).waitFor('Summary: patches written 4');
  // Each page keeps its own version, past its first minute and a sweep too.
  await first.evaluate(() => navigator.serviceWorker.controller.postMessage({ ahead: 120000 }));
  await (await site.open(served.url)).close();
  assert.match(await fetched(next, 'page/main.js'), /^\/\/ The new version/);
  assert.match(await fetched(first, 'index.html'), /<h1>Quorbel<\/h1>/);
  assert.doesNotMatch(await fetched(first, 'page/main.js'), /The new version/);
  assert.deepEqual([...await first.errors(), ...await next.errors()], []);

  // Visits after them all open the new version, though it takes over
  // while the first of them is still reaching its page.
  await first.evaluate(() => navigator.serviceWorker.controller.postMessage({ slow: true }));
  await first.close();
  await next.close();
  const later = await site.open(served.url);
  assert.equal(await heading(later), 'Quorbel, new');
  assert.deepEqual(await later.errors(), []);
});

test('the browser finds the page installable', { needs: 'installability' }, async () => {
  const { served } = await siteCopy();
  const page = await opened(served.url);
  assert.deepEqual(await page.installabilityErrors(), []);
});
