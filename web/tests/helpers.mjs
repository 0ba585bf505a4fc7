// What every browser test shares: the built site served on localhost,
// Debian's Chromium driven headless, the native programs run on the same
// files for comparison, and files made at test time.
import { spawnSync } from 'node:child_process';
import { createServer } from 'node:http';
import {
  mkdtempSync, mkdirSync, readFileSync, writeFileSync, readdirSync, statSync,
} from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, extname, join, resolve } from 'node:path';
import { after, afterEach, before } from 'node:test';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
export const buildDir = process.env.QUORBEL_WEB_BUILD ?? join(root, 'build/web');
export const siteDir = join(buildDir, 'site');
export const examplesDir = join(root, 'examples');
const nativeQuorbel = process.env.QUORBEL_EXE ?? join(root, 'build/default/quorbel');
const nativePreview =
  process.env.QUORBEL_PREVIEW_EXE ?? join(root, 'build/default/quorbel-preview');

const kTypes = {
  '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.pch': 'application/octet-stream',
  '.raw': 'application/octet-stream', '.webmanifest': 'application/manifest+json',
  '.svg': 'image/svg+xml', '.png': 'image/png',
};

// Serves the site (or the folder `dir`) on a free port of 127.0.0.1 and
// counts the bytes sent, by file. Cross-origin isolation lets the page
// measure its memory.
export async function serve(dir = siteDir) {
  const served = { bytes: 0, files: {} };
  const server = createServer((request, response) => {
    const path = join(dir, decodeURIComponent(new URL(request.url, 'http://x').pathname));
    let body;
    try {
      body = readFileSync(path.endsWith('/') ? join(path, 'index.html') : path);
    } catch {
      response.writeHead(404).end();
      return;
    }
    served.bytes += body.length;
    served.files[request.url] = body.length;
    response.writeHead(200, {
      'Content-Type': kTypes[extname(path) || '.html'] ?? 'application/octet-stream',
      'Cross-Origin-Opener-Policy': 'same-origin',
      'Cross-Origin-Embedder-Policy': 'require-corp',
      'Cache-Control': 'no-store',
    }).end(body);
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  served.url = `http://127.0.0.1:${server.address().port}/`;
  served.close = () => new Promise((done) => server.close(done));
  return served;
}

// Debian's Chromium, headless, with a fresh profile and nothing that
// reaches beyond this machine; `options` add to Playwright's.
export async function launch(options = {}) {
  const profile = mkdtempSync(join(tmpdir(), 'quorbel-chromium-'));
  return chromium.launchPersistentContext(profile, {
    ...options,
    executablePath: process.env.QUORBEL_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    acceptDownloads: true,
    viewport: { width: 1000, height: 1400 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--enable-blink-features=ForceEagerMeasureMemory'],
  });
}

// The site served and the browser started once for the tests of one file:
// `served` and `context` as serve() and launch() give them, and open(),
// which opens the page (after `initScript`, if given, runs in it); any
// error the page throws fails the test that reads the page's `errors`.
// `options` go to launch().
export function siteInBrowser(options) {
  const site = {};
  before(async () => {
    site.served = await serve();
    site.context = await launch(options);
  });
  after(async () => {
    await site.context?.close();
    await site.served?.close();
  });
  // Each test's pages go with it, and their workers' memory with them.
  let pages = [];
  afterEach(async () => {
    await Promise.all(pages.map((page) => page.close()));
    pages = [];
  });
  site.open = async ({ initScript } = {}) => {
    const page = await site.context.newPage();
    pages.push(page);
    if (initScript) await page.addInitScript(initScript);
    page.errors = [];
    page.on('pageerror', (error) => page.errors.push(error.message));
    page.logged = [];
    page.on('console', (message) => page.logged.push(message.text()));
    await page.goto(site.served.url);
    return page;
  };
  return site;
}

export function folder(files) {
  const made = mkdtempSync(join(tmpdir(), 'quorbel-web-test-'));
  for (const [name, bytes] of Object.entries(files)) writeFileSync(join(made, name), bytes);
  return made;
}

export function examples(names = readdirSync(examplesDir)) {
  return Object.fromEntries(names.map((name) => [name, readFileSync(join(examplesDir, name))]));
}

// The files of `dir` other than `before`, by name.
function newFiles(dir, before) {
  return Object.fromEntries(readdirSync(dir)
    .filter((name) => !(name in before) && statSync(join(dir, name)).isFile())
    .map((name) => [name, readFileSync(join(dir, name))]));
}

// The native run on `files` with the two answers: its standard output,
// exit code and the files it made but the scratch file "temp" that a
// failure leaves, which the page does not offer.
export function nativeRun(files, inputName, patchName) {
  const dir = folder(files);
  const run = spawnSync(nativeQuorbel, [], { cwd: dir, input: `${inputName}\n${patchName}\n` });
  if (run.error) throw run.error;
  const made = newFiles(dir, files);
  delete made.temp;
  return { stdout: run.stdout.toString('latin1'), exitCode: run.status, files: made };
}

export function nativePreviewOf(files, inputName) {
  const dir = folder(files);
  const run = spawnSync(nativePreview, inputName ? [inputName] : [], { cwd: dir });
  if (run.error) throw run.error;
  return { stdout: run.stdout.toString('latin1'), exitCode: run.status };
}

// A transcript that ends with the failure report of EInOutError `message`.
export function endsWithReport(message) {
  const escaped = message.replace(/[.*+?^${}()|[\]\\/]/g, '\\$&');
  return new RegExp(`Exception EInOutError in module quorbel at [0-9A-F]{8}\\.\n${escaped}\r\n$`);
}

// The failure report's place differs between builds.
export function maskPlace(text) {
  return text.replace(/( at )[0-9A-F]{8}(\.\r?\n)/g, '$1########$2');
}

// Writes files for the browser's file chooser.
export function filesOnDisk(files) {
  const dir = folder(files);
  return Object.keys(files).map((name) => join(dir, name));
}

// Drops files on the page, as from a file manager: `files` by name, or
// [name, bytes] pairs (which may repeat a name).
export async function drop(page, files) {
  const pairs = Array.isArray(files) ? files : Object.entries(files);
  const dropped = await page.evaluateHandle((contents) => {
    const transfer = new DataTransfer();
    for (const [name, bytes] of contents) {
      transfer.items.add(new File([new Uint8Array(bytes)], name));
    }
    return transfer;
  }, pairs.map(([name, bytes]) => [name, [...bytes]]));
  await page.dispatchEvent('body', 'drop', { dataTransfer: dropped });
}

// Clicks `locator` and returns the bytes and name of the download.
export async function downloaded(page, locator) {
  const [download] = await Promise.all([page.waitForEvent('download'), locator.click()]);
  return { name: download.suggestedFilename(), bytes: readFileSync(await download.path()) };
}

// Milliseconds, in the page's clock, from a click on the button with id
// `button` until `done()` holds in the page (checked at every change of
// its content).
export function timeInPage(page, button, done) {
  return page.evaluate(([id, test]) => new Promise((resolve) => {
    const holds = new Function(`return (${test})()`);
    const start = performance.now();
    const observer = new MutationObserver(() => {
      if (!holds()) return;
      observer.disconnect();
      resolve(performance.now() - start);
    });
    observer.observe(document.body, { subtree: true, childList: true, attributes: true,
      characterData: true });
    document.getElementById(id).click();
  }), [button, done.toString()]);
}

// Resolves once `holds()` does, checking every few milliseconds; fails
// after 30 s, as Playwright's waits do.
export async function until(holds) {
  for (const start = Date.now(); !holds(); await new Promise((resolve) => setTimeout(resolve, 5))) {
    if (Date.now() - start > 30000) throw new Error(`still not so: ${holds}`);
  }
}

// Presses Run and waits for the exit code the run shows; a run that shows
// none fails with what the page said instead.
export async function runOnPage(page) {
  await page.getByRole('button', { name: 'Run', exact: true }).click();
  try {
    await page.getByLabel('Exit code').filter({ hasText: /Exit code \d/ }).waitFor();
  } catch (error) {
    const said = await page.locator('p:visible').allTextContents();
    throw new Error(`${error.message}\nThe page said: ${said.join(' | ')}\n` +
      `Its console: ${page.logged.join(' | ')}`);
  }
  return {
    transcript: await page.getByLabel('Console').textContent(),
    exitCode: await page.getByLabel('Exit code').textContent(),
  };
}

// The bytes of every patch link (each named by its download attribute).
export async function pagePatches(page) {
  const result = {};
  const links = page.locator('#patches a');
  for (let i = 0; i < await links.count(); ++i) {
    const { name, bytes } = await downloaded(page, links.nth(i));
    result[name] = bytes;
  }
  return result;
}

// A WAV file of `samples` (-1..1), or of several channels' samples given
// as an array of arrays: 16-bit PCM unless `bits` and `float` say
// otherwise; `extensible` writes the extensible header.
export function wav(samples, rate, { bits = 16, float = false, extensible = false } = {}) {
  const channels = Array.isArray(samples[0]) ? samples : [samples];
  const frames = channels[0].length;
  const width = bits / 8;
  const data = Buffer.alloc(frames * channels.length * width);
  const write = {
    8: (s, at) => data.writeUInt8(Math.round(s * 127) + 128, at),
    16: (s, at) => data.writeInt16LE(Math.round(s * 32767), at),
    24: (s, at) => data.writeIntLE(Math.round(s * 8388607), at, 3),
    32: float ? (s, at) => data.writeFloatLE(s, at)
      : (s, at) => data.writeInt32LE(Math.round(s * 2147483647), at),
    64: (s, at) => data.writeDoubleLE(s, at),
  }[bits];
  for (let i = 0; i < frames; ++i) {
    channels.forEach((channel, c) => write(Math.max(-1, Math.min(1, channel[i])),
      (i * channels.length + c) * width));
  }
  const format = Buffer.alloc(extensible ? 40 : 16);
  format.writeUInt16LE(extensible ? 0xfffe : float ? 3 : 1, 0);
  format.writeUInt16LE(channels.length, 2);
  format.writeUInt32LE(rate, 4);
  format.writeUInt32LE(rate * channels.length * width, 8);
  format.writeUInt16LE(channels.length * width, 12);
  format.writeUInt16LE(bits, 14);
  if (extensible) {
    format.writeUInt16LE(22, 16);
    format.writeUInt16LE(bits, 18);
    format.writeUInt32LE(0, 20);
    // The sub-format's GUID: its first two bytes are the format's code.
    Buffer.from('0000000000001000800000aa00389b71', 'hex').copy(format, 24);
    format.writeUInt16LE(float ? 3 : 1, 24);
  }
  const chunk = (id, body) => {
    const head = Buffer.alloc(8);
    head.write(id, 0);
    head.writeUInt32LE(body.length, 4);
    return Buffer.concat([head, body]);
  };
  const body = Buffer.concat([Buffer.from('WAVE'), chunk('fmt ', format), chunk('data', data)]);
  return Buffer.concat([chunk('RIFF', body)]);
}

// Speed figures, gathered into one file of the build folder for the bench.
export function recordFigure(name, value) {
  const file = join(buildDir, 'bench.json');
  let figures = {};
  try { figures = JSON.parse(readFileSync(file, 'utf8')); } catch { /* first figure */ }
  figures[name] = value;
  mkdirSync(buildDir, { recursive: true });
  writeFileSync(file, `${JSON.stringify(figures, null, 2)}\n`);
  console.log(`# ${name}: ${value}`);
}
