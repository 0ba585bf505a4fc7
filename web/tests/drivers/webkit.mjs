// WebKitGTK's MiniBrowser, driven by WebdriverIO over W3C WebDriver
// classic through Debian's WebKitWebDriver (which refuses a BiDi session).
// MiniBrowser has no headless mode: it draws on an Xvfb display of its
// own, and saves downloads straight into its HOME, a folder of its own.
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { remote } from 'webdriverio';

const kElement = 'element-6066-11e4-a52e-4f735466cecf';
// WebDriver's keys (Control is held to the end of the keys sent).
const kControl = '\uE009';
const kBackspace = '\uE003';
// WebDriver's codes of the keys that KeyboardEvent.key names so.
const kKeys = {
  Backspace: '\uE003', Tab: '\uE004', Enter: '\uE007', Escape: '\uE00C', PageUp: '\uE00E',
  PageDown: '\uE00F', End: '\uE010', Home: '\uE011', ArrowLeft: '\uE012', ArrowUp: '\uE013',
  ArrowRight: '\uE014', ArrowDown: '\uE015', Delete: '\uE017',
};

// MiniBrowser's place, which holds the machine's architecture.
function miniBrowser() {
  if (process.env.QUORBEL_MINIBROWSER) return process.env.QUORBEL_MINIBROWSER;
  for (const lib of readdirSync('/usr/lib')) {
    for (const version of ['webkit2gtk-4.1', 'webkit2gtk-4.0', 'webkitgtk-6.0']) {
      const path = join('/usr/lib', lib, version, 'MiniBrowser');
      try {
        if (statSync(path).isFile()) return path;
      } catch { /* not this one */ }
    }
  }
  throw new Error('MiniBrowser is missing: install Debian\'s webkit2gtk-driver');
}

// An X display of its own: Xvfb picks a free number and writes it to fd 3.
async function startXvfb() {
  const xvfb = spawn('Xvfb',
    ['-displayfd', '3', '-screen', '0', '1280x1600x24', '-nolisten', 'tcp'],
    { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] });
  let said = '';
  xvfb.stderr.on('data', (data) => { said += data; });
  const display = await new Promise((resolve, reject) => {
    let number = '';
    xvfb.stdio[3].on('data', (data) => {
      number += data;
      if (number.includes('\n')) resolve(`:${number.trim()}`);
    });
    xvfb.on('error', reject);
    xvfb.on('exit', (code) => reject(new Error(`Xvfb ended (${code}): ${said}`)));
  });
  return { display, process: xvfb };
}

async function freePort() {
  const server = createServer();
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  const { port } = server.address();
  await new Promise((done) => server.close(done));
  return port;
}

async function startDriver(env) {
  const port = await freePort();
  const driver = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore', env });
  const exited = new Promise((resolve) => driver.on('exit', resolve));
  for (const start = Date.now(); ; await new Promise((done) => setTimeout(done, 50))) {
    try {
      if ((await fetch(`http://127.0.0.1:${port}/status`)).ok) return { port, process: driver };
    } catch { /* not listening yet */ }
    if (driver.exitCode !== null || Date.now() - start > 10000) {
      driver.kill();
      await exited;
      throw new Error('WebKitWebDriver did not start');
    }
  }
}

export async function launch({ viewport }) {
  const home = mkdtempSync(join(tmpdir(), 'quorbel-webkit-home-'));
  const children = [];
  // Gone with the tests' process, however it ends.
  const killAll = () => children.forEach((child) => child.kill());
  process.on('exit', killAll);
  let session;
  try {
    const xvfb = await startXvfb();
    children.push(xvfb.process);
    const driver = await startDriver({ ...process.env, DISPLAY: xvfb.display, HOME: home });
    children.push(driver.process);
    session = await remote({
      hostname: '127.0.0.1',
      port: driver.port,
      logLevel: 'silent',
      connectionRetryCount: 0,
      capabilities: {
        browserName: 'MiniBrowser',
        'wdio:enforceWebDriverClassic': true,
        'webkitgtk:browserOptions': { binary: miniBrowser(), args: ['--automation'] },
      },
    });
    await session.setTimeouts(undefined, undefined, 60000);
    await session.setWindowRect(0, 0, viewport.width, viewport.height);
  } catch (error) {
    killAll();
    throw error;
  }
  // Each page has a window of its own (a tab behind another would not
  // draw, and its animation frames would never come), but the first,
  // which stays while the session lasts (it would end with its last
  // window): a page is its next one when no other is open there.
  const windows = { first: await session.getWindowHandle(), firstOpen: false, current: null };
  windows.current = windows.first;
  return {
    newPage: async () => {
      let handle = windows.first;
      if (windows.firstOpen) {
        ({ handle } = await session.createWindow('window'));
        await session.switchToWindow(handle);
        windows.current = handle;
        await session.setWindowRect(null, null, viewport.width, viewport.height);
      }
      windows.firstOpen ||= handle === windows.first;
      return driverPage(session, home, windows, handle);
    },
    close: async () => {
      await session.deleteSession();
      killAll();
      process.off('exit', killAll);
      rmSync(home, { recursive: true, force: true });
    },
  };
}

// The elements that may bear `role`, to ask the engine about: every
// element for a role not listed.
const kMayBear = {
  button: 'button, input, summary, [role]',
  link: 'a, area, [role]',
  img: 'img, svg, [role]',
  slider: 'input, [role]',
  region: 'section, [role]',
  heading: 'h1, h2, h3, h4, h5, h6, [role]',
};
// The roles that WebKit names by their other name in ARIA.
const kRoleNames = { img: 'image' };
const kMayBeLabelled =
  'input, select, textarea, button, meter, output, progress, [aria-label], [aria-labelledby]';

// The page in the window `handle`: the session is moved to that window,
// if it is in another, before each step.
function driverPage(session, home, windows, handle) {
  const id = (element) => element[kElement];
  const here = async () => {
    if (windows.current === handle) return;
    await session.switchToWindow(handle);
    windows.current = handle;
  };
  // The pointer's and the keyboard's actions (the pointer's button stays
  // down from one call to the next).
  const act = (type, source, actions, parameters) =>
    session.performActions([{ type, id: source, parameters, actions }]);
  const mouse = (...actions) => act('pointer', 'mouse', actions, { pointerType: 'mouse' });
  const evaluate = async (source, args) => {
    await here();
    const { value, error } = await session.executeAsyncScript(`
      const done = arguments[arguments.length - 1];
      const args = Array.prototype.slice.call(arguments, 0, -1);
      Promise.resolve().then(() => (${source})(...args))
        .then((value) => done({ value }),
          (error) => done({ error: String(error?.stack ?? error) }));
    `, args);
    if (error !== undefined) throw new Error(`in the page: ${error}`);
    return value;
  };
  const shown = (selector) => evaluate(`(selector) => [...document.querySelectorAll(selector)]
    .filter((element) => element.checkVisibility())`, [selector]);
  // What the engine computes, or null for an element it does not expose.
  const ask = async (command, element) => {
    try {
      return await session[command](id(element));
    } catch {
      return null;
    }
  };
  const named = async (candidates, name) => {
    const found = [];
    for (const element of candidates) {
      if (await ask('getElementComputedLabel', element) === name) found.push(element);
    }
    return found;
  };
  const steps = {
    goto: (url) => session.navigateTo(url),
    reload: () => session.refresh(),
    evaluate,
    elements: evaluate,
    byRole: async (role, name) => {
      const found = [];
      for (const element of await named(await shown(kMayBear[role] ?? '*'), name)) {
        if (await ask('getElementComputedRole', element) === (kRoleNames[role] ?? role)) {
          found.push(element);
        }
      }
      return found;
    },
    byLabel: async (name) => named(await shown(kMayBeLabelled), name),
    click: (element) => session.elementClick(id(element)),
    // As a user does: all of the value chosen, deleted, the text typed.
    // (WebDriver's Element Clear would fire no input event.)
    fill: async (element, text) => {
      await session.elementSendKeys(id(element), `${kControl}a`);
      await session.elementSendKeys(id(element), `${kBackspace}${text}`);
    },
    setFiles: (element, paths) => session.elementSendKeys(id(element), paths.join('\n')),
    // The new file in HOME, once its size has held still for 100 ms (it
    // may be empty: WebKit makes the file, then writes it whole).
    download: async (click) => {
      const before = new Set(readdirSync(home));
      await click();
      const sizes = [];
      for (const start = Date.now(); ; await new Promise((done) => setTimeout(done, 50))) {
        const [name] = readdirSync(home).filter((entry) => !before.has(entry));
        sizes.push(name === undefined ? -1 : statSync(join(home, name)).size);
        const last = sizes.at(-1);
        if (last >= 0 && sizes.length >= 3 && sizes.slice(-3).every((size) => size === last)) {
          const bytes = readFileSync(join(home, name));
          // Gone, so that the next one of that name keeps it.
          rmSync(join(home, name));
          return { name, bytes };
        }
        if (Date.now() - start > 30000) throw new Error(`no download came: ${readdirSync(home)}`);
      }
    },
    // The window, made as much larger than the page's view as its frame
    // takes.
    resize: async (width, height) => {
      await session.setWindowRect(null, null, width, height);
      const inner = await evaluate('() => [innerWidth, innerHeight]', []);
      await session.setWindowRect(null, null, 2 * width - inner[0], 2 * height - inner[1]);
    },
    pointerMove: (x, y) => mouse({ type: 'pointerMove', duration: 0, origin: 'viewport', x, y }),
    pointerDown: () => mouse({ type: 'pointerDown', button: 0 }),
    pointerUp: () => mouse({ type: 'pointerUp', button: 0 }),
    wheel: (x, y, deltaY) => act('wheel', 'wheel',
      [{ type: 'scroll', duration: 0, origin: 'viewport', x, y, deltaX: 0, deltaY }]),
    press: (key) => {
      const code = kKeys[key] ?? key;
      return act('key', 'keyboard', [{ type: 'keyDown', value: code }, { type: 'keyUp', value: code }]);
    },
    // The whole page is the screenshot of its root element.
    screenshot: async (path, fullPage) => {
      const root = fullPage && await session.findElement('css selector', 'html');
      const png = root ? await session.takeElementScreenshot(id(root)) : await session.takeScreenshot();
      writeFileSync(path, Buffer.from(png, 'base64'));
    },
    close: async () => {
      if (handle === windows.first) {
        await session.navigateTo('about:blank');
        windows.firstOpen = false;
        return;
      }
      await session.closeWindow();
      windows.current = null;
    },
  };
  // Each step in the page's own window.
  return Object.fromEntries(Object.entries(steps).map(([name, step]) => [name,
    async (...args) => {
      await here();
      return step(...args);
    }]));
}
