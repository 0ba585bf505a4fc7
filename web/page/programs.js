// The page's side of the worker (worker/worker.js), by the protocol of
// shared/protocol.js: each call posts one job and returns a promise of its
// result. The worker reads none of the user's files itself: it asks for
// the bytes of a file shared with it, and the page reads them here, by
// slices.
import { startWorker } from '../shared/site_files.js';
import { connect } from '../shared/protocol.js';

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

export const unshare = (id) => shared.delete(id);

const { call: callWorker, fail } = connect(worker, 'page', {
  read: async ({ file, start, end }) =>
    new Uint8Array(await shared.get(file).slice(start, end).arrayBuffer()),
  progress: (progress) => {
    const detail = { ...progress, unreadable: shared.get(progress.unreadable) };
    events.dispatchEvent(new CustomEvent('progress', { detail }));
  },
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
