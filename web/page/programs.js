// The page's side of the worker (worker.js): each call posts one job and
// returns a promise of its result. The worker reads none of the user's
// files itself: it asks for the bytes of a file shared with it, and the
// page reads them here, by slices.
import { startWorker } from '../shared/site_files.js';

const worker = startWorker();
const waiting = new Map();
let lastId = 0;
// Why the worker cannot work, once it failed to start: every call, later
// ones too, fails with it.
let broken = null;

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

// An error of the worker's; `unreadable` is the File that could not be
// read, if that was the cause, and `cancelled` is set for work on a
// recording no longer chosen.
function workerError({ error, unreadable, cancelled }) {
  return Object.assign(new Error(error), { unreadable: shared.get(unreadable), cancelled });
}

worker.onmessage = ({ data }) => {
  if (data.read) {
    serveRead(data.read);
  } else if (data.progress) {
    const detail = { ...data.progress, unreadable: shared.get(data.progress.unreadable) };
    events.dispatchEvent(new CustomEvent('progress', { detail }));
  } else {
    const { resolve, reject } = waiting.get(data.id);
    waiting.delete(data.id);
    if (data.error === undefined) resolve(data.result);
    else reject(workerError(data));
  }
};

worker.onerror = (event) => {
  event.preventDefault();
  broken = `the page's worker could not start (${event.message || 'no reason given'})`;
  for (const { reject } of waiting.values()) reject(new Error(broken));
  waiting.clear();
};

export function call(kind, job = {}, transfer = []) {
  if (broken) return Promise.reject(new Error(broken));
  const id = ++lastId;
  return new Promise((resolve, reject) => {
    waiting.set(id, { resolve, reject });
    worker.postMessage({ id, kind, ...job }, transfer);
  });
}
