// Makes the page as one HTML file that works when opened from disk, with
// no server and no network: the styles, the page's modules and its worker
// bundled by esbuild, the programs' WebAssembly, the icon and the examples
// inside. What only a served page uses (the service worker that keeps it
// for use offline, its list of files, the manifest) stays out.
//   node web/build/one_file.mjs SITE_FOLDER OUTPUT_HTML
// SITE_FOLDER is the assembled site. The worker starts from the file's own
// text, as a classic worker (a page opened from disk may start no module
// worker from it), and gets the programs from its own constants; the page
// gets the examples from the file. site_files.js is the one module that
// differs: this script gives each bundle its own version of it.
import { readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { build } from 'esbuild';

const [site, output] = process.argv.slice(2);
const read = (name) => readFileSync(join(site, name));
const base64 = (bytes) => Buffer.from(bytes).toString('base64');

const kDecode = `const bytesOf = (text) => Uint8Array.from(atob(text), (c) => c.charCodeAt(0));`;

const workerFiles = `${kDecode}
const programs = {
  quorbel: '${base64(read('quorbel.wasm'))}',
  'quorbel-preview': '${base64(read('quorbel-preview.wasm'))}',
};
export async function programBytes(program) { return bytesOf(programs[program]); }
`;

const pageFiles = `${kDecode}
export function startWorker() {
  const source = document.getElementById('worker-source').textContent;
  return new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
}
export async function exampleFile(name) {
  const examples = JSON.parse(document.getElementById('examples').textContent);
  return new File([bytesOf(examples[name])], name);
}
`;

// esbuild's bundle of `entry` from the site, with `files` for site_files.js.
async function bundle(entry, files) {
  const result = await build({
    entryPoints: [join(site, entry)],
    bundle: true,
    format: 'iife',
    minify: true,
    write: false,
    logLevel: 'error',
    plugins: [{
      name: 'site-files',
      setup(builder) {
        builder.onResolve({ filter: /\/site_files\.js$/ }, () => ({ path: 'site_files',
          namespace: 'one-file' }));
        builder.onLoad({ filter: /.*/, namespace: 'one-file' }, () => ({ contents: files,
          loader: 'js' }));
      },
    }],
  });
  // Inside a script element, only "</script" would end it early.
  return result.outputFiles[0].text.replaceAll('</script', '<\\/script');
}

const examples = Object.fromEntries(readdirSync(join(site, 'examples'))
  .map((name) => [name, base64(read(join('examples', name)))]));

const workerSource = await bundle('worker/worker.js', workerFiles);
const pageSource = await bundle('page/main.js', pageFiles);
// The icon inside too; no manifest, which only a served page can use.
const html = read('index.html').toString()
  .replace(/<link rel="icon" href="icon.svg"/, () =>
    `<link rel="icon" href="data:image/svg+xml;base64,${base64(read('icon.svg'))}"`)
  .replace(/ *<link rel="manifest"[^>]*>\n?/, '')
  .replace(/<link rel="stylesheet" href="style.css">/, () =>
    `<style>\n${read('style.css')}</style>`)
  .replace(/<script type="module" src="page\/main.js"><\/script>\n?/, '')
  .replace('</body>', () => [
    `<script type="text/plain" id="worker-source">${workerSource}</script>`,
    `<script type="application/json" id="examples">${JSON.stringify(examples)}</script>`,
    `<script>${pageSource}</script>`,
    '</body>'].join('\n'));
writeFileSync(output, html);
