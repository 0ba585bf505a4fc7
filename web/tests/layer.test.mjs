// The layer the browser tests stand on (browser.mjs), in each engine, on a
// page of its own: what it finds by name and text, what its steps do, and
// what it reads back, as the page's tests rely on them.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { engine, test } from './browser.mjs';
import * as h from './helpers.mjs';

const kPage = `<!doctype html>
<html lang="en"><head><meta charset="utf-8"><title>Layer</title></head><body>
<button>Save</button> <button>Save all</button> <button hidden>Hidden</button>
<div role="button" aria-label="Close" tabindex="0">x</div>
<button>Twin</button> <button>Twin</button>
<a href="#next">Next page</a>
<label for="name">Name</label> <input id="name" type="text" value="old">
<button>Name</button>
<label for="rate">Rate</label> <input id="rate" type="number" value="4000">
<span id="tempo-label">Tempo</span> <input aria-labelledby="tempo-label">
<label for="files">Files</label> <input id="files" type="file" multiple>
<pre role="region" aria-label="Log" id="log"></pre>
<p>Some <b>bold</b> words</p> <p class="twice">twice, first</p> <p>twice</p>
<p hidden>concealed</p>
<svg aria-label="Chart"><text>1</text><text>2</text></svg>
<a id="data" download="data.bin">Data file</a> <a id="empty" download="empty.bin">Empty file</a>
<button id="throw">Throw</button> <button id="fetch">Fetch</button>
<button id="bad-worker">Bad worker</button>
<button id="later">Later</button> <button id="replace">Replace me</button>
<button id="vanish">Vanish</button> <button id="move">Move</button>
<div id="mover"><button>Moving</button></div>
<script>
const log = (line) => { document.getElementById('log').textContent += line + '\\n'; };
document.getElementById('data').href =
  URL.createObjectURL(new Blob([Uint8Array.from({ length: 256 }, (_, i) => i)]));
document.getElementById('empty').href = URL.createObjectURL(new Blob([]));
for (const button of document.querySelectorAll('button')) {
  button.addEventListener('click', () => log('clicked ' + button.textContent));
}
document.querySelector('[role=button]').addEventListener('click', () => log('clicked Close'));
for (const field of document.querySelectorAll('input')) {
  field.addEventListener('input', () => log('input ' + field.value));
  field.addEventListener('change', () => log('change ' +
    (field.files ? [...field.files].map((file) => file.name + ' ' + file.size) : field.value)));
}
document.getElementById('throw').onclick = () => {
  console.log('about to throw');
  throw new Error('boom');
};
document.getElementById('bad-worker').onclick = () => {
  new Worker('./missing.js').onerror = () => log('worker failed');
};
document.getElementById('fetch').onclick = () => fetch('./index.html')
  .then(() => log('fetched'), () => log('fetch failed'));
document.getElementById('later').onclick = () => setTimeout(() =>
  document.body.insertAdjacentHTML('beforeend', '<a href="#late">Late</a>'), 300);
document.getElementById('replace').onclick = (event) => {
  const fresh = document.createElement('button');
  fresh.textContent = 'Replace me';
  fresh.onclick = () => log('clicked the new one');
  event.target.replaceWith(fresh);
};
document.getElementById('move').onclick = () => {
  let steps = 0;
  const timer = setInterval(() => {
    document.getElementById('mover').style.marginTop = (++steps * 10) + 'px';
    if (steps < 20) return;
    clearInterval(timer);
    log('stopped');
  }, 20);
};
document.getElementById('vanish').onclick = (event) => { event.target.hidden = true; };
document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', (event) => {
  event.preventDefault();
  for (const file of event.dataTransfer.files) log('dropped ' + file.name + ' ' + file.size);
});
</script></body></html>
`;

const site = h.siteInBrowser(h.folder({ 'index.html': kPage }));
const logged = (page) => page.labelled('Log');

test('elements by role and exact name, by every kind of label; hidden ones left out',
  async () => {
    const page = await site.open();
    await page.button('Save').click();
    await page.button('Close').click();
    await logged(page).waitFor('clicked Save\nclicked Close\n');
    assert.equal(await page.button('Hidden').count(), 0);
    assert.equal(await page.link('Next page').attribute('href'), '#next');
    // A field by its <label> or aria-labelledby, and not a button that
    // only shows the same word.
    assert.equal(await page.labelled('Name').value(), 'old');
    assert.equal(await page.labelled('Tempo').attribute('aria-labelledby'), 'tempo-label');
    assert.equal(await page.button('Name').text(), 'Name');
    assert.deepEqual(await page.labelled('Chart').find('text').texts(), ['1', '2']);
    assert.equal(await page.labelled('Chart').find('text').nth(1).text(), '2');
    // Two of one name: a step on one of them cannot choose.
    await assert.rejects(page.button('Twin').click(), /2 elements are the button "Twin"/);
  });

test('text: the innermost shown element that holds it, the first of several', async () => {
  const page = await site.open();
  assert.equal(await page.text('Some bold words').text(), 'Some bold words');
  assert.equal(await page.text('bold').text(), 'bold');
  assert.equal(await page.text('twice').attribute('class'), 'twice');
  assert.equal(await page.text('concealed').count(), 0);
  // CSS finds what is hidden too.
  assert.equal(await page.css('p').count(), 4);
});

test('fields: fill types in place of the value, files are chosen', async () => {
  const page = await site.open();
  await page.labelled('Name').fill('new');
  assert.equal(await page.labelled('Name').value(), 'new');
  await page.labelled('Rate').fill('0.5');
  assert.equal(await page.labelled('Rate').value(), '0.5');
  await page.labelled('Rate').fill('');
  assert.equal(await page.labelled('Rate').value(), '');
  await page.labelled('Files').setFiles(h.filesOnDisk({ 'a.raw': 'abc', 'b.raw': '' }));
  await logged(page).waitFor('change a.raw 3,b.raw 0\n');
  // Each field heard its last value as a user's typing gives it.
  assert.match(await logged(page).text(), /^input new$/m);
  assert.match(await logged(page).text(), /^input 0\.5$/m);
  assert.match(await logged(page).text(), /^input $/m);
});

test('downloads: name and bytes, an empty file, the same name again', async () => {
  const page = await site.open();
  const bytes = Buffer.from(Array.from({ length: 256 }, (_, i) => i));
  assert.deepEqual(await page.link('Data file').download(), { name: 'data.bin', bytes });
  assert.deepEqual(await page.link('Data file').download(), { name: 'data.bin', bytes });
  assert.deepEqual(await page.link('Empty file').download(),
    { name: 'empty.bin', bytes: Buffer.alloc(0) });
});

test('dropped files, the page\'s errors and console, a function run in the page',
  async () => {
    const page = await site.open();
    await page.drop({ 'one.raw': Buffer.alloc(300, 1), 'two.pch': 'P1=1\r\n' });
    await logged(page).waitFor('dropped one.raw 300\ndropped two.pch 6\n');
    assert.deepEqual(await page.errors(), []);
    await page.button('Throw').click();
    await logged(page).waitFor('clicked Throw');
    await page.until(async () => ((await page.errors()).length > 0 || undefined), 'the error');
    assert.deepEqual(await page.errors(), ['boom']);
    assert.deepEqual(await page.logged(), ['about to throw']);
    // A worker's failure, which the page handles, is in its console too.
    await page.button('Bad worker').click();
    await logged(page).waitFor('worker failed');
    assert.match((await page.logged())[1], /^worker error: /);
    assert.deepEqual(await page.errors(), ['boom']);
    assert.equal(await page.evaluate(async (a, b) => a + b, 2, 3), 5);
  });

test('offline: nothing the page asks for reaches it, until it is back online', async () => {
  const page = await site.open();
  await site.offline(true);
  try {
    await page.button('Fetch').click();
    await logged(page).waitFor('fetch failed');
  } finally {
    await site.offline(false);
  }
  await page.button('Fetch').click();
  await logged(page).waitFor('fetched');
});

test('found afresh: an element that comes later, one replaced, one hidden since', async () => {
  const page = await site.open();
  await page.button('Later').click();
  assert.equal(await page.link('Late').attribute('href'), '#late');
  // The button found first is gone: the click goes to the one in its place.
  await page.button('Replace me').click();
  await page.button('Replace me').click();
  await logged(page).waitFor('clicked the new one');
  await page.button('Vanish').click();
  assert.equal(await page.button('Vanish').count(), 0);
});

test('a click waits for its element to hold still', async () => {
  const page = await site.open();
  await page.button('Move').click();
  await page.button('Moving').click();
  await logged(page).waitFor('clicked Moving');
  assert.match(await logged(page).text(), /^stopped\nclicked Moving\n/m);
});

test('a wait that fails says what it waited for and what the page said; a screenshot',
  async () => {
    const page = await site.open();
    await assert.rejects(page.until(async () => undefined, 'nothing', 100), (error) => {
      assert.deepEqual(error.message.split('\n').slice(0, 2), ['waited 100 ms for nothing',
        'The page said: Some bold words | twice, first | twice']);
      return true;
    });
    const path = join(h.folder({}), 'page.png');
    await page.screenshot(path);
    assert.deepEqual(readFileSync(path).subarray(0, 4), Buffer.from('\x89PNG', 'latin1'));
  });

test('a browser that ends on its own is started again for the next page, saying why',
  { needs: 'browserEnd' }, async () => {
    await site.open();
    const name = { chromium: 'chromium', firefox: 'firefox-esr' }[engine];
    execFileSync('pkill', ['-KILL', '-P', String(process.pid), name]);
    const page = await site.open();
    await page.button('Save').click();
    await logged(page).waitFor('clicked Save');
  });
