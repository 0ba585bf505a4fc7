// The page's own WAV reader against the browser's decoder on the same
// files: every sample format it reads, mono to many channels, the
// extensible header; and the byte rule on a constant where rounding
// matters.
import assert from 'node:assert/strict';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';

const site = h.siteInBrowser();

const kRate = 22050;
const channel = (frequency, phase) => Array.from({ length: 2000 },
  (_, i) => 0.9 * Math.sin(2 * Math.PI * frequency * i / kRate + phase));
const channels = (count) => Array.from({ length: count }, (_, c) => channel(300 + 70 * c, c));

const formats = [
  { name: 'PCM 8-bit mono', samples: channel(440, 0), options: { bits: 8 } },
  { name: 'PCM 16-bit stereo', samples: channels(2), options: { bits: 16 } },
  { name: 'PCM 24-bit, 3 channels', samples: channels(3), options: { bits: 24 } },
  { name: 'PCM 32-bit stereo', samples: channels(2), options: { bits: 32 } },
  { name: 'float 32-bit mono', samples: channel(440, 0), options: { bits: 32, float: true } },
  { name: 'float 64-bit stereo', samples: channels(2), options: { bits: 64, float: true } },
  { name: 'extensible, PCM 24-bit, 6 channels', samples: channels(6),
    options: { bits: 24, extensible: true } },
  { name: 'extensible, float 32-bit stereo', samples: channels(2),
    options: { bits: 32, float: true, extensible: true } },
];

// Files a browser's own decoder reads otherwise than every other: ours
// is held against the samples written alone.
const kDecodesOtherwise = {
  firefox: {
    'PCM 24-bit, 3 channels': 'it gives 1992 frames of 2000, unlike the samples written',
    'float 64-bit stereo': 'it gives 4000 frames of 2000, as if the samples had 32 bits',
    'extensible, PCM 24-bit, 6 channels': 'it gives 1969 frames of 2000',
  },
};

test('the WAV reader gives the browser\'s samples, the mean of the channels', async () => {
  const page = await site.open();
  for (const { name, samples, options } of formats) {
    const bytes = h.wav(samples, kRate, options);
    const { rate, ours, browsers, askedAgain } = await page.evaluate(async (file) => {
      const { readLayout, mixFrames } = await import('./wav.js');
      const data = new Uint8Array(file);
      const layout = await readLayout(async (start, end) => data.subarray(start, end),
        data.length);
      const mixed = new Float32Array(layout.frames);
      mixFrames(layout, data.subarray(layout.dataStart), mixed);
      // The browser's decoder: null for a format it does not decode
      // (Chromium: float 64-bit). WebKit's at times never answers, in its
      // own audio stack: it is asked once more, in a new context, after 10 s.
      const decode = () => Promise.race([
        new OfflineAudioContext(1, 1, layout.rate).decodeAudioData(data.slice().buffer)
          .catch(() => null),
        new Promise((done) => setTimeout(() => done('no answer'), 10000)),
      ]);
      let decoded = await decode();
      const askedAgain = decoded === 'no answer';
      if (askedAgain) decoded = await decode();
      if (decoded === 'no answer') throw new Error('the browser\'s decoder answered neither time');
      const mean = decoded && Array.from({ length: decoded.length }, (_, i) => {
        let sum = 0;
        for (let c = 0; c < decoded.numberOfChannels; ++c) sum += decoded.getChannelData(c)[i];
        return sum / decoded.numberOfChannels;
      });
      return { rate: layout.rate, ours: [...mixed], browsers: mean, askedAgain };
    }, [...bytes]);
    if (askedAgain) console.log(`# ${name}: ${h.engine}'s decoder was asked again`);
    const written = Array.isArray(samples[0]) ? samples : [samples];
    assert.equal(rate, kRate, name);
    assert.equal(ours.length, written[0].length, name);
    // The samples written, to within two steps of the format (written at
    // 127 steps a side, read at 128 below zero).
    const step = Math.max(1e-6, options.float ? 0 : 2 ** (2 - options.bits));
    const mean = (i) => written.reduce((sum, channel) => sum + channel[i], 0) / written.length;
    assert.ok(ours.every((value, i) => Math.abs(value - mean(i)) <= step), name);
    const unlike = kDecodesOtherwise[h.engine]?.[name];
    if (!browsers || unlike) {
      if (unlike) console.log(`# ${name}: not held against ${h.engine}'s decoder: ${unlike}`);
      continue;
    }
    // Engines scale integers to within one step of each other (Chromium
    // reaches 1 at the highest value, WebKit one step short of it).
    assert.equal(browsers.length, ours.length, name);
    const worst = Math.max(...ours.map((value, i) => Math.abs(value - browsers[i])));
    const oneStep = Math.max(1e-6, options.float ? 0 : 2 ** (1 - options.bits));
    assert.ok(worst <= oneStep, `${name}: differs from the browser's samples by ${worst}`);
  }
  assert.deepEqual(await page.errors(), []);
});

test('a constant 0.3 becomes 166 throughout, as round(0.3 × 127.5 + 127.5), from a file ' +
  'cut short', async () => {
  const page = await site.open();
  await page.button('Use the examples').click();
  const constant = h.wav(Array(44100).fill(0.3), 44100, { bits: 32, float: true });
  // Its header gives 2 s.
  constant.writeUInt32LE(2 * constant.readUInt32LE(40), 40);
  await page.labelled('Recording').setFiles(h.filesOnDisk({ 'hum.wav': constant }));
  await page.css('#recording-status').waitFor('hum.wav: 1 s of sound. The file ends before ' +
    'the length its header gives, 2 s: the page takes the 1 s it holds.');
  const { bytes } = await page.button('Download the input bytes').download();
  assert.equal(bytes.length, 4000);
  assert.deepEqual([...new Set(bytes)], [166]);
  assert.deepEqual(await page.errors(), []);
});
