// The page's worker: every call of quorbel or quorbel-preview, and the
// conversion of a recording, happen here, off the page's main thread.
// Each call of a program gets a fresh instance of its module (the .wasm is
// compiled once) with a folder of its own: the templates copied in, the
// input mounted from the user's File and read lazily, by slices, so that
// an input of any size costs no more memory than the bytes the program
// reads. Messages: {id, kind, ...} in, {id, result} or {id, error} out.
import { resample } from './resample.js';

const kFolder = '/folder';
const kInputMount = '/input';
const kSliceSize = 65536;
// What a read that fails reports to the program: EIO, which it reports as
// any failed read of a disk.
const kEio = 29;

// Program name -> promise of its module factory and compiled .wasm.
const programs = new Map();

function load(program) {
  if (!programs.has(program)) {
    programs.set(program, Promise.all([
      import(`./${program}.js`).then((script) => script.default),
      fetch(`./${program}.wasm`)
        .then((response) => {
          if (!response.ok) throw new Error(`${program}.wasm: ${response.status}`);
          return response.arrayBuffer();
        })
        .then((bytes) => WebAssembly.compile(bytes)),
    ]));
  }
  return programs.get(program);
}

// WORKERFS reads each call's bytes with a slice of its own, which for a
// program that reads one byte a call costs one slice a byte; this keeps
// the last slice read instead. A file that can no longer be read (changed
// or removed since it was chosen) fails the read, not the worker.
function readBySlices(FS, node) {
  const reader = new FileReaderSync();
  let sliceStart = 0;
  let slice = new Uint8Array(0);
  node.stream_ops = {
    ...node.stream_ops,
    read(stream, buffer, offset, length, position) {
      if (position >= node.size) return 0;
      const end = Math.min(position + length, node.size);
      if (position < sliceStart || end > sliceStart + slice.length) {
        const blob = node.contents.slice(position, position + Math.max(length, kSliceSize));
        try {
          slice = new Uint8Array(reader.readAsArrayBuffer(blob));
        } catch {
          throw new FS.ErrnoError(kEio);
        }
        sliceStart = position;
      }
      buffer.set(slice.subarray(position - sliceStart, end - sliceStart), offset);
      return end - position;
    },
  };
}

// A fresh instance of `program` whose working folder holds the templates
// (name -> bytes) and the input, with `answers` as its standard input.
async function instance(program, templates, input, answers = '') {
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
  FS.mkdir(kFolder);
  FS.chdir(kFolder);
  for (const [name, bytes] of templates) FS.writeFile(name, bytes);
  if (input) {
    FS.mkdir(kInputMount);
    FS.mount(FS.filesystems.WORKERFS, { blobs: [{ name: input.name, data: input.blob }] },
      kInputMount);
    readBySlices(FS, FS.lookupPath(`${kInputMount}/${input.name}`).node);
    // The programs see the user's own file name, as in a console run.
    FS.symlink(`${kInputMount}/${input.name}`, input.name);
  }
  return { module, FS, out };
}

const text = (bytes) => new TextDecoder().decode(new Uint8Array(bytes));

async function readTemplates(files) {
  return Promise.all(files.map(async (file) =>
    [file.name, new Uint8Array(await file.arrayBuffer())]));
}

// The zip library, wanted only with a run's patches.
const zipLibrary = () => import('./fflate.js');

// quorbel with its two answers: the transcript, the exit code, each file
// the run made but the scratch file it leaves after a failure, and a zip
// of those files.
async function run({ templates, input, patchName }) {
  const kept = await readTemplates(templates);
  const { module, FS, out } = await instance('quorbel', kept, input,
    `${input.name}\n${patchName}\n`);
  const before = new Set(FS.readdir('.'));
  const exitCode = module.callMain([]);
  const patches = FS.readdir('.')
    .filter((name) => !before.has(name) && name !== 'temp')
    .map((name) => ({ name, ino: FS.stat(name).ino, bytes: FS.readFile(name) }))
    .sort((a, b) => a.ino - b.ino)
    .map(({ name, bytes }) => ({ name, bytes }));
  const { zipSync } = await zipLibrary();
  const zip = zipSync(Object.fromEntries(patches.map(({ name, bytes }) => [name, bytes])));
  return { transcript: text(out.stdout), exitCode: out.exitCode ?? exitCode, patches, zip };
}

// quorbel-preview's report, then the chart's numbers from a second fresh
// instance (see chart_data.cc).
async function preview({ templates, input }) {
  const kept = await readTemplates(templates);
  const report = await instance('quorbel-preview', kept, input);
  const exitCode = report.module.callMain(input ? [input.name] : []);
  const chart = await instance('quorbel-preview', kept, input);
  chart.module.ccall('quorbelChartData', 'number', ['string'], [input ? input.name : '']);
  return {
    report: text(report.out.stdout),
    errors: text(report.out.stderr),
    exitCode: report.out.exitCode ?? exitCode,
    chart: text(chart.out.stdout),
  };
}

// Everything loads at the start, so that the page works offline once
// loaded: the preview first, as it is wanted as soon as there are
// templates, then what a run needs.
load('quorbel-preview')
  .then(() => Promise.all([load('quorbel'), zipLibrary()]))
  .catch(() => {}); // the call that needs a missing part reports it

const kinds = { run, preview, resample: async (job) => resample(job) };

self.onmessage = async ({ data: { id, kind, ...job } }) => {
  try {
    const result = await kinds[kind](job);
    const transfer = kind === 'resample' ? [result.bytes.buffer] : [];
    self.postMessage({ id, result }, transfer);
  } catch (error) {
    self.postMessage({ id, error: String(error?.message ?? error) });
  }
};
