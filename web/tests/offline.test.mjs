// The page installed: once opened, it opens and works with no network, its
// patches still the native run's; a new version of the site is taken on
// the next visit while a page already open keeps its own; and the browser
// finds it installable. Each test serves its own copy of the site, which
// it may change as a new build would.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { cpSync, mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import * as h from './helpers.mjs';
import { relist } from './sound.mjs';

let context;
// Closed after the browser: the server waits for the browser's connections.
const servers = [];
before(async () => { context = await h.launch(); });
after(async () => {
  await context?.close();
  await Promise.all(servers.map((served) => served.close()));
});

const preview = (page) => page.getByLabel('Preview', { exact: true });

// A copy of the site, served: {dir, served}.
async function siteCopy() {
  const dir = mkdtempSync(join(tmpdir(), 'quorbel-site-'));
  cpSync(h.siteDir, dir, { recursive: true });
  const served = await h.serve(dir);
  servers.push(served);
  return { dir, served };
}

// Opens the page at `url`; any error it throws goes to its `errors`.
async function visit(url) {
  const page = await context.newPage();
  page.errors = [];
  page.on('pageerror', (error) => page.errors.push(error.message));
  await page.goto(url);
  return page;
}

// Opens the page and waits until it is kept for use offline.
async function opened(url) {
  const page = await visit(url);
  await page.getByText('This page works offline').waitFor();
  return page;
}

test('offline, the page opens again, and its examples run as natively', async () => {
  const { served } = await siteCopy();
  const page = await opened(served.url);
  await context.setOffline(true);
  try {
    served.files = {};
    await page.reload();
    await page.getByRole('button', { name: 'Use the examples' }).click();
    await preview(page).filter({ hasText: 'Summary: patches written 4' }).waitFor();
    const files = h.examples();
    assert.equal(await preview(page).textContent(), h.nativePreviewOf(files, 'sample.raw').stdout);
    const run = await h.runOnPage(page);
    const native = h.nativeRun(files, 'sample.raw', 'demo');
    assert.equal(run.transcript, native.stdout);
    assert.equal(run.exitCode, 'Exit code 0');
    assert.deepEqual(await h.pagePatches(page), native.files);
    // Nothing came from the server.
    assert.deepEqual(served.files, {});
  } finally {
    await context.setOffline(false);
  }
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('a new version is taken on the next visit, and a page open keeps its own', async () => {
  const { dir, served } = await siteCopy();
  const first = await opened(served.url);
  // Opened again, the page comes from what was kept.
  await first.reload();
  const heading = (page) => page.getByRole('heading', { level: 1 }).textContent();
  const fetched = (page, name) => page.evaluate((file) => fetch(file).then((r) => r.text()), name);
  assert.equal(await heading(first), 'Quorbel');

  // A new build: a changed page and module, and the list that names them.
  const change = (name, from, to) => writeFileSync(join(dir, name),
    readFileSync(join(dir, name), 'utf8').replace(from, to));
  change('index.html', '<h1>Quorbel</h1>', '<h1>Quorbel, new</h1>');
  change('main.js', '// The page\'s start', '// The new version. The page\'s start');
  relist(dir);

  const next = await visit(served.url);
  assert.equal(await heading(next), 'Quorbel, new');
  assert.match(await fetched(next, 'main.js'), /^\/\/ The new version/);
  await next.getByRole('button', { name: 'Use the examples' }).click();
  await preview(next).filter({ hasText: 'Summary: patches written 4' }).waitFor();
  // The page opened before keeps the version it started with.
  assert.match(await fetched(first, 'index.html'), /<h1>Quorbel<\/h1>/);
  assert.doesNotMatch(await fetched(first, 'main.js'), /The new version/);
  assert.deepEqual([...first.errors, ...next.errors], []);

  // Visits after them all open the new version.
  await first.close();
  await next.close();
  const later = await visit(served.url);
  assert.equal(await heading(later), 'Quorbel, new');
  assert.deepEqual(later.errors, []);
  await later.close();
});

test('the browser finds the page installable', async () => {
  const { served } = await siteCopy();
  const page = await opened(served.url);
  const session = await context.newCDPSession(page);
  const { installabilityErrors } = await session.send('Page.getInstallabilityErrors');
  assert.deepEqual(installabilityErrors, []);
  const manifest = await session.send('Page.getAppManifest');
  assert.deepEqual(manifest.errors, []);
  await page.close();
});
