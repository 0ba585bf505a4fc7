// Work that follows the state: `work(state, key)` makes the changes for
// the choices that `key(state)` names, one pass at a time. A change of
// choices while a pass is under way asks for one more pass after it, on
// the state as it is then: changes that come faster than the work are
// merged, never queued up. A pass's changes land only if its key is
// still the state's; those of a pass overtaken by a change are dropped.
import { current, subscribe, update } from './state.js';

export function follow(key, work) {
  let running = false;
  let landed;
  const pass = async () => {
    running = true;
    try {
      for (let wanted = key(current()); wanted !== landed; wanted = key(current())) {
        const changes = await work(current(), wanted);
        if (key(current()) !== wanted) continue;
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
