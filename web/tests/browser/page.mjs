// The page as a test sees it: the site opened in the engine's browser,
// started again if it ends on its own, and its elements found by what a
// user reads, each step run by the engine's driver.
import { after, afterEach, before } from 'node:test';
import { kTimeout, kViewport, lacks, launch, siteDir } from './engines.mjs';
import { serve } from './server.mjs';

// Why `browser` ended on its own, or '' if it runs: asked for 2 s, as its
// driver may hear of the end a little after a step that it failed.
async function lostWhy(browser) {
  for (let tries = 0; browser.lost && tries < 20; ++tries) {
    const why = browser.lost();
    if (why) return why;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  return '';
}

// The site (or the folder `root`) served with `options` (as serve() takes
// them) and the browser started once for the tests of one file: `served`
// as serve() gives it; open(), which opens the page; serve(), which serves
// another folder (or the site afresh), with these options or others, at an
// address of its own, to open there; and offline(on). Each test's pages
// are closed after it.
export function siteInBrowser(root = siteDir, options = {}) {
  const site = {};
  const servers = [];
  let browser;
  site.serve = async (folder = root, given = options) => {
    const served = await serve(folder, given);
    servers.push(served);
    return served;
  };
  before(async () => {
    site.served = await site.serve();
    browser = await launch();
  });
  after(async () => {
    await browser?.close();
    // After the browser: a server waits for the browser's connections.
    await Promise.all(servers.map((served) => served.close()));
  });
  let pages = [];
  afterEach(async () => {
    // One after another: a driver may move between the pages' windows.
    for (const page of pages) await page.close();
    pages = [];
  });
  let offline = false;
  // A browser that ended on its own is started again for the next page,
  // and said so with its driver's why: a page does not end its browser,
  // only its own process. A test that still uses a page of the one that
  // ended fails there.
  const opened = async (url) => {
    const page = new Page(await browser.newPage());
    pages.push(page);
    await page.driver.goto(url);
    return page;
  };
  // The preview's Details are opened, as a user who reads them would,
  // unless `closed`.
  site.open = async (path = '', { closed = false } = {}) => {
    // A path of the site, or an address of its own such as a file's.
    const url = /^[a-z]+:/.test(path) ? path : site.served.url + path;
    let page;
    try {
      page = await opened(url);
    } catch (error) {
      const why = await lostWhy(browser);
      if (!why) throw error;
      console.error(`${why}\nStarted again for the next page.`);
      await browser.close();
      browser = await launch();
      if (offline) await browser.setOffline?.(true);
      page = await opened(url);
    }
    await loaded(page);
    if (!closed) await page.openDetails();
    return page;
  };
  // Cuts the pages off the network, or joins them again: the servers
  // answer nothing, and the browser, where its driver can, is offline as
  // well.
  site.offline = async (on) => {
    offline = on;
    for (const served of servers) served.offline = on;
    await browser.setOffline?.(on);
  };
  return site;
}

const loaded = (page) => page.until(async () =>
  (await page.driver.evaluate(source.loaded, [])) || undefined, 'the page to load');

// Functions run in the page, each on its own: a driver sends their source.
const inPage = {
  shown: (...elements) => elements.filter((element) => element.isConnected &&
    (element.checkVisibility?.() ?? element.getClientRects().length > 0)),
  // The innermost shown elements whose text holds `text`, spaces as
  // one, in the order of the document.
  withText: (text) => {
    const squeeze = (words) => words.replace(/\s+/g, ' ');
    const wanted = squeeze(text);
    const holds = (element) => squeeze(element.textContent).includes(wanted);
    return [...document.body.querySelectorAll('*')].filter((element) => holds(element) &&
      ![...element.children].some(holds) &&
      (element.checkVisibility?.() ?? element.getClientRects().length > 0));
  },
  // Of `elements`, those a label, aria-label or aria-labelledby names
  // (not their content alone).
  labelled: (...elements) => elements.filter((element) => element.labels?.length > 0 ||
    element.hasAttribute('aria-label') || element.hasAttribute('aria-labelledby')),
  within: (element, selector) => [...(element ?? document).querySelectorAll(selector)],
  // Whether `element`, brought to the middle of the view, stays where it
  // is for two frames and 50 ms, and is what a click at its centre
  // reaches. Two frames alone may pass in a moment (WebKit, on a busy
  // machine), between two steps of a page's timer that moves it; a timer
  // due before the 50 ms runs before them.
  reachable: async (element) => {
    element.scrollIntoView({ block: 'center', inline: 'center' });
    const box = () => JSON.stringify(element.getBoundingClientRect());
    const before = box();
    await Promise.all([
      new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))),
      new Promise((done) => setTimeout(done, 50)),
    ]);
    const { x, y, width, height } = element.getBoundingClientRect();
    const hit = document.elementFromPoint(x + width / 2, y + height / 2);
    return box() === before && hit !== null && element.contains(hit);
  },
  // The element's box in the view, brought into it first if need be.
  box: (element) => {
    element.scrollIntoView({ block: 'nearest', inline: 'nearest' });
    const { x, y, width, height } = element.getBoundingClientRect();
    return { x, y, width, height };
  },
  focus: (element) => element.focus(),
  // What the element's accessible name is made of (its text, labels and
  // ARIA names), while it is shown; null once it is not.
  nameOf: (element) => {
    if (!element.isConnected || !(element.checkVisibility?.() ??
      element.getClientRects().length > 0)) return null;
    const byId = (ids) => (ids ?? '').split(/\s+/)
      .map((id) => document.getElementById(id)?.textContent ?? '');
    return JSON.stringify([element.textContent, element.getAttribute('aria-label'),
      byId(element.getAttribute('aria-labelledby')), [...(element.labels ?? [])]
        .map((label) => label.textContent), element.getAttribute('role'), element.title]);
  },
  textContent: (element) => element.textContent,
  value: (element) => element.value,
  attribute: (element, name) => element.getAttribute(name),
  record: () => window.quorbelTestRecord ?? null,
  loaded: () => document.readyState === 'complete' && 'quorbelTestRecord' in window,
  said: () => [...document.querySelectorAll('p')]
    .filter((element) => element.checkVisibility?.() ?? element.getClientRects().length > 0)
    .map((element) => element.textContent),
  drop: (files) => {
    const transfer = new DataTransfer();
    for (const [name, base64] of files) {
      const bytes = Uint8Array.from(atob(base64), (char) => char.charCodeAt(0));
      transfer.items.add(new File([bytes], name));
    }
    document.body.dispatchEvent(new DragEvent('drop',
      { dataTransfer: transfer, bubbles: true, cancelable: true, composed: true }));
  },
};
const source = Object.fromEntries(Object.entries(inPage).map(([name, f]) => [name, `${f}`]));

const matches = (text, expected) =>
  expected instanceof RegExp ? expected.test(text) : text.includes(expected);

// The page as a test sees it.
class Page {
  #named = new Map();
  #closed = false;
  #resized = false;
  #pointer = { x: 0, y: 0 };

  constructor(driver) {
    this.driver = driver;
  }

  async close() {
    if (this.#closed) return;
    this.#closed = true;
    // Some engines keep one window for every page.
    if (this.#resized) await this.driver.resize(kViewport.width, kViewport.height);
    await this.driver.close();
  }

  // The element with role `role` and accessible name `name`, exactly.
  role(role, name) {
    return this.#target(`the ${role} "${name}"`, () => this.driver.byRole(role, name));
  }

  button = (name) => this.role('button', name);

  link = (name) => this.role('link', name);

  // The element labelled `name`, exactly: a field by its <label>, or any
  // element by its aria-label or aria-labelledby.
  labelled(name) {
    return this.#target(`the element labelled "${name}"`,
      async () => this.driver.elements(source.labelled, await this.driver.byLabel(name)));
  }

  // The first shown element that holds `text`.
  text(text) {
    return new Target(this, `the text "${text}"`,
      () => this.driver.elements(source.withText, [text]), true);
  }

  // The elements of the CSS `selector`.
  css(selector) {
    return new Target(this, `"${selector}"`,
      () => this.driver.elements(source.within, [null, selector]));
  }

  // Runs `f` on `args` (JSON values) in the page, and gives its settled
  // result.
  evaluate(f, ...args) {
    return this.driver.evaluate(`${f}`, args);
  }

  // Drops `files` ({ name: bytes }, or [name, bytes] pairs, which may
  // repeat a name) on the page, as a drag from the desktop would.
  async drop(files) {
    const encoded = (Array.isArray(files) ? files : Object.entries(files))
      .map(([name, bytes]) => [name, Buffer.from(bytes).toString('base64')]);
    await this.driver.evaluate(source.drop, [encoded]);
  }

  // The messages of the errors the page has not caught, so far.
  async errors() {
    return (await this.#record()).errors;
  }

  // The lines the page wrote to its console, so far.
  async logged() {
    return (await this.#record()).logged;
  }

  // The text of each paragraph shown.
  said = () => this.driver.evaluate(source.said, []);

  // Saves a PNG of the whole page, or of what the view shows.
  screenshot(path, { fullPage = true } = {}) {
    return this.driver.screenshot(path, fullPage);
  }

  // Loads the page again, as the browser's Reload does.
  async reload() {
    this.#named.clear();
    await this.driver.reload();
    await loaded(this);
    await this.openDetails();
  }

  // Opens the preview's Details by a click, if closed (a page without
  // them is left alone), until they are seen open: a click while a
  // preview arrives above them may land elsewhere.
  async openDetails() {
    const summary = this.css('details > summary');
    if (await summary.count() === 0) return;
    await this.until(async () => {
      if (await this.evaluate(() => document.querySelector('details').open)) return true;
      await summary.click();
      return undefined;
    }, 'Details to open');
  }

  // The mouse, at whole CSS pixels of the view: moved to `x`, `y` in
  // `steps` even steps from where it is, its button pressed and released,
  // its wheel turned by `deltaY` pixels where it is.
  async pointerMove(x, y, steps = 1) {
    const from = this.#pointer;
    for (let i = 1; i <= steps; ++i) {
      this.#pointer = { x: Math.round(from.x + ((x - from.x) * i) / steps),
        y: Math.round(from.y + ((y - from.y) * i) / steps) };
      await this.driver.pointerMove(this.#pointer.x, this.#pointer.y);
    }
  }

  pointerDown = () => this.driver.pointerDown();

  pointerUp = () => this.driver.pointerUp();

  wheel(deltaY) {
    return this.driver.wheel(this.#pointer.x, this.#pointer.y, deltaY);
  }

  // What keeps the browser from offering to install the page, as the
  // browser says it: none where it is installable. Only where the engine
  // tells (lacks('installability')).
  installabilityErrors() {
    if (!this.driver.installabilityErrors) throw new Error(lacks('installability'));
    return this.driver.installabilityErrors();
  }

  // Makes the page's view `width` × `height` CSS pixels, as a phone's,
  // until the page is closed; fails where the browser keeps it larger.
  async resize(width, height) {
    this.#resized = true;
    await this.driver.resize(width, height);
    const [given, high] = await this.evaluate(() => [innerWidth, innerHeight]);
    if (given !== width || high !== height) {
      throw new Error(`the view is ${given} × ${high} CSS pixels, not ${width} × ${height}`);
    }
  }

  // Resolves with what `step()` gives once that is not undefined, trying
  // every few milliseconds; fails after `timeout` ms with what the page
  // said, saying it waited for `what`. A step whose element left the page
  // meanwhile (WebDriver refuses it as stale) is tried again: each step
  // finds its elements afresh.
  async until(step, what, timeout = kTimeout) {
    for (const start = Date.now(); ; await new Promise((done) => setTimeout(done, 20))) {
      const result = await step().catch((error) => {
        if (error.name === 'stale element reference') return undefined;
        throw error;
      });
      if (result !== undefined) return result;
      if (Date.now() - start > timeout) {
        const read = (lines) => lines.then((all) => all.join(' | '), (error) => `(${error})`);
        throw new Error(`waited ${timeout} ms for ${what}\n` +
          `The page said: ${await read(this.said())}\n` +
          `Its console: ${await read(this.logged())}`);
      }
    }
  }

  // What the element's name is made of, while it is shown; null once not.
  async #nameOf(element) {
    try {
      return await this.driver.evaluate(source.nameOf, [element]);
    } catch {
      return null; // WebDriver refuses an element gone from the page
    }
  }

  async #record() {
    const record = await this.driver.evaluate(source.record, []);
    if (!record) throw new Error('the page was not served by the tests\' server');
    return record;
  }

  // An element found by its name, kept while it stays in the page, shown,
  // with what its name is made of unchanged (a button that now reads Stop
  // is no longer Play): finding one by name is slow in some engines
  // (250 ms in Firefox).
  #target(what, find) {
    return new Target(this, what, async () => {
      const kept = this.#named.get(what);
      if (kept && await this.#nameOf(kept.element) === kept.name) return [kept.element];
      const found = await this.driver.elements(source.shown, await find());
      if (found.length === 1) {
        this.#named.set(what, { element: found[0], name: await this.#nameOf(found[0]) });
      }
      return found;
    });
  }
}

// What a test holds: the elements that match a description, found afresh
// for each step, so that the page may redraw in between. A step on one
// element waits for it, and fails if several match (but for text, which
// takes the first).
class Target {
  #page; #what; #find; #first;

  constructor(page, what, find, first = false) {
    this.#page = page;
    this.#what = what;
    this.#find = find;
    this.#first = first;
  }

  toString() {
    return this.#what;
  }

  // The element, once there is one.
  async #one() {
    return this.#page.until(async () => {
      const found = await this.#find();
      if (found.length > 1 && !this.#first) {
        throw new Error(`${found.length} elements are ${this.#what}`);
      }
      return found[0];
    }, this.#what);
  }

  #evaluate(f, ...args) {
    return this.#page.driver.evaluate(f, args);
  }

  // The elements of the CSS `selector` inside this one.
  find(selector) {
    return new Target(this.#page, `"${selector}" in ${this.#what}`, async () =>
      this.#page.driver.elements(source.within, [await this.#one(), selector]));
  }

  // The `index`-th of the matching elements, from 0.
  nth(index) {
    return new Target(this.#page, `number ${index} of ${this.#what}`,
      async () => (await this.#find()).slice(index, index + 1));
  }

  // The element, once a click at its centre reaches it and it holds
  // still: a click while the page moves it (a preview arriving above it)
  // lands elsewhere. Found again at each try, as the page may draw it anew.
  async #reachable() {
    let element;
    await this.#page.until(async () => {
      element = await this.#one();
      return (await this.#evaluate(source.reachable, element)) || undefined;
    }, `${this.#what} to hold still where a click reaches it`);
    return element;
  }

  async click() {
    await this.#page.driver.click(await this.#reachable());
  }

  // Types `text` in place of the field's value.
  async fill(text) {
    await this.#page.driver.fill(await this.#reachable(), text);
  }

  // Chooses the files at `paths` (one path or several) in a file chooser.
  async setFiles(paths) {
    await this.#page.driver.setFiles(await this.#one(), [paths].flat());
  }

  // Types the keys named `keys` (as KeyboardEvent.key names them), one
  // after another, into the element, focused.
  async press(...keys) {
    await this.#evaluate(source.focus, await this.#one());
    for (const key of keys) await this.#page.driver.press(key);
  }

  // The element's box, { x, y, width, height }, in CSS pixels of the view,
  // which is scrolled to show it if it does not.
  async box() {
    return this.#evaluate(source.box, await this.#one());
  }

  // Runs `f` on the element and `args` (JSON values) in the page, and
  // gives its settled result.
  async evaluate(f, ...args) {
    return this.#evaluate(`${f}`, await this.#one(), ...args);
  }

  async text() {
    return this.#evaluate(source.textContent, await this.#one());
  }

  async value() {
    return this.#evaluate(source.value, await this.#one());
  }

  async attribute(name) {
    return this.#evaluate(source.attribute, await this.#one(), name);
  }

  // The text of each matching element.
  async texts() {
    const found = await this.#find();
    return Promise.all(found.map((element) => this.#evaluate(source.textContent, element)));
  }

  // Found again when an element found goes from the page meanwhile.
  count = () => this.#page.until(async () => (await this.#find()).length, `${this.#what} counted`);

  // Waits for the element, and for its text to hold `text` (a string, or
  // a RegExp it matches) if given.
  async waitFor(text) {
    const what = text === undefined ? this.#what : `${this.#what} to hold ${text}`;
    await this.#page.until(async () => {
      const [element] = await this.#find();
      if (!element) return undefined;
      if (text === undefined) return true;
      return matches(await this.#evaluate(source.textContent, element), text) || undefined;
    }, what);
  }

  // Clicks the element and gives the file the browser saved:
  // { name, bytes }.
  async download() {
    const element = await this.#reachable();
    return this.#page.driver.download(() => this.#page.driver.click(element));
  }
}
