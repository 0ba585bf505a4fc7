// Bad input gets a sentence the user can act on, beside the step it
// concerns and again on Run, and never a broken page.
import assert from 'node:assert/strict';
import { rmSync } from 'node:fs';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';

const site = h.siteInBrowser();

const second = Array.from({ length: 44100 }, (_, i) => 0.5 * Math.sin(i / 10));
const recording = (page, name, bytes) =>
  page.labelled('Recording').setFiles(h.filesOnDisk({ [name]: bytes }));

const cases = [
  {
    name: 'a file that is not audio, as Recording',
    act: (page) => recording(page, 'notes.txt', Buffer.from('Type=91\r\nP1=64\r\n')),
    message: '"notes.txt" is not a recording this browser can decode',
  },
  {
    name: 'an empty recording',
    act: (page) => recording(page, 'empty.wav', Buffer.alloc(0)),
    message: 'The recording "empty.wav" is empty: it holds no sound.',
  },
  {
    name: 'a recording with no samples',
    act: (page) => recording(page, 'silent.wav', h.wav([], 44100)),
    message: 'The recording "silent.wav" is empty: it holds no sound.',
  },
  {
    name: 'a rate of 0',
    act: async (page) => {
      await recording(page, 'tone.wav', h.wav(second, 44100));
      await page.labelled('Rate').fill('0');
    },
    message: 'Rate must be a number of values a second above 0',
  },
  {
    name: 'a negative start',
    act: async (page) => {
      await recording(page, 'tone.wav', h.wav(second, 44100));
      await page.labelled('Start').fill('-1');
    },
    message: 'Start must be 0 s or later',
  },
  {
    name: 'a start after the end',
    act: async (page) => {
      await recording(page, 'tone.wav', h.wav(second, 44100));
      await page.labelled('Start').fill('2');
    },
    message: 'Start 2 s lies at or after the end of the recording (1 s)',
  },
  {
    name: 'a patch name with "/"',
    act: (page) => page.labelled('Patch name').fill('out/wave'),
    message: 'A patch name cannot hold "/"',
  },
  {
    name: 'a patch name that climbs out of a folder where "\\" separates',
    act: (page) => page.labelled('Patch name').fill('x\\..\\..\\evil'),
    message: 'A patch name cannot hold "\\"',
  },
];

for (const { name, act, message } of cases) {
  test(name, async () => {
    const page = await site.open();
    await page.button('Use the examples').click();
    await act(page);
    await page.text(message).waitFor();
    assert.equal(await page.text(message).count(), 1);
    // Run says it too, and runs nothing.
    await page.button('Run').click();
    await page.css('#run-status').waitFor(message);
    assert.equal(await page.labelled('Console').text(), '');
    assert.deepEqual(await page.errors(), []);
  });
}

test('no templates and no input: Run says what to choose', async () => {
  const page = await site.open();
  await page.button('Run').click();
  await page.text('There are no templates yet').waitFor();
  await page.labelled('Templates')
    .setFiles(h.filesOnDisk({ ...h.examples(['1Template.pch']), 'bass.pch': '' }));
  await page.text('"bass.pch" is not a template').waitFor();
  await page.button('Run').click();
  await page.text('There is no input yet').waitFor();
  assert.deepEqual(await page.errors(), []);
});

test('an input file removed after it was chosen: a sentence, and no run', async () => {
  const page = await site.open();
  await page.button('Use the examples').click();
  const [path] = h.filesOnDisk({ 'gone.raw': Buffer.alloc(100, 7) });
  await page.labelled('Input file').setFiles(path);
  // Not before the preview has read it.
  await page.labelled('Preview').waitFor('Input gone.raw: 100 bytes');
  rmSync(path);
  await page.button('Run').click();
  await page.css('#run-status')
    .waitFor('"gone.raw" changed or was removed since you chose it: choose it again.');
  assert.equal(await page.labelled('Console').text(), '');
  assert.deepEqual(await page.errors(), []);
});
