// A worker that cannot start: every call of the page fails with a
// sentence, the first and every later one, and none waits forever.
import assert from 'node:assert/strict';
import { cpSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { siteDir, test } from './browser.mjs';
import * as h from './helpers.mjs';

// The site without its worker.
const broken = mkdtempSync(join(tmpdir(), 'quorbel-no-worker-'));
cpSync(siteDir, broken, { recursive: true });
rmSync(join(broken, 'worker/worker.js'));

const site = h.siteInBrowser(broken);

test('a worker that cannot start fails every call with a sentence', async () => {
  const page = await site.open();
  await page.text('The page\'s programs could not be loaded').waitFor();
  // A later call fails at once too, where it would wait forever.
  const later = await page.evaluate(async () => {
    const { call } = await import('./page/programs.js');
    return call('facts').then(() => 'answered', (error) => error.message);
  });
  assert.match(later, /the page's worker could not start/);
  assert.deepEqual(await page.errors(), []);
});
