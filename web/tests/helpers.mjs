// What every browser test shares besides the browser (browser.mjs): the
// native programs run on the same files for comparison, files made at test
// time, and the steps many tests take on the page.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync, readdirSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { buildDir, withRecorder } from './browser.mjs';

export { buildDir, engine, lacks, recordFigure, siteDir, siteInBrowser } from './browser.mjs';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
export const examplesDir = join(root, 'examples');
const nativeQuorbel = process.env.QUORBEL_EXE ?? join(root, 'build/default/quorbel');
const nativePreview =
  process.env.QUORBEL_PREVIEW_EXE ?? join(root, 'build/default/quorbel-preview');

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

// Waits until the preview is made from what the page shows now.
export function previewUpToDate(page) {
  const preview = page.labelled('Preview');
  return page.until(async () => (await preview.attribute('aria-busy')) === 'false' || undefined,
    'the preview to be up to date');
}

// Presses Run and waits for the exit code the run shows; a run that shows
// none fails with what the page said instead.
export async function runOnPage(page) {
  await page.button('Run').click();
  await page.labelled('Exit code').waitFor(/Exit code \d/);
  return {
    transcript: await page.labelled('Console').text(),
    exitCode: await page.labelled('Exit code').text(),
  };
}

// The bytes of every patch link (each named by its download attribute).
export async function pagePatches(page) {
  const result = {};
  const links = page.css('#patches a');
  for (let i = 0; i < await links.count(); ++i) {
    const { name, bytes } = await links.nth(i).download();
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
  return chunk('RIFF', Buffer.concat([Buffer.from('WAVE'), chunk('fmt ', format),
    chunk('data', data)]));
}

// The page as one file, copied to a folder of its own with the tests'
// recorder in it: its address, to open from disk.
export function oneFile() {
  const dir = folder({ 'quorbel.html': withRecorder(readFileSync(join(buildDir, 'quorbel.html'))) });
  return pathToFileURL(join(dir, 'quorbel.html')).href;
}
