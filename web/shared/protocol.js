// The one protocol between the page and its worker: the calls the page
// makes, by name, and the messages both ways, written once for both sides
// (the page's page/programs.js, the worker's worker/worker.js). Every call
// can be cancelled by an AbortSignal: the page stops waiting at once and
// the worker stops the call's work at its next step, so that work for a
// replaced choice never finishes unseen.
//
// The calls, each job -> result:
//   facts        {} -> {templateNames, scratchName, sampleLimit}
//   preview      {templates, input} -> {report, errors, chart, patches}:
//                patches the spans of a Cycles or Contour take's patches
//   run          {templates, input, patchName} -> {transcript, exitCode,
//                patches, zip}: patches [{name, bytes, leftEmpty}], the
//                zip of those not left empty
//   openWav      {recording, file, size} -> {rate, frames, headerFrames},
//                headerFrames only for a file cut short, or null for no
//                WAV the worker reads itself
//   openDecoded  {recording, rate, channels} -> {rate, frames}
//   values       {take, from, count} -> the input bytes from..from+count of
//                a recording's take (worker/takes.js)
//   pitch        {id, start, seconds} -> {pitch, reason, note}
//   spectrum     {id, start, seconds, frequency} -> {above, median}
//   forget, frames, view: on a recording (recording_store.js)
// templates: [name, bytes] pairs; input: {name, size, bytes} or {name,
// size, recording: take}; file: the id of a File shared by
// the page.
//
// Page -> worker: {id, call, job}; {cancel: id}; {readDone: token, bytes}
// or {readDone: token, failed: true}.
// Worker -> page: {id, result} or {id, error, unreadable, cancelled};
// {read: {token, file, start, end}}, bytes of a shared file; {progress:
// {recording, done, total, unreadable}} of the reading of a recording.
export const kCalls = ['facts', 'preview', 'run', 'openWav', 'openDecoded', 'forget', 'values',
  'frames', 'view', 'pitch', 'spectrum'];

// The page's side: `call(name, job, {signal, transfer})` on `worker`,
// giving a promise of the result; a call that fails rejects with an Error
// carrying the worker's `unreadable` and `cancelled`. Messages that answer
// no call go to `other`; fail(reason) rejects every call, later ones too.
export function caller(worker, other) {
  const waiting = new Map();
  let lastId = 0;
  let broken = null;
  worker.onmessage = ({ data }) => {
    if (data.id === undefined) return other(data);
    const settle = waiting.get(data.id);
    waiting.delete(data.id);
    return settle?.(data);
  };
  const call = (name, job = {}, { signal, transfer = [] } = {}) => {
    if (!kCalls.includes(name)) throw new Error(`the worker has no call "${name}"`);
    if (broken) return Promise.reject(new Error(broken));
    const id = ++lastId;
    return new Promise((resolve, reject) => {
      const cancel = () => {
        waiting.delete(id);
        worker.postMessage({ cancel: id });
        reject(Object.assign(new Error('cancelled'), { cancelled: true }));
      };
      if (signal?.aborted) return cancel();
      signal?.addEventListener('abort', cancel, { once: true });
      waiting.set(id, (data) => {
        signal?.removeEventListener('abort', cancel);
        if (data.reason) reject(new Error(data.reason));
        else if (data.error === undefined) resolve(data.result);
        else reject(Object.assign(new Error(data.error), data));
      });
      return worker.postMessage({ id, call: name, job }, transfer);
    });
  };
  const fail = (reason) => {
    broken = reason;
    for (const settle of waiting.values()) settle({ reason });
    waiting.clear();
  };
  return { call, fail };
}

// The worker's side: answers each call with `calls[name](job, signal)`,
// whose signal fires when the page cancels it; `isCancelled(error)` says
// which failures are work for a recording no longer chosen. Messages that
// are no call nor cancel go to `other`.
export function serve(calls, isCancelled, other) {
  const missing = kCalls.filter((name) => !calls[name]);
  if (missing.length > 0) throw new Error(`the worker lacks ${missing.join(', ')}`);
  const running = new Map();
  self.onmessage = async ({ data }) => {
    if (data.cancel !== undefined) return running.get(data.cancel)?.abort();
    if (data.id === undefined) return other(data);
    const controller = new AbortController();
    running.set(data.id, controller);
    try {
      const result = await calls[data.call](data.job, controller.signal);
      self.postMessage({ id: data.id, result },
        ArrayBuffer.isView(result) ? [result.buffer] : []);
    } catch (error) {
      const cancelled = isCancelled(error) || controller.signal.aborted;
      self.postMessage({ id: data.id, error: String(error?.message ?? error),
        unreadable: error?.unreadable, cancelled });
    } finally {
      running.delete(data.id);
    }
    return undefined;
  };
}
