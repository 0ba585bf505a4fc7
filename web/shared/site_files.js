// Where the page's own files come from: the site's folder, next to the
// page. The page as one file (one_file.mjs) puts its own version of this
// module in its place, with everything inside the file.

// The page's worker.
export function startWorker() {
  return new Worker(new URL('../worker/worker.js', import.meta.url), { type: 'module' });
}

// The bytes of a program's WebAssembly, for the worker.
export async function programBytes(program) {
  const response = await fetch(new URL(`../${program}.wasm`, import.meta.url));
  if (!response.ok) throw new Error(`${program}.wasm: ${response.status}`);
  return response.arrayBuffer();
}

// One of the bundled examples, as a File.
export async function exampleFile(name) {
  const response = await fetch(new URL(`../examples/${name}`, import.meta.url));
  if (!response.ok) throw new Error(`examples/${name}: ${response.status}`);
  return new File([await response.blob()], name);
}
