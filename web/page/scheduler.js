// The scheduler of work that follows the state: `work(state, key,
// signal)` makes the changes for the choices that `key(state)` names, one
// pass at a time. A change of choices while a pass is under way asks for
// one more pass after it, on the state as it is then: changes that come faster than the work are
// merged, never queued up. A pass's changes land only if its key is
// still the state's; those of a pass overtaken by a change are dropped,
// unless `overtaken(changes, madeFrom, now)` gives changes that may land
// meanwhile: so a preview follows a handle as it moves, each shown as an
// earlier one until the last is made. A pass whose changes can no longer
// land, `stale(madeFrom, now)` (any change of key, by default), is
// cancelled by its signal.
import { current, subscribe, update } from './state.js';

export function follow(key, work, { overtaken, stale = () => true } = {}) {
  let running = null;
  let landed;
  const pass = async () => {
    try {
      for (let wanted = key(current()); wanted !== landed; wanted = key(current())) {
        const madeFrom = current();
        running = { wanted, madeFrom, controller: new AbortController() };
        const changes = await work(madeFrom, wanted, running.controller.signal);
        if (key(current()) !== wanted) {
          const meanwhile = changes && overtaken?.(changes, madeFrom, current());
          if (meanwhile) update(meanwhile);
          continue;
        }
        landed = wanted;
        if (changes) update(changes);
      }
    } finally {
      running = null;
    }
  };
  subscribe((state) => {
    if (!running) pass();
    else if (key(state) !== running.wanted && stale(running.madeFrom, state)) {
      running.controller.abort();
    }
  });
}
