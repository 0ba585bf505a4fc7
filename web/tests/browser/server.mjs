// The tests' server: the site on localhost, every page with the recorder
// of its errors and console lines, and the service worker's list of files
// made to match the pages as served.
import { createHash } from 'node:crypto';
import { createServer } from 'node:http';
import { readFileSync } from 'node:fs';
import { extname, join } from 'node:path';
import { siteDir } from './engines.mjs';

const kTypes = {
  '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.pch': 'application/octet-stream',
  '.raw': 'application/octet-stream', '.png': 'image/png', '.svg': 'image/svg+xml',
  '.webmanifest': 'application/manifest+json',
};

// Put first into every page the server sends: the page's uncaught errors
// and console lines (with its workers' failures), kept where the layer
// reads them in every engine alike (WebKit's driver cannot read the
// console).
const kRecorder = `<script>
window.quorbelTestRecord = { errors: [], logged: [] };
addEventListener('error', (event) =>
  quorbelTestRecord.errors.push(String(event.error?.message ?? event.message)));
addEventListener('unhandledrejection', (event) =>
  quorbelTestRecord.errors.push(String(event.reason?.message ?? event.reason)));
// A worker's failure reaches only the page's own handler: logged too.
window.Worker = class extends Worker {
  constructor(...args) {
    super(...args);
    this.addEventListener('error', (event) =>
      quorbelTestRecord.logged.push(\`worker error: \${event.message || 'no message'}\`));
  }
};
for (const level of ['log', 'info', 'warn', 'error']) {
  const write = console[level];
  console[level] = (...parts) => {
    quorbelTestRecord.logged.push(parts.map(String).join(' '));
    write.apply(console, parts);
  };
}
</script>`;

// The page `html` with the recorder first in its head, and the script of
// the function `inject`, if given, run next, before the page's own.
export function withRecorder(html, inject) {
  const scripts = kRecorder + (inject ? `<script>(${inject})();</script>` : '');
  return Buffer.from(html.toString('utf8').replace(/<head[^>]*>/i, (head) => head + scripts));
}

// The list of the site's files that its service worker keeps
// (offline_files.js), with each page's digest that of the page as served:
// what the build listed is the page without the tests' scripts.
function relisted(list, pageAt) {
  return Buffer.from(list.toString('utf8').replace(/'([^']+\.html)': '[0-9a-f]{64}'/g,
    (entry, name) => {
      const page = pageAt(name);
      return page ? `'${name}': '${createHash('sha256').update(page).digest('hex')}'` : entry;
    }));
}

// Serves the site (or the folder `root`) on a free port of 127.0.0.1 and
// counts the bytes sent, by file. Cross-origin isolation lets the page
// measure its memory. Every page gets the recorder and the script of
// `inject` (withRecorder). Without `serviceWorker`, the site has none: as
// the page opened from a file, what it loads is all it has. While
// `offline` is set, the server drops every request unanswered, as a
// network that is gone does; hold(path) keeps back the answers to `path`
// until the function it gives is called.
export async function serve(root = siteDir, { inject, serviceWorker = true } = {}) {
  const served = { bytes: 0, files: {}, offline: false };
  const held = new Map();
  served.hold = (path) => {
    let release;
    held.set(path, new Promise((resolve) => { release = resolve; }));
    return () => {
      held.delete(path);
      release();
    };
  };
  const read = (name) => {
    const file = join(root, name);
    try {
      return readFileSync(name.endsWith('/') ? join(file, 'index.html') : file);
    } catch {
      return null;
    }
  };
  const server = createServer(async (request, response) => {
    if (served.offline) {
      request.socket.destroy();
      return;
    }
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    await held.get(name);
    const type = extname(name.endsWith('/') ? 'index.html' : name);
    let body = serviceWorker || name !== '/service_worker.js' ? read(name) : null;
    if (body === null) {
      response.writeHead(404).end();
      return;
    }
    served.bytes += body.length;
    served.files[request.url] = body.length;
    if (type === '.html') body = withRecorder(body, inject);
    if (name === '/offline_files.js') {
      body = relisted(body, (page) => {
        const html = read(`/${page}`);
        return html && withRecorder(html, inject);
      });
    }
    response.writeHead(200, {
      'Content-Type': kTypes[type] ?? 'application/octet-stream',
      'Cross-Origin-Opener-Policy': 'same-origin',
      'Cross-Origin-Embedder-Policy': 'require-corp',
      'Cache-Control': 'no-store',
    }).end(body);
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  served.url = `http://127.0.0.1:${server.address().port}/`;
  served.close = () => new Promise((done) => {
    server.close(done);
    server.closeAllConnections();
  });
  return served;
}
