// The recording seen: its waveform where its sound is, zoomed in and out;
// the handles Start and End moved by mouse and keyboard and placed by the
// fields; the part that reaches the patches marked where the room at the
// Rate ends; and the preview following a drag over a long recording.
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';
import { test } from './browser.mjs';
import * as h from './helpers.mjs';
import * as s from './sound.mjs';

const site = h.siteInBrowser();

const kRate = 44100;
const preview = (page) => page.labelled('Preview');
const handle = (page, name) => page.role('slider', name);
const field = (page, name) => page.labelled(name);
const picture = (page) => page.role('region', 'Waveform').find('canvas');

async function pageWith(wav, name = 'sound.wav') {
  const page = await site.open();
  await page.button('Use the examples').click();
  await preview(page).waitFor('Summary: patches written 4');
  await page.labelled('Recording').setFiles(h.filesOnDisk({ [name]: wav }));
  await page.role('region', 'Waveform').waitFor();
  return page;
}

// How far the waves drawn in each column of the picture reach from its
// middle line, as a share of the most they may (the strip of the time axis
// under them left out).
function drawnHeights(page) {
  return picture(page).evaluate((canvas) => {
    const { width, height } = canvas;
    const waves = height - Math.round(18 * devicePixelRatio);
    const middle = (waves - 1) / 2;
    const pixels = canvas.getContext('2d').getImageData(0, 0, width, waves).data;
    return Array.from({ length: width }, (_, x) => {
      let reach = 0;
      for (let y = 0; y < waves; ++y) {
        const at = (y * width + x) * 4;
        // The waves' blue, not the grey of the line at zero.
        if (pixels[at + 3] > 128 && pixels[at] < 100 && pixels[at + 2] > 120) {
          reach = Math.max(reach, Math.max(0, Math.abs(y - middle) - 1) / middle);
        }
      }
      return reach;
    });
  });
}

// The columns that reach at least `share`, as [first, last].
function loudColumns(heights, share = 0.5) {
  const loud = heights.map((height, x) => (height >= share ? x : -1)).filter((x) => x >= 0);
  return [loud[0], loud.at(-1)];
}

// Waits until the picture is drawn from the whole recording and no longer
// changes.
async function settled(page) {
  let last = null;
  for (;;) {
    await sleep(300);
    const heights = JSON.stringify(await drawnHeights(page));
    if (heights === last) return JSON.parse(heights);
    last = heights;
  }
}

test('the waveform has its loud columns where the tone is, zoomed in and out', async () => {
  // 1 s of silence, 1 s of tone, 1 s of silence: more frames than the
  // overview's blocks, so that zoomed in close it is drawn from the file.
  const page = await pageWith(h.wav(s.parts(kRate, [1, 0], [1, 0.8], [1, 0]), kRate));
  let heights = await settled(page);
  const width = heights.length;
  let [first, last] = loudColumns(heights);
  assert.ok(Math.abs(first - width / 3) <= 2 && Math.abs(last - (2 * width) / 3) <= 2,
    `loud from ${first} to ${last} of ${width}`);
  assert.ok(heights.slice(0, first - 3).every((height) => height < 0.05));

  // Zoomed in: the middle half, 0.75 s to 2.25 s, the tone from 1/6 to 5/6.
  await page.button('Zoom in').click();
  heights = await settled(page);
  [first, last] = loudColumns(heights);
  assert.ok(Math.abs(first - width / 6) <= 2 && Math.abs(last - (5 * width) / 6) <= 2,
    `zoomed in: loud from ${first} to ${last} of ${width}`);

  // The wheel over where the tone begins zooms in around it, down to the
  // frames: silence before it, the tone after.
  const box = await picture(page).box();
  const onset = box.x + box.width / 6;
  await page.pointerMove(onset, box.y + box.height / 2);
  for (let i = 0; i < 3; ++i) await page.wheel(-1000);
  heights = await settled(page);
  const at = Math.round(width / 6);
  assert.ok(heights.slice(0, at - 3).every((height) => height < 0.05));
  assert.ok(Math.max(...heights.slice(at + 3)) > 0.5);

  const zoomOut = page.button('Zoom out');
  await zoomOut.click();
  while (await zoomOut.evaluate((button) => !button.disabled)) await zoomOut.click();
  [first, last] = loudColumns(await settled(page));
  assert.ok(Math.abs(first - width / 3) <= 2 && Math.abs(last - (2 * width) / 3) <= 2);
  assert.deepEqual(await page.errors(), []);
});

test('a recording read whole by several slices has its tone where it is', async () => {
  // 100 s of silence, 100 s of tone, 100 s of silence: 26 MB, whose slices
  // reach the overview in order.
  const page = await pageWith(h.wav(s.parts(kRate, [100, 0], [100, 0.8], [100, 0]), kRate));
  // At 1/s, the preview waits for the whole read.
  await field(page, 'Rate').fill('1');
  await preview(page).waitFor('Input sound.raw: 300 bytes');
  const heights = await settled(page);
  const [first, last] = loudColumns(heights);
  assert.ok(Math.abs(first - heights.length / 3) <= 2 &&
    Math.abs(last - (2 * heights.length) / 3) <= 2, `loud from ${first} to ${last}`);
});

test('the handles move by mouse and keyboard, and the fields place them', async () => {
  const seconds = 4;
  const page = await pageWith(h.wav(s.parts(8000, [seconds, 0.5]), 8000));
  const box = await picture(page).box();
  const xOf = (time) => box.x + (box.width * time) / seconds;
  const onePixel = seconds / box.width;
  const dragTo = async (name, time) => {
    const grip = await handle(page, name).box();
    const y = grip.y + grip.height / 2;
    await page.pointerMove(grip.x + grip.width / 2, y);
    await page.pointerDown();
    await page.pointerMove(xOf(time), y, 5);
    await page.pointerUp();
  };
  const fields = async () => [await field(page, 'Start').value(),
    await field(page, 'Length').value()];

  // Start dragged to 1 s: the end stays at the recording's end.
  await dragTo('Start', 1);
  let [start, length] = await fields();
  assert.ok(Math.abs(Number(start) - 1) <= onePixel, start);
  assert.equal(length, '');
  assert.equal(await handle(page, 'Start').attribute('aria-valuetext'), `Start, ${start} s`);
  // End dragged to 3 s: Length from Start to there.
  await dragTo('End', 3);
  [start, length] = await fields();
  assert.ok(Math.abs(Number(start) + Number(length) - 3) <= onePixel, `${start} + ${length}`);
  // End dragged past the recording's end: to the end.
  await dragTo('End', seconds * 1.04);
  assert.deepEqual(await fields(), [start, '']);

  // Typed fields place the handles.
  await field(page, 'Start').fill('1.25');
  await field(page, 'Length').fill('2');
  const centre = async (name) => {
    const grip = await handle(page, name).box();
    return grip.x + grip.width / 2;
  };
  assert.ok(Math.abs((await centre('Start')) - xOf(1.25)) <= 1);
  assert.ok(Math.abs((await centre('End')) - xOf(3.25)) <= 1);
  assert.equal(await handle(page, 'End').attribute('aria-valuetext'), 'End, 3.25 s');

  // The keyboard: 10 ms, 1 s, the ends. Start keeps the end where it is.
  const keys = async (name, ...pressed) => {
    await handle(page, name).press(...pressed);
    return fields();
  };
  assert.deepEqual(await keys('Start', 'ArrowRight'), ['1.26', '1.99']);
  assert.deepEqual(await keys('Start', 'PageUp'), ['2.26', '0.99']);
  assert.deepEqual(await keys('Start', 'ArrowLeft', 'PageDown'), ['1.25', '2']);
  assert.deepEqual(await keys('Start', 'Home'), ['0', '3.25']);
  assert.deepEqual(await keys('End', 'ArrowDown', 'PageDown'), ['0', '2.24']);
  assert.deepEqual(await keys('End', 'End'), ['0', '']);
  assert.deepEqual(await keys('End', 'ArrowLeft'), ['0', '3.99']);
  assert.deepEqual(await keys('Start', 'End'), ['3.989', '0.001']);
  assert.deepEqual(await keys('End', 'Home', 'PageUp'), ['3.989', '']);
  assert.equal(await handle(page, 'Start').attribute('aria-valuetext'), 'Start, 3.989 s');

  // Every key on each handle, from Start 1.25 s to End 3.25 s: Start and
  // Length after it. A handle stops 1 ms before the other.
  const kKeys = { Start: { ArrowRight: '1.26 1.99', ArrowUp: '1.26 1.99', ArrowLeft: '1.24 2.01',
    ArrowDown: '1.24 2.01', PageUp: '2.25 1', PageDown: '0.25 3', Home: '0 3.25',
    End: '3.249 0.001' }, End: { ArrowRight: '1.25 2.01', ArrowUp: '1.25 2.01',
    ArrowLeft: '1.25 1.99', ArrowDown: '1.25 1.99', PageUp: '1.25 ', PageDown: '1.25 1',
    Home: '1.25 0.001', End: '1.25 ' } };
  for (const [name, key, expected] of Object.entries(kKeys)
    .flatMap(([name, moves]) => Object.entries(moves).map((move) => [name, ...move]))) {
    await field(page, 'Start').fill('1.25');
    await field(page, 'Length').fill('2');
    assert.deepEqual(await keys(name, key), expected.split(' '), `${key} on ${name}`);
  }

  // Zoom in keeps the selection in view (measured where it is: a handle's
  // box() would scroll it into view).
  await field(page, 'Start').fill('2.5');
  await field(page, 'Length').fill('1');
  await page.button('Zoom in').click();
  const { x, width } = await page.role('region', 'Waveform').box();
  for (const name of ['Start', 'End']) {
    const at = await handle(page, name).evaluate((grip) => grip.getBoundingClientRect().x);
    assert.ok(at > x && at < x + width, `${name} at ${at}, out of view`);
  }
  assert.deepEqual(await page.errors(), []);
});

test('the part that reaches the patches is marked from Start for room / Rate', async () => {
  const room = s.examplesRoom();
  const page = await pageWith(h.wav(s.parts(8000, [4, 0.5]), 8000));
  await field(page, 'Start').fill('1');
  await field(page, 'Length').fill('2');
  const box = await picture(page).box();
  const xOf = (time) => box.x + (box.width * time) / 4;
  for (const rate of [4000, 400, 100]) {
    await field(page, 'Rate').fill(String(rate));
    const end = Math.min(3, 1 + room / rate);
    const reach = page.role('img', `Reaches the patches: 1 s to ${end} s`);
    await reach.waitFor();
    const marked = await reach.box();
    assert.ok(Math.abs(marked.x - xOf(1)) <= 1 && Math.abs(marked.x + marked.width - xOf(end)) <= 1,
      `at ${rate}/s: ${marked.x} to ${marked.x + marked.width}, not ${xOf(1)} to ${xOf(end)}`);
    const cut = page.role('img', `Cut: ${end} s to 3 s`);
    if (end < 3) {
      const box2 = await cut.box();
      assert.ok(Math.abs(box2.x - xOf(end)) <= 1 && Math.abs(box2.x + box2.width - xOf(3)) <= 1);
    } else {
      assert.equal(await cut.count(), 0);
    }
  }
  assert.deepEqual(await page.errors(), []);
});

test('a drag over a 10-minute recording ends on the preview of the bytes it chose', async () => {
  const page = await site.open();
  await page.button('Use the examples').click();
  await page.labelled('Recording').setFiles(s.longWav(600, kRate));
  await page.role('region', 'Waveform').waitFor();
  await field(page, 'Start').fill('100');
  await field(page, 'Length').fill('30');
  await preview(page).waitFor('Input long.raw: 120000 bytes');
  // Each drawing of the chart during the drag.
  await page.evaluate(() => {
    window.charts = 0;
    new MutationObserver(() => { window.charts += 1; })
      .observe(document.getElementById('chart'), { childList: true });
  });
  const box = await picture(page).box();
  const grip = await handle(page, 'Start').box();
  const y = grip.y + grip.height / 2;
  let x = grip.x + grip.width / 2;
  await page.pointerMove(x, y);
  await page.pointerDown();
  // 20 steps towards 125 s, 25 s of the 600 s in view.
  const step = (box.width * 25) / 600 / 20;
  for (let i = 0; i < 20; ++i) {
    x += step;
    await page.pointerMove(x, y);
    await sleep(30);
  }
  await page.pointerUp();
  const drawnWhileMoving = await page.evaluate(() => window.charts);
  await h.previewUpToDate(page);
  const start = Number(await field(page, 'Start').value());
  assert.ok(start > 110 && start < 130, String(start));

  const made = await page.button('Download the input bytes').download();
  const length = Number(await field(page, 'Length').value());
  assert.equal(made.bytes.length, Math.round(length * 4000));
  const native = h.nativePreviewOf({ ...h.examples(), [made.name]: made.bytes }, made.name);
  assert.equal(await preview(page).text(), native.stdout);
  // Each patch's values are a line of their own.
  const lines = page.labelled('Chart').find('polyline');
  const points = [];
  for (let i = 0; i < await lines.count(); ++i) {
    points.push(...(await lines.nth(i).attribute('points')).split(' '));
  }
  const values = points.map((point) =>
    Math.round(127 * (1 - (Number(point.split(',')[1]) - 8) / 172)));
  assert.deepEqual(values, s.usedValues(made.bytes, made.name));
  assert.ok(drawnWhileMoving >= 2, `the chart changed ${drawnWhileMoving} times during the drag`);
  assert.deepEqual(await page.errors(), []);
});

test('the page with a recording, its selection and the play buttons, for the README', async () => {
  const page = await pageWith(h.wav(s.parts(kRate, [0.6, 0], [0.3, 0.3, 55], [0.4, 0.9, 82.5],
    [0.4, 0.2, 110], [0.3, 0]), kRate), 'riff.wav');
  await field(page, 'Start').fill('0.5');
  await field(page, 'Length').fill('0.9');
  await field(page, 'Rate').fill('600');
  await preview(page).waitFor('Input riff.raw: 540 bytes');
  await h.previewUpToDate(page);
  await settled(page);
  await page.screenshot(join(h.buildDir, `web-page-${h.engine}.png`));
  assert.deepEqual(await page.errors(), []);
});
