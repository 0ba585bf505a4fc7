// The engine layer: which engine the tests run in (QUORBEL_BROWSER), what
// it lacks and its known faults, its browser started through its driver,
// the build's folders, and the speed figures gathered for the bench.
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { test as nodeTest } from 'node:test';
import { fileURLToPath } from 'node:url';

export const engine = process.env.QUORBEL_BROWSER ?? 'chromium';
const kEngines = ['chromium', 'firefox', 'webkit'];
if (!kEngines.includes(engine)) {
  throw new Error(`QUORBEL_BROWSER is "${engine}": it must be one of ${kEngines.join(', ')}`);
}

// Faults of the page seen in one engine only: the test of that name is
// expected to fail there, and fails if it passes, so that this list is
// emptied as the page is mended.
const kKnownFaults = { chromium: {}, firefox: {}, webkit: {} };

// Features an engine lacks: a test leaves out the check that needs one
// there, with this reason, and nothing else.
const kLacks = {
  chromium: {},
  firefox: {
    measureMemory: 'Firefox has no performance.measureUserAgentSpecificMemory',
    installability: 'no driver of Firefox says whether a page is installable ' +
      '(Chromium\'s own protocol alone does)',
    sound: 'Firefox plays sound only through a sound server, and none runs here: its ' +
      'AudioContext stays suspended',
  },
  webkit: {
    measureMemory: 'WebKit has no performance.measureUserAgentSpecificMemory',
    installability: 'no driver of WebKit says whether a page is installable ' +
      '(Chromium\'s own protocol alone does)',
    phoneView: 'MiniBrowser\'s window is never narrower than its toolbar, a view of 447 ' +
      'CSS pixels',
    browserEnd: 'WebKit\'s driver does not tell that its browser ended',
  },
};

// Why this engine cannot do `feature`, or '' where it can.
export const lacks = (feature) => kLacks[engine][feature] ?? '';

// node:test's test(name, body), or test(name, { needs }, body) for a test
// that needs a feature of kLacks, skipped with the reason where the engine
// lacks it; a known fault of this engine must fail it.
export function test(name, ...given) {
  const body = given.pop();
  const missing = lacks(given[0]?.needs);
  if (missing) return nodeTest(name, { skip: missing }, body);
  const fault = kKnownFaults[engine][name];
  if (!fault) return nodeTest(name, body);
  return nodeTest(name, async (context) => {
    try {
      await body(context);
    } catch (error) {
      context.diagnostic(`fails in ${engine} as expected (${fault}): ${error.message}`);
      return;
    }
    throw new Error(`passes in ${engine}, where it was expected to fail (${fault}): ` +
      'remove it from the known faults');
  });
}

const repository = resolve(dirname(fileURLToPath(import.meta.url)), '../../..');
export const buildDir = process.env.QUORBEL_WEB_BUILD ?? join(repository, 'build/web');
export const siteDir = join(buildDir, 'site');
export const kTimeout = 30000;
export const kViewport = { width: 1000, height: 1400 };

// The engine's browser, started afresh with nothing that reaches beyond
// this machine.
export const launch = async () =>
  (await import(`../drivers/${engine}.mjs`)).launch({ viewport: kViewport });

// Speed figures, gathered by engine into one file of the build folder for
// the bench.
export function recordFigure(name, value) {
  const file = join(buildDir, 'bench.json');
  let figures = {};
  try { figures = JSON.parse(readFileSync(file, 'utf8')); } catch { /* first figure */ }
  figures[engine] = { ...figures[engine], [name]: value };
  mkdirSync(buildDir, { recursive: true });
  writeFileSync(file, `${JSON.stringify(figures, null, 2)}\n`);
  console.log(`# ${engine}: ${name}: ${value}`);
}
