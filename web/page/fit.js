// Fit: the Rate at which the recording's span fills the templates' room.
import { update, when } from './state.js';
import { duration, fitRate, kMaxRate, roomOf, soundSeconds, spanOf } from './derived.js';
import { valueCount } from '../shared/resample.js';

async function fit() {
  const state = await when((now) => !now.busy.preview);
  const { input } = state;
  const room = roomOf(state);
  let problem = '';
  if (input?.kind !== 'recording' || !input.sound) {
    problem = 'Fit needs a recording: choose one under Recording first.';
  } else if (room === null) {
    problem = 'Fit needs the templates\' room: choose the templates first.';
  } else if (room === 0) {
    problem = 'The templates have no room for values (no line takes a value), ' +
      'so there is nothing to fit.';
  } else {
    const span = spanOf(state.fields, soundSeconds(input.sound));
    problem = span.problem ?? '';
    if (!problem) {
      const rate = fitRate(room, span.seconds);
      if (rate > kMaxRate) {
        problem = `${duration(span.seconds)} is too short for the templates' room, ` +
          `${room} values: at the highest rate, ${kMaxRate}/s, it makes ` +
          `${valueCount(span.seconds, kMaxRate)}. Choose a longer span.`;
      } else {
        update({ fields: { rate: String(rate) }, problems: { fit: '' } });
        return;
      }
    }
  }
  update({ problems: { fit: problem } });
}

document.getElementById('fit').addEventListener('click', fit);
