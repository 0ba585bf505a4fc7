// Debian's Firefox ESR, headless, driven by Puppeteer over WebDriver BiDi,
// Firefox's own remote agent (no geckodriver).
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, join } from 'node:path';
import puppeteer from 'puppeteer-core';

const apply = (source, ...args) => new Function(`return (${source})`)()(...args);

// BiDi's accessibility locator takes a name and a role as attributes of a
// selector, quoted.
function ariaSelector(attributes) {
  return `::-p-aria(${Object.entries(attributes).map(([key, value]) => {
    const quote = value.includes('"') ? '\'' : '"';
    if (value.includes(quote)) throw new Error(`a name with both quotes: ${value}`);
    return `[${key}=${quote}${value}${quote}]`;
  }).join('')})`;
}

// The roles that Firefox names by their other name in ARIA.
const kRoleNames = { img: 'image' };

export async function launch({ viewport }) {
  const downloads = mkdtempSync(join(tmpdir(), 'quorbel-firefox-downloads-'));
  const browser = await puppeteer.launch({
    browser: 'firefox',
    protocol: 'webDriverBiDi',
    executablePath: process.env.QUORBEL_FIREFOX ?? '/usr/bin/firefox-esr',
    headless: true,
    defaultViewport: viewport,
    extraPrefsFirefox: {
      'browser.download.dir': downloads,
      'browser.download.folderList': 2,
      'browser.download.useDownloadDir': true,
      'browser.download.always_ask_before_handling_new_types': false,
      'browser.download.alwaysOpenPanel': false,
      // Sound plays with no user at the machine.
      'media.autoplay.default': 0,
      'media.autoplay.block-webaudio': false,
    },
  });
  // The end of each download, with the file's path, is a BiDi event that
  // Puppeteer does not pass on: heard on its connection.
  const connection = browser.connection;
  await connection.send('session.subscribe', { events: ['browsingContext.downloadEnd'] });
  let pages = [];
  let closing = false;
  return {
    newPage: async () => {
      const page = await browser.newPage();
      pages.push(page);
      return driverPage(page, connection);
    },
    setOffline: async (on) => {
      pages = pages.filter((page) => !page.isClosed());
      await Promise.all(pages.map((page) => page.setOfflineMode(on)));
    },
    lost: () => (closing || browser.connected ? '' : 'Firefox ended on its own.'),
    close: async () => {
      closing = true;
      await browser.close();
      rmSync(downloads, { recursive: true, force: true });
    },
  };
}

function driverPage(page, connection) {
  const elements = async (source, args) => {
    const array = await page.evaluateHandle(apply, source, ...args);
    const properties = await array.getProperties();
    await array.dispose();
    return [...properties.entries()].sort(([a], [b]) => a - b)
      .map(([, handle]) => handle.asElement());
  };
  return {
    goto: (url) => page.goto(url),
    reload: () => page.reload(),
    evaluate: (source, args) => page.evaluate(apply, source, ...args),
    elements,
    byRole: (role, name) => page.$$(ariaSelector({ name, role: kRoleNames[role] ?? role })),
    // Firefox names a <label> by its text, and a field by its label and
    // more (a file chooser's button and file name with it): a label found
    // stands for its field.
    byLabel: async (name) => elements(
      `(...found) => [...new Set(found.map((element) =>
        element instanceof HTMLLabelElement ? element.control : element))]
        .filter((element) => element)`,
      await page.$$(ariaSelector({ name }))),
    click: (element) => element.click(),
    fill: async (element, text) => {
      await element.click();
      await page.keyboard.down('Control');
      await page.keyboard.press('KeyA');
      await page.keyboard.up('Control');
      await page.keyboard.press('Backspace');
      await page.keyboard.type(text);
    },
    setFiles: (element, paths) => element.uploadFile(...paths),
    download: async (click) => {
      let timer;
      const ended = new Promise((resolve, reject) => {
        connection.once('browsingContext.downloadEnd', resolve);
        timer = setTimeout(() => reject(new Error('no download came')), 30000);
      });
      await click();
      const { status, filepath } = await ended.finally(() => clearTimeout(timer));
      if (status !== 'complete') throw new Error(`the download ended ${status}`);
      // Gone, so that the next one of that name keeps it.
      const bytes = readFileSync(filepath);
      rmSync(filepath);
      return { name: basename(filepath), bytes };
    },
    resize: (width, height) => page.setViewport({ width, height }),
    pointerMove: (x, y) => page.mouse.move(x, y),
    pointerDown: () => page.mouse.down(),
    pointerUp: () => page.mouse.up(),
    wheel: async (x, y, deltaY) => {
      await page.mouse.move(x, y);
      await page.mouse.wheel({ deltaY });
    },
    press: (key) => page.keyboard.press(key),
    screenshot: (path, fullPage) => page.screenshot({ path, fullPage }),
    close: () => page.close(),
  };
}
