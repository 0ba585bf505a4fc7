// What the user has given the page: the templates by name, and the input
// (a File or Blob with the name the programs see), or a sentence saying
// why there is none. Work still under way on them (reading, converting) is
// tracked, so that whatever needs them waits for it. Modules change them
// through these functions and listen for 'change' on `events`.
export const events = new EventTarget();
export const templates = new Map();
let input = null;
let inputProblem = '';
// The module that gave the input or its problem: a new input from another
// one supersedes it.
let inputOwner = '';
const pending = new Set();

let batching = false;

function changed() {
  if (!batching) events.dispatchEvent(new Event('change'));
}

// Runs `change`, a few changes that belong together, with one 'change'
// event after them.
export function together(change) {
  batching = true;
  try {
    change();
  } finally {
    batching = false;
  }
  changed();
}

export function setTemplates(files, replaceAll = false) {
  if (replaceAll) templates.clear();
  for (const file of files) templates.set(file.name, file);
  changed();
}

// `origin` says where the input came from, for the page to show; `owner`
// is the module that gave it.
export function setInput(name, blob, origin, owner) {
  input = { name, blob, origin };
  inputProblem = '';
  inputOwner = owner;
  changed();
}

// No input, for the reason given.
export function clearInput(problem, owner) {
  input = null;
  inputProblem = problem;
  inputOwner = owner;
  changed();
}

export function inputOwnedBy(owner) {
  return inputOwner === owner;
}

// The input for a call, or null. A folder cannot hold the input beside a
// template of the same name, as a console run's folder cannot.
export function currentInput() {
  if (input && templates.has(input.name)) return null;
  return input;
}

export function problemWithInput() {
  if (input && templates.has(input.name)) {
    return `The input file has the name of a template, "${input.name}": ` +
      'a folder cannot hold both. Rename the input file and choose it again.';
  }
  if (input) return '';
  return inputProblem || 'There is no input yet: choose an Input file or a Recording, ' +
    'or press Use the examples.';
}

// Keeps `promise` among the work under way until it settles.
export function track(promise) {
  pending.add(promise);
  const done = () => pending.delete(promise);
  promise.then(done, done);
  return promise;
}

// Resolves once no work is under way but `except` (the caller's own, if
// tracked), including work started while waiting.
export async function settled(except = null) {
  for (;;) {
    const others = [...pending].filter((promise) => promise !== except);
    if (others.length === 0) return;
    await Promise.allSettled(others);
  }
}

// Makes `work` run one pass at a time: a call while a pass is under way
// asks for one more after it, so that the latest change is always taken.
// The function made returns the promise of the passes under way; its
// running() gives that promise too, or null when none is.
export function oneAtATime(work) {
  let running = null;
  let again = false;
  const start = () => {
    if (running) {
      again = true;
      return running;
    }
    running = (async () => {
      do {
        again = false;
        await work();
      } while (again);
    })().finally(() => { running = null; });
    return running;
  };
  start.running = () => running;
  return start;
}
