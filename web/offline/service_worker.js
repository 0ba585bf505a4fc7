// The page's service worker: keeps one version of the site, every file the
// build listed (offline_files.js, with each file's SHA-256), in a cache of its
// own, so that the page opens and works with no network once it has been
// opened. A version is installed whole or not at all: each file is checked
// against its digest before any is kept.
//
// A visit asks the server for the site's version (one small request,
// which fails at once offline) and, when it is new, waits for it to be
// installed (at most kUpdateWait): the visit opens the new version. Every
// page keeps the version that opened it, to its end: each request of a
// page (and of the workers it starts) is answered from that version,
// whichever worker answers it, so that no page ever runs a mix of two
// versions. The new worker takes over only once no page is open, as
// browsers do by themselves: a page whose worker changed while it started
// its own worker could lose that worker's requests. A version goes once
// no page runs it.
importScripts('offline_files.js');

const kPrefix = 'quorbel-';
const kCache = `${kPrefix}${self.site.version}`;
// The version each page and worker runs, pinned when it opens ("pins/ID"),
// and the version last installed ("installed").
const kPins = `${kPrefix}pins`;
const kInstalled = 'installed';
// Milliseconds a visit waits for the server's version, and for a new
// version to be installed.
const kCheckWait = 2000;
const kUpdateWait = 10000;

const pinOf = (clientId) => `pins/${encodeURIComponent(clientId)}`;

const hex = (bytes) => [...new Uint8Array(bytes)]
  .map((byte) => byte.toString(16).padStart(2, '0')).join('');

// The file `name` as the build listed it: from the browser's own cache
// when it holds that version, else from the server.
async function verified(name, digest) {
  const url = new URL(name, self.registration.scope);
  for (const mode of ['default', 'reload']) {
    const response = await fetch(url, { cache: mode });
    if (!response.ok) continue;
    const bytes = await response.arrayBuffer();
    if (hex(await crypto.subtle.digest('SHA-256', bytes)) === digest) {
      return new Response(bytes, { headers: response.headers });
    }
  }
  throw new Error(`${name} on the server is not the version listed with it`);
}

async function install() {
  const files = await Promise.all(Object.entries(self.site.files).map(async ([name, digest]) =>
    [name, await verified(name, digest)]));
  const cache = await caches.open(kCache);
  await Promise.all(files.map(([name, response]) =>
    cache.put(new URL(name, self.registration.scope), response)));
  await (await caches.open(kPins)).put(kInstalled, new Response(kCache));
}

const textOf = async (cache, key) => (await cache.match(key))?.text() ?? null;

// A pin: the version, and when it was made. A page or a worker that is
// just opening is not among the clients yet: a young pin is kept.
const kYoungPin = 60000;
const pin = async (clientId, version) =>
  (await caches.open(kPins)).put(pinOf(clientId), new Response(`${version} ${Date.now()}`));

// Forgets the pins of the pages and workers that have gone, and the
// versions that none runs, but for this one and the one installed last.
// While a version is being installed, its cache is not yet named as
// installed: versions are then left alone.
async function sweep() {
  const pins = await caches.open(kPins);
  const open = new Set((await self.clients.matchAll({ type: 'all', includeUncontrolled: true }))
    .map((client) => client.id));
  const kept = new Set([kCache, kPins, await textOf(pins, kInstalled)]);
  for (const request of await pins.keys()) {
    const id = decodeURIComponent(new URL(request.url).pathname.split('/pins/')[1] ?? '');
    if (!id) continue;
    // Another sweep may have just forgotten it.
    const [version, made] = ((await textOf(pins, request)) ?? '').split(' ');
    if (open.has(id) || Date.now() - Number(made) < kYoungPin) kept.add(version);
    else await pins.delete(request);
  }
  if (self.registration.installing) return;
  for (const name of await caches.keys()) {
    if (name.startsWith(kPrefix) && !kept.has(name)) await caches.delete(name);
  }
}

// The version that the page or worker `clientId` runs.
async function versionOf(clientId) {
  const text = clientId ? await textOf(await caches.open(kPins), pinOf(clientId)) : null;
  const version = text?.split(' ')[0];
  return version && (await caches.has(version)) ? version : kCache;
}

// The cache's key for `request`: a folder's address stands for its
// index.html, and the query is not part of it.
function keyOf(request) {
  const url = new URL(request.url);
  url.search = '';
  url.hash = '';
  if (url.pathname.endsWith('/')) url.pathname += 'index.html';
  return url.href;
}

const answer = async (request, version) =>
  (await (await caches.open(version)).match(keyOf(request))) ?? fetch(request);

const within = (milliseconds, work) => Promise.race([work, new Promise((_, reject) => {
  setTimeout(() => reject(new Error('no answer in time')), milliseconds);
})]);

// Whether `worker` gets installed: it may be parsed and not yet
// installing when it is found, or may have gone on to activate by the
// time it is asked.
const installed = (worker) => new Promise((resolve) => {
  const check = () => {
    if (worker.state === 'redundant') resolve(false);
    else if (!['parsed', 'installing'].includes(worker.state)) resolve(true);
    else worker.addEventListener('statechange', check, { once: true });
  };
  check();
});

// The worker of the version that an update of `registration` found, once
// one is found. A browser may tell of it a moment after the update
// settles, or only as waiting once it has been installed.
const updated = (registration) => new Promise((resolve) => {
  const found = () => registration.installing ?? registration.waiting;
  if (found()) resolve(found());
  else registration.addEventListener('updatefound', () => resolve(found()), { once: true });
});

// The version of the site on the server, or null when it gives none in
// time.
async function serverVersion() {
  try {
    const response = await within(kCheckWait, fetch('offline_files.js', { cache: 'no-store' }));
    return /version: '([0-9a-f]+)'/.exec(await within(kCheckWait, response.text()))?.[1] ?? null;
  } catch {
    return null;
  }
}

// Whether a new version of the site is installed, waiting to be taken.
async function newVersionReady() {
  const { registration } = self;
  if (registration.waiting) return true;
  const version = await serverVersion();
  if (version === null || `${kPrefix}${version}` === kCache) return false;
  try {
    return await within(kUpdateWait, (async () => {
      await registration.update();
      return installed(await updated(registration));
    })());
  } catch {
    // Not installed in time: a later visit takes it.
    return false;
  }
}

async function visit(event) {
  // The page that a visit opens is pinned to the new version, which this
  // worker answers it from. A browser that does not say which page a visit
  // opens keeps this version until the new worker has taken over.
  if (event.resultingClientId && (await newVersionReady())) {
    const incoming = await textOf(await caches.open(kPins), kInstalled);
    if (incoming && incoming !== kCache && (await caches.has(incoming))) {
      await pin(event.resultingClientId, incoming);
      return answer(event.request, incoming);
    }
  }
  if (event.resultingClientId) await pin(event.resultingClientId, kCache);
  return answer(event.request, kCache);
}

async function fetched(event) {
  const version = await versionOf(event.clientId);
  // A worker that a page starts runs the page's version.
  if (event.resultingClientId) await pin(event.resultingClientId, version);
  return answer(event.request, version);
}

// `response` as the page gets it, the event kept open until the page has
// read its body to the end. A browser hands the body over after the
// answer, and may let a new version take over as soon as no event is
// open, ending this worker: WebKit then never finishes loading a page
// whose body was cut off so.
function handedOver(event, response) {
  let done;
  event.waitUntil(new Promise((resolve) => {
    done = resolve;
  }));
  return response.then((answered) => {
    if (!answered.body) return done(), answered;
    const reader = answered.body.getReader();
    const body = new ReadableStream({
      async pull(controller) {
        const { value, done: end } = await reader.read();
        if (!end) return controller.enqueue(value);
        controller.close();
        return done();
      },
      cancel: (reason) => (done(), reader.cancel(reason)),
    });
    return new Response(body, answered);
  }, (error) => {
    done();
    throw error;
  });
}

self.addEventListener('install', (event) => event.waitUntil(install()));
self.addEventListener('activate', (event) => event.waitUntil(sweep()));
self.addEventListener('fetch', (event) => {
  const { request } = event;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  const navigate = request.mode === 'navigate';
  event.respondWith(handedOver(event, navigate ? visit(event) : fetched(event)));
  if (navigate) event.waitUntil(sweep());
});
