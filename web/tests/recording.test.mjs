// A recording as input: WAV files written here, of known tones, made into
// bytes by the page, checked against the conversion rule, and run as the
// native program runs the downloaded bytes.
import assert from 'node:assert/strict';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';

const kFileRate = 44100;
const kAmplitude = 0.8;

const site = h.siteInBrowser();

function sine(frequency, seconds, amplitude = kAmplitude) {
  return Array.from({ length: Math.round(seconds * kFileRate) },
    (_, i) => amplitude * Math.sin(2 * Math.PI * frequency * i / kFileRate));
}

const tone = (frequency, seconds) => h.wav(sine(frequency, seconds), kFileRate);

const byteRule = (s) => Math.min(255, Math.max(0, Math.round(s * 127.5 + 127.5)));

// The page with the examples' templates and the recording `wav`.
async function pageWithRecording(wav, name = 'tone.wav') {
  const page = await site.open();
  await page.button('Use the examples').click();
  await page.labelled('Recording').setFiles(h.filesOnDisk({ [name]: wav }));
  return page;
}

const inputBytes = (page) => page.button('Download the input bytes').download();

// The largest distance of `bytes` from `expected(i)`, away from both ends.
function worstError(bytes, expected, edge = 64) {
  let worst = 0;
  for (let i = edge; i < bytes.length - edge; ++i) {
    worst = Math.max(worst, Math.abs(bytes[i] - expected(i)));
  }
  return worst;
}

test('a tone below half the rate keeps its amplitude, from the chosen start', async () => {
  const page = await pageWithRecording(tone(250, 1));
  let made = await inputBytes(page);
  assert.equal(made.name, 'tone.raw');
  assert.equal(made.bytes.length, 4000);
  assert.ok(worstError(made.bytes,
    (i) => byteRule(kAmplitude * Math.sin(2 * Math.PI * 250 * i / 4000))) <= 2);

  await page.labelled('Rate').fill('3000');
  await page.labelled('Start').fill('0.1');
  made = await inputBytes(page);
  assert.equal(made.bytes.length, 2700);
  assert.ok(worstError(made.bytes,
    (i) => byteRule(kAmplitude * Math.sin(2 * Math.PI * 250 * (0.1 + i / 3000)))) <= 2);
  await page.text('It makes 2700 bytes: 900 ms from 0.1 s at 3000/s.').waitFor();
  await page.text('The templates\' room, 240 values: 80 ms at 3000/s.').waitFor();

  // The next recording is taken from 0 to its end, at the Rate kept.
  await page.labelled('Length').fill('0.5');
  await page.labelled('Recording').setFiles(h.filesOnDisk({ 'next.wav': tone(250, 2) }));
  await page.text('It makes 6000 bytes: 2 s from 0 s at 3000/s.').waitFor();

  // One too long to be kept whole: its values come from the frames read
  // about them, kept for the next start nearby.
  await page.labelled('Recording').setFiles(h.filesOnDisk({ 'long.wav': tone(250, 60) }));
  for (const start of [50.1, 50.2]) {
    await page.labelled('Start').fill(String(start));
    made = await inputBytes(page);
    assert.ok(worstError(made.bytes,
      (i) => byteRule(kAmplitude * Math.sin(2 * Math.PI * 250 * (start + i / 3000)))) <= 2);
  }
  assert.deepEqual(await page.errors(), []);
});

test('a tone above half the rate is filtered out, not folded back', async () => {
  const page = await pageWithRecording(tone(3000, 0.5));
  const { bytes } = await inputBytes(page);
  assert.equal(bytes.length, 2000);
  // Folded back, it would come out as 1 kHz at full amplitude.
  assert.ok(worstError(bytes, () => 128) <= 2);
});

test('a stereo recording is the mean of its channels', async () => {
  // The left channel alone would give the full tone, its mean half of it.
  const page = await pageWithRecording(h.wav([sine(250, 0.5), sine(250, 0.5, 0)], kFileRate));
  const { bytes } = await inputBytes(page);
  assert.ok(worstError(bytes,
    (i) => byteRule(kAmplitude / 2 * Math.sin(2 * Math.PI * 250 * i / 4000))) <= 2);
});

test('the patches from a recording are the native run\'s from its bytes', async () => {
  const page = await pageWithRecording(tone(440, 0.75));
  const made = await inputBytes(page);
  const run = await h.runOnPage(page);
  const native = h.nativeRun({ ...h.examples(), [made.name]: made.bytes }, made.name, 'demo');
  assert.match(native.stdout, /Truncating\.\r\nFinished!\r\n$/);
  assert.equal(run.transcript, native.stdout);
  assert.equal(run.exitCode, 'Exit code 0');
  assert.deepEqual(await h.pagePatches(page), native.files);
});

test('Fit fills the room exactly, from the start to the end or for a length', async () => {
  const summary = /Summary: room for (\d+) values?/.exec(h.nativePreviewOf(h.examples()).stdout);
  const room = Number(summary[1]);
  const preview = (page) => page.labelled('Preview');
  const page = await pageWithRecording(tone(100, 2.5));
  await page.labelled('Start').fill('0.5');
  await page.button('Fit').click();
  await preview(page).waitFor(`Input tone.raw: ${room} bytes`);
  assert.match(await preview(page).text(),
    new RegExp(`Summary: patches written 4, values used ${room}, values unused 0\\.`));
  // Start 0.5 s to the end, 2.5 s: 2 s of sound.
  assert.equal(Math.round(Number(await page.labelled('Rate').value()) * 2), room);

  await page.labelled('Length').fill('0.3');
  await page.button('Fit').click();
  // Fit waits for the preview of Length 0.3 before it sets the Rate.
  await page.until(async () => Math.round(Number(await page.labelled('Rate').value()) * 0.3) ===
    room || undefined, 'the Rate that Fit gives 0.3 s');
  assert.equal((await inputBytes(page)).bytes.length, room);
  assert.deepEqual(await page.errors(), []);
});

// A saw of `pitch` Hz (harmonics 1 to 16) shaped by `envelope(t)`.
const saw = (pitch, seconds, envelope) => sine(0, seconds).map((_, i) => envelope(i / kFileRate) *
  Array.from({ length: 16 }, (__, h) => Math.sin(2 * Math.PI * (h + 1) * pitch * i / kFileRate)
    / (h + 1)).reduce((a, b) => a + b, 0) * 0.4);
// Each patch's largest distance from the middle, the examples' 60 values a
// patch.
const levels = (bytes) => [0, 1, 2, 3].map((patch) => Math.max(...[...bytes]
  .slice(60 * patch, 60 * patch + 60).map((byte) => Math.abs(byte - 127.5))));

test('Cycles and Contour: the patches are the native run\'s from the downloaded bytes',
  async () => {
    for (const [take, samples, check] of [
      // A plucked saw: one cycle a patch, the loudest at the edge, each patch
      // at its own level; the Rate sounds the pitch.
      ['Cycles', saw(110, 1, (t) => Math.exp(-3 * t)), async (page, bytes) => {
        await page.labelled('Pitch').waitFor();
        assert.equal(await page.labelled('Pitch').value(), '110.0 Hz, A2');
        assert.ok(Math.abs(Number(await page.labelled('Rate').value()) / 60 / 110 - 1) < 0.005);
        const level = levels(bytes);
        assert.equal(Math.max(...level), 127.5);
        assert.ok(level.every((value, i) => i === 0 || value < level[i - 1]), `${level}`);
      }],
      // A tone that grows from silence: the contour rises from 0 to 255.
      ['Contour', sine(440, 1).map((s, i) => (s * i) / kFileRate), (page, bytes) => {
        assert.ok(bytes[0] < 8 && bytes[239] === 255, `${bytes[0]} ${bytes[239]}`);
        assert.ok(bytes.every((byte, i) => i === 0 || byte >= bytes[i - 1] - 2));
      }]]) {
      const page = await pageWithRecording(h.wav(samples, kFileRate));
      await page.role('radio', take).click();
      const made = await inputBytes(page);
      assert.equal(made.bytes.length, 240, take);
      await check(page, made.bytes);
      // The waveform marks each patch's span: the last at the selection's end.
      const marks = await page.evaluate(() => [...document
        .querySelectorAll('[role="img"][aria-label^="Patch "]')].filter((mark) => !mark.hidden)
        .map((mark) => mark.getAttribute('aria-label')));
      assert.equal(marks.length, 4, take);
      assert.match(marks[3], take === 'Cycles' ? /^Patch 4: 0\.9\d* s to 0\.9/
        : /^Patch 4: 0\.75 s to 1 s$/);
      const run = await h.runOnPage(page);
      const native = h.nativeRun({ ...h.examples(), [made.name]: made.bytes }, made.name, 'demo');
      assert.equal(run.transcript, native.stdout, take);
      assert.deepEqual(await h.pagePatches(page), native.files, take);
      assert.deepEqual(await page.errors(), [], take);
    }
  });

test('Samples: the range the values use, Fill the range, and the tones the Rate keeps',
  async () => {
    const page = await pageWithRecording(h.wav(sine(250, 1, 0.3), kFileRate));
    const hint = 'The values use only 44 to 83 of 0..127: Fill the range brings the loudest';
    await page.text(hint).waitFor();
    await page.labelled('Fill the range').click();
    const { bytes } = await inputBytes(page);
    assert.ok(worstError(bytes, (i) => byteRule(Math.sin(2 * Math.PI * 250 * i / 4000))) <= 2);
    assert.equal(await page.text(hint).count(), 0);

    // A pluck of 110 Hz and 331 Hz at 80 values a second keeps nothing.
    const upper = sine(331, 3);
    await page.labelled('Recording').setFiles(h.filesOnDisk({ 'pluck.wav': h.wav(
      sine(110, 3).map((s, i) => (s + upper[i]) * 0.5 * Math.exp(-i / kFileRate)),
      kFileRate) }));
    await page.labelled('Rate').fill('80');
    await page.text('At 80/s the values keep tones up to 34.4 Hz. Most of the selection\'s ' +
      'energy lies above 34.4 Hz (half of it above 2').waitFor();
    assert.deepEqual(await page.errors(), []);
  });

test('Cycles: a selection with no clear pitch says so, and a typed Pitch is taken', async () => {
  const noise = Array.from({ length: kFileRate }, (_, i) => Math.sin(i * i * 12.9898) * 0.5);
  const page = await pageWithRecording(h.wav(noise, kFileRate));
  await page.role('radio', 'Cycles').click();
  await page.text('The selection has no clear pitch (it sounds like noise): choose a part')
    .waitFor();
  await page.labelled('Pitch').fill('220');
  await page.labelled('Cycles per patch').fill('2');
  assert.equal((await inputBytes(page)).bytes.length, 240);
  assert.equal(await page.labelled('Rate').value(), '6600');
});
