// Work that follows the state: `work(state, key)` makes the changes for
// the choices that `key(state)` names, one pass at a time. A change of
// choices while a pass is under way asks for one more pass after it, on
// the state as it is then: changes that come faster than the work are
// merged, never queued up. A pass's changes land only if its key is
// still the state's; those of a pass overtaken by a change are dropped,
// unless `overtaken(changes, madeFrom, now)` gives changes that may land
// meanwhile: so a preview follows a handle as it moves, each shown as an
// earlier one until the last is made.
import { current, subscribe, update } from './state.js';

export function follow(key, work, { overtaken } = {}) {
  let running = false;
  let landed;
  const pass = async () => {
    running = true;
    try {
      for (let wanted = key(current()); wanted !== landed; wanted = key(current())) {
        const madeFrom = current();
        const changes = await work(madeFrom, wanted);
        if (key(current()) !== wanted) {
          const meanwhile = changes && overtaken?.(changes, madeFrom, current());
          if (meanwhile) update(meanwhile);
          continue;
        }
        landed = wanted;
        if (changes) update(changes);
      }
    } finally {
      running = false;
    }
  };
  subscribe(() => {
    if (!running) pass();
  });
}
