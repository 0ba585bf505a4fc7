// The page's side of the worker (worker/worker.js), by the protocol of
// shared/protocol.js: each call posts one job and returns a promise of its
// result. The worker reads none of the user's
// files itself: it asks for the bytes of a file shared with it, and the
// page reads them here, by slices.
import { startWorker } from '../shared/site_files.js';
import { caller } from '../shared/protocol.js';

const worker = startWorker();

// Files the worker may read: id -> File.
const shared = new Map();
let lastShared = 0;

// Progress of the work on recordings: 'progress' events, their detail
// {recording, done, total, unreadable}.
export const events = new EventTarget();

export function share(file) {
  shared.set(++lastShared, file);
  return lastShared;
}

export function unshare(id) {
  shared.delete(id);
}

async function serveRead({ token, file, start, end }) {
  try {
    const bytes = new Uint8Array(await shared.get(file).slice(start, end).arrayBuffer());
    worker.postMessage({ readDone: token, bytes }, [bytes.buffer]);
  } catch {
    worker.postMessage({ readDone: token, failed: true });
  }
}

const { call: callWorker, fail } = caller(worker, (data) => {
  if (data.read) {
    serveRead(data.read);
  } else {
    const detail = { ...data.progress, unreadable: shared.get(data.progress.unreadable) };
    events.dispatchEvent(new CustomEvent('progress', { detail }));
  }
});

// Once the worker failed to start, every call, later ones too, fails with
// why.
worker.onerror = (event) => {
  event.preventDefault();
  fail(`the page's worker could not start (${event.message || 'no reason given'})`);
};

// A call of the worker (shared/protocol.js): an error's `unreadable` is
// the File that could not be read, if that was the cause, and `cancelled`
// is set for work on a recording no longer chosen or a call cancelled.
export const call = (name, job, options) => callWorker(name, job, options).catch((error) => {
  throw Object.assign(error, { unreadable: shared.get(error.unreadable) });
});
