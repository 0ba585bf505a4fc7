// The one protocol between the page (page/programs.js) and its worker
// (worker/worker.js): the calls each side answers, by name, and the
// messages both ways, written once for both. Every call can be cancelled
// by an AbortSignal: the caller stops waiting at once and the other side
// stops the call's work at its next step, so that work for a replaced
// choice never finishes unseen.
//
// The worker's calls, each job -> result:
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
// size, recording: take}; file: the id of a File shared by the page. The
// page's calls, which the worker makes:
//   read         {file, start, end} -> the bytes of a shared file
//   progress     {recording, done, total, unreadable}: how far the worker
//                has read a recording whole
// Messages: {id, call, job}, {cancel: id}; {answer: id, result} or
// {answer: id, error, unreadable, cancelled}.
export const kCalls = {
  worker: ['facts', 'preview', 'run', 'openWav', 'openDecoded', 'forget', 'values', 'frames',
    'view', 'pitch', 'spectrum'],
  page: ['read', 'progress'],
};

// One side, `side` of kCalls, on `port` (the page's Worker, or the
// worker's self). It answers the other side's calls with
// `answers[name](job, signal)`, whose signal fires when that call is
// cancelled; a failure whose `cancelled` is set is work for a recording no
// longer chosen. `call(name, job, {signal, transfer})` calls the other
// side, giving a promise of the result; a call that fails rejects with an
// Error carrying the other side's `unreadable` and `cancelled`.
// fail(reason) rejects every call, later ones too.
export function connect(port, side, answers) {
  const missing = kCalls[side].filter((name) => !answers[name]);
  if (missing.length > 0) throw new Error(`the ${side} lacks ${missing.join(', ')}`);
  const other = side === 'page' ? 'worker' : 'page';
  const waiting = new Map();
  const running = new Map();
  let lastId = 0;
  let broken = null;

  port.onmessage = async ({ data }) => {
    if (data.cancel !== undefined) return running.get(data.cancel)?.abort();
    if (data.answer !== undefined) return waiting.get(data.answer)?.(data);
    const controller = new AbortController();
    running.set(data.id, controller);
    try {
      const result = await answers[data.call](data.job, controller.signal);
      port.postMessage({ answer: data.id, result },
        ArrayBuffer.isView(result) ? [result.buffer] : []);
    } catch (error) {
      port.postMessage({ answer: data.id, error: String(error?.message ?? error),
        unreadable: error?.unreadable, cancelled: controller.signal.aborted || error?.cancelled });
    } finally {
      running.delete(data.id);
    }
    return undefined;
  };

  const call = (name, job = {}, { signal, transfer = [] } = {}) => {
    if (!kCalls[other].includes(name)) throw new Error(`the ${other} has no call "${name}"`);
    if (broken) return Promise.reject(new Error(broken));
    const id = ++lastId;
    return new Promise((resolve, reject) => {
      const cancel = () => {
        waiting.delete(id);
        port.postMessage({ cancel: id });
        reject(Object.assign(new Error('cancelled'), { cancelled: true }));
      };
      if (signal?.aborted) return cancel();
      signal?.addEventListener('abort', cancel, { once: true });
      waiting.set(id, (data) => {
        waiting.delete(id);
        signal?.removeEventListener('abort', cancel);
        if (data.reason) reject(new Error(data.reason));
        else if (data.error === undefined) resolve(data.result);
        else reject(Object.assign(new Error(data.error), data));
      });
      return port.postMessage({ id, call: name, job }, transfer);
    });
  };
  const fail = (reason) => {
    broken = reason;
    for (const settle of waiting.values()) settle({ reason });
  };
  return { call, fail };
}
