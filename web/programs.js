// The page's side of the worker (worker.js): each call posts one job and
// returns a promise of its result. The worker does one job at a time, in
// the order they were asked.
const worker = new Worker(new URL('./worker.js', import.meta.url), { type: 'module' });
const waiting = new Map();
let lastId = 0;

worker.onmessage = ({ data: { id, result, error } }) => {
  const { resolve, reject } = waiting.get(id);
  waiting.delete(id);
  if (error === undefined) resolve(result);
  else reject(new Error(error));
};

// A worker that cannot start (a module that fails to load) fails every
// call waiting on it.
worker.onerror = (event) => {
  event.preventDefault();
  for (const { reject } of waiting.values()) {
    reject(new Error(event.message || 'the page\'s worker could not start'));
  }
  waiting.clear();
};

export function call(kind, job, transfer = []) {
  const id = ++lastId;
  return new Promise((resolve, reject) => {
    waiting.set(id, { resolve, reject });
    worker.postMessage({ id, kind, ...job }, transfer);
  });
}
