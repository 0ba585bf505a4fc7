// Debian's Chromium, headless, driven by Playwright over Chromium's own
// protocol.
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

// What Chromium itself writes, kept in a file for this process, so that a
// browser that ends on its own can say why. Playwright reads where to
// keep it as it loads.
const logFolder = mkdtempSync(join(tmpdir(), 'quorbel-chromium-log-'));
process.env.DEBUG = [process.env.DEBUG, 'pw:browser'].filter(Boolean).join(',');
process.env.DEBUG_FILE ??= join(logFolder, 'browser.log');
process.on('exit', () => rmSync(logFolder, { recursive: true, force: true }));
const { chromium } = await import('playwright-core');

// The last lines Chromium wrote, but its complaints that this machine has
// no D-Bus, which it makes all along.
function lastWords() {
  try {
    return readFileSync(process.env.DEBUG_FILE, 'utf8').trimEnd().split('\n')
      .filter((line) => !/ERROR:dbus\//.test(line)).slice(-25).join('\n');
  } catch {
    return '(none kept)';
  }
}

// Runs the function of `source` on the arguments that follow it.
const apply = ([source, ...args]) => new Function(`return (${source})`)()(...args);

// Debian's Chromium with a fresh profile and nothing that reaches beyond
// this machine: Playwright's own browser context, which the bench drives
// itself, and close(), which closes it and then removes the profile.
export async function launchContext({ viewport }) {
  const profile = mkdtempSync(join(tmpdir(), 'quorbel-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.QUORBEL_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    acceptDownloads: true,
    viewport,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--enable-blink-features=ForceEagerMeasureMemory'],
  });
  const close = async () => {
    await context.close();
    removeProfile(profile);
  };
  return { context, close };
}

// A browser that ended on its own may leave helpers still writing in its
// profile for a while (once more than 5 s in CI): what cannot be removed
// now is removed as this process ends, or else left in the temporary folder.
function removeProfile(profile) {
  const remove = () =>
    rmSync(profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
  try {
    remove();
  } catch (error) {
    if (error.code !== 'ENOTEMPTY') throw error;
    process.on('exit', () => {
      try {
        remove();
      } catch {
        // Still written to: the system's temporary folder keeps it.
      }
    });
  }
}

export async function launch({ viewport }) {
  const { context, close } = await launchContext({ viewport });
  let closing = false;
  let lost = '';
  context.on('close', () => {
    if (!closing) lost = `Chromium ended on its own. Its last lines:\n${lastWords()}`;
  });
  return {
    newPage: async () => driverPage(await context.newPage()),
    setOffline: (on) => context.setOffline(on),
    lost: () => lost,
    close: () => {
      closing = true;
      return close();
    },
  };
}

function driverPage(page) {
  return {
    goto: (url) => page.goto(url),
    reload: () => page.reload(),
    evaluate: (source, args) => page.evaluate(apply, [source, ...args]),
    elements: async (source, args) => {
      const array = await page.evaluateHandle(apply, [source, ...args]);
      const properties = await array.getProperties();
      await array.dispose();
      return [...properties.entries()].sort(([a], [b]) => a - b)
        .map(([, handle]) => handle.asElement());
    },
    byRole: (role, name) => page.getByRole(role, { name, exact: true }).elementHandles(),
    byLabel: (name) => page.getByLabel(name, { exact: true }).elementHandles(),
    click: (element) => element.click(),
    fill: (element, text) => element.fill(text),
    setFiles: (element, paths) => element.setInputFiles(paths),
    download: async (click) => {
      const [download] = await Promise.all([page.waitForEvent('download'), click()]);
      return { name: download.suggestedFilename(), bytes: readFileSync(await download.path()) };
    },
    resize: (width, height) => page.setViewportSize({ width, height }),
    pointerMove: (x, y) => page.mouse.move(x, y),
    pointerDown: () => page.mouse.down(),
    pointerUp: () => page.mouse.up(),
    wheel: async (x, y, deltaY) => {
      await page.mouse.move(x, y);
      await page.mouse.wheel(0, deltaY);
    },
    press: (key) => page.keyboard.press(key),
    screenshot: (path, fullPage) => page.screenshot({ path, fullPage }),
    installabilityErrors: async () => {
      const session = await page.context().newCDPSession(page);
      try {
        const { installabilityErrors } = await session.send('Page.getInstallabilityErrors');
        const { errors } = await session.send('Page.getAppManifest');
        return [...installabilityErrors, ...errors];
      } finally {
        await session.detach();
      }
    },
    close: () => page.close(),
  };
}
