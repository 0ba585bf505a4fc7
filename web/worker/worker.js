// The page's worker: every call of quorbel or quorbel-preview, and all
// work on recordings, happen here, off the page's main thread. Each run
// gets a fresh instance of quorbel, and the previews one instance of
// quorbel-preview kept from call to call and cleared between them (the
// .wasm is compiled once), with a folder of its own: the templates' bytes
// written in, and the input as a file of its full size whose bytes are
// those the programs can read, at most the sample limit: the head of an
// input file, read by the page, or the first values of a recording, made
// here on demand.
//
// The worker never reads the user's files itself: it asks the page for
// the bytes it needs (the page's call `read`, shared/protocol.js), as some
// browsers let only the page read them.
import { forget, frames, openDecoded, openWav, view } from './recording_store.js';
import * as takes from './takes.js';
import { programBytes } from '../shared/site_files.js';
import { connect } from '../shared/protocol.js';

const kFolder = '/folder';
const kInputMount = '/input';
// What a read past the bytes the page gave reports to the program: EIO,
// which it reports as any failed read of a disk.
const kEio = 29;

// Program name -> promise of its module factory and compiled .wasm. The
// factories are imported by name, so that a bundler finds both.
const factories = {
  quorbel: () => import('../quorbel.js'),
  'quorbel-preview': () => import('../quorbel-preview.js'),
};
const programs = new Map();

function load(program) {
  if (!programs.has(program)) {
    const loading = Promise.all([
      factories[program]().then((script) => script.default),
      programBytes(program).then((bytes) => WebAssembly.compile(bytes)),
    ]);
    // A part that failed to load is loaded again by the next call.
    loading.catch(() => programs.delete(program));
    programs.set(program, loading);
  }
  return programs.get(program);
}

// Serves the input's reads from `bytes`, its first bytes; the programs
// never read further.
function serveFrom(FS, node, bytes) {
  node.stream_ops = {
    ...node.stream_ops,
    read(stream, buffer, offset, length, position) {
      if (position >= node.size) return 0;
      const end = Math.min(position + length, node.size);
      if (end > bytes.length) throw new FS.ErrnoError(kEio);
      buffer.set(bytes.subarray(position, end), offset);
      return end - position;
    },
  };
}

// Looks the input up once: the programs ask for its size at every byte
// they read, and a lookup of its path each time costs more than all the
// rest of a preview. The input's mount is read-only, so the answer stays
// true while the mount does: the record given, {path, known}, takes the
// input's path as it is mounted, and both are set back to null as it goes.
function statInputOnce(FS) {
  const stat = FS.stat;
  const input = { path: null, known: null };
  FS.stat = (asked, dontFollow) => {
    if (asked !== input.path || dontFollow) return stat(asked, dontFollow);
    input.known ??= stat(asked, dontFollow);
    return input.known;
  };
  return input;
}

// A fresh instance of `program`, {module, FS, out, inputStat, streams}, with
// `answers` as its standard input and its standard output and error
// captured in `out`; `streams`: the numbers of the streams open as it
// starts. Its folder and input are placed by placeTemplates and placeInput.
async function fresh(program, answers = '') {
  const [factory, wasm] = await load(program);
  const stdin = new TextEncoder().encode(answers);
  let read = 0;
  const out = { stdout: [], stderr: [], exitCode: null };
  // An instance the browser cannot make (no memory for it) fails the call,
  // which would otherwise wait for it forever.
  let cannotInstantiate;
  const failed = new Promise((_, reject) => { cannotInstantiate = reject; });
  const module = await Promise.race([failed, factory({
    thisProgram: program,
    // The .wasm comes compiled (instantiateWasm); no address is needed.
    locateFile: (name) => name,
    instantiateWasm(imports, done) {
      WebAssembly.instantiate(wasm, imports).then((made) => done(made, wasm), cannotInstantiate);
      return {};
    },
    stdin: () => (read < stdin.length ? stdin[read++] : null),
    // The devices hand over signed bytes.
    stdout: (byte) => out.stdout.push(byte & 255),
    stderr: (byte) => out.stderr.push(byte & 255),
    onExit: (code) => { out.exitCode = code; },
  })]);
  const { FS } = module;
  const streams = new Set(FS.streams.filter(Boolean).map((stream) => stream.fd));
  return { module, FS, out, inputStat: statInputOnce(FS), streams };
}

// The instance's working folder made, holding the templates ([name, bytes]
// pairs).
function placeTemplates({ FS }, templates) {
  FS.mkdir(kFolder);
  FS.chdir(kFolder);
  for (const [name, bytes] of templates) FS.writeFile(name, bytes);
}

// The input {name, size, bytes} placed in the working folder.
function placeInput({ FS, inputStat }, input) {
  FS.mkdir(kInputMount);
  FS.mount(FS.filesystems.WORKERFS, { blobs: [{ name: input.name, data: { size: input.size } }] },
    kInputMount);
  serveFrom(FS, FS.lookupPath(`${kInputMount}/${input.name}`).node, input.bytes);
  inputStat.path = `${kInputMount}/${input.name}`;
  // The programs see the user's own file name, as in a console run.
  FS.symlink(inputStat.path, input.name);
}

// An instance that has made a preview brought back to how a fresh one
// stands: the streams the program left open (a file whose read failed is
// never closed) closed, its folder and the input's mount gone, nothing
// captured. Throws where it cannot, and the instance is then not used
// again.
function clear({ FS, out, inputStat, streams }) {
  for (const stream of FS.streams) {
    if (stream && !streams.has(stream.fd)) FS.close(stream);
  }
  FS.chdir('/');
  if (FS.analyzePath(kInputMount).exists) {
    FS.unmount(kInputMount);
    FS.rmdir(kInputMount);
  }
  if (FS.analyzePath(kFolder).exists) {
    for (const name of FS.readdir(kFolder)) {
      if (name !== '.' && name !== '..') FS.unlink(`${kFolder}/${name}`);
    }
    FS.rmdir(kFolder);
  }
  inputStat.path = null;
  inputStat.known = null;
  out.stdout = [];
  out.stderr = [];
}

// A fresh instance of `program` whose working folder holds the templates
// and the input, with `answers` as its standard input. The input may come
// as a promise: the instance is made while its bytes are.
async function instance(program, templates, coming, answers = '') {
  // Its failure is the call's, once awaited below.
  Promise.resolve(coming).catch(() => {});
  const made = await fresh(program, answers);
  placeTemplates(made, templates);
  const input = await coming;
  if (input) placeInput(made, input);
  return made;
}

const text = (bytes) => new TextDecoder().decode(new Uint8Array(bytes));

// "template NAME", "scratch NAME" and "limit N" lines: see page_facts.cc.
async function facts() {
  const made = await previewInstance();
  made.module.ccall('quorbelFacts', 'number', [], []);
  const found = { templateNames: [], scratchName: '', sampleLimit: 0 };
  for (const line of text(made.out.stdout).trim().split('\n')) {
    const [word, value] = line.split(' ');
    if (word === 'template') found.templateNames.push(value);
    if (word === 'scratch') found.scratchName = value;
    if (word === 'limit') found.sampleLimit = Number(value);
  }
  keep(made);
  return found;
}
let factsLoaded = null;
const knownFacts = () => (factsLoaded ??= facts());

// The input as the programs see it: {name, size, bytes}. A recording's
// first values are made here, by its take (takes.js).
async function programInput(input) {
  if (!input) return null;
  if (!input.recording) return input;
  const { sampleLimit } = await knownFacts();
  const bytes = await takes.inputValues(input.recording, 0, Math.min(input.size, sampleLimit));
  return { name: input.name, size: input.size, bytes };
}

// The zip library, wanted only with a run's patches.
const zipLibrary = () => import('../fflate.js');

// quorbel with its two answers: the transcript, the exit code, each file
// the run made but the scratch file it leaves after a failure, and a zip
// of those files. The last file of a failed run, when empty, is the patch
// it was about to write (as a missing template leaves it): marked
// `leftEmpty`, and kept out of the zip.
async function run({ templates, input, patchName }, signal) {
  const { scratchName } = await knownFacts();
  const given = await programInput(input);
  const { module, FS, out } = await instance('quorbel', templates, given,
    `${input.name}\n${patchName}\n`);
  signal.throwIfAborted();
  const before = new Set(FS.readdir('.'));
  const returned = module.callMain([]);
  const exitCode = out.exitCode ?? returned;
  const patches = FS.readdir('.')
    .filter((name) => !before.has(name) && name !== scratchName)
    .sort((a, b) => FS.stat(a).ino - FS.stat(b).ino)
    .map((name) => ({ name, bytes: FS.readFile(name) }));
  const last = patches.at(-1);
  if (exitCode !== 0 && last?.bytes.length === 0) last.leftEmpty = true;
  const { zipSync } = await zipLibrary();
  const zip = zipSync(Object.fromEntries(patches.filter((patch) => !patch.leftEmpty)
    .map(({ name, bytes }) => [name, bytes])));
  return { transcript: text(out.stdout), exitCode, patches, zip };
}

// An instance of quorbel-preview kept from one call to the next, as making
// one costs more than most previews: null while a call uses it, and after
// a call that failed or ended the program, which leaves the next call a
// fresh one.
let keptPreview = null;

// The kept instance of quorbel-preview, or else a fresh one.
function previewInstance() {
  const made = keptPreview;
  keptPreview = null;
  return made ?? fresh('quorbel-preview');
}

// Keeps `made`, cleared, for the next call, unless its program has ended,
// it cannot be cleared, or another is kept.
function keep(made) {
  if (made.out.exitCode !== null || keptPreview) return;
  try {
    clear(made);
  } catch {
    return;
  }
  keptPreview = made;
}

// quorbel-preview's report and the chart's numbers (see chart_data.cc), and
// the spans of a take's patches (takes.js). A name that begins with '-' is
// given as ./-name, as the preview takes no such name for an option. Each
// preview starts from an instance cleared of the last one (see clear): the
// C++ that it runs keeps nothing from one call to the next but the files
// it leaves open, and resets the file layer's result as it starts.
async function preview({ templates, input }, signal) {
  const argument = input && (input.name.startsWith('-') ? `./${input.name}` : input.name);
  const coming = programInput(input);
  // Its failure is the call's, once awaited below.
  coming.catch(() => {});
  const made = await previewInstance();
  let given;
  try {
    given = await coming;
    signal.throwIfAborted();
  } catch (error) {
    keep(made);
    throw error;
  }
  // A failure from here on, the program's or the worker's, leaves the
  // instance unfit: it is dropped.
  placeTemplates(made, templates);
  if (given) placeInput(made, given);
  const { module, out } = made;
  const chart = module.ccall('quorbelPreviewWithChart', 'string', ['string'], [argument ?? '']);
  const report = text(out.stdout);
  const errors = text(out.stderr);
  keep(made);
  const patches = input?.recording ? await takes.patchesOf(input.recording) : null;
  return { report, errors, chart, patches };
}

// Everything loads at the start, so that the page works offline once
// loaded: the preview first, as it is wanted at once, then what a run
// needs.
load('quorbel-preview')
  .then(() => Promise.all([load('quorbel'), zipLibrary()]))
  .catch(() => {}); // the call that needs a missing part reports it

// Bytes start..end of the page's file `file`; a file that can no longer be
// read (changed or removed since it was chosen) fails with `unreadable`.
const readFile = (file, start, end) => ask('read', { file, start, end }).catch(() => {
  throw Object.assign(new Error('unreadable'), { unreadable: file });
});

const { call: ask } = connect(self, 'worker', {
  facts: knownFacts,
  run,
  preview,
  openWav: ({ recording, file, size }) => openWav(recording,
    (start, end) => readFile(file, start, Math.min(end, size)), size,
    (done, total, error) => ask('progress', { recording, done, total,
      unreadable: error?.unreadable })),
  // On a recording held here: recording_store.js, and its takes: takes.js.
  openDecoded, forget, frames, view,
  values: ({ take, from, count }) => takes.inputValues(take, from, count),
  pitch: takes.pitchOf,
  spectrum: takes.spectrumOf,
});
