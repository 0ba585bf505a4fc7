// Fit: the Rate at which the recording's span fills the templates' room.
import { update, when } from './state.js';
import { duration, fitRate, kMaxRate, roomOf, soundSeconds, spanOf } from './derived.js';
import { valueCount } from '../shared/resample.js';

// {rate} or {problem}.
function fitted(state) {
  const { input } = state;
  const room = roomOf(state);
  if (input?.kind !== 'recording' || !input.sound) {
    return { problem: 'Fit needs a recording: choose one under Recording first.' };
  }
  if (room === null) {
    return { problem: 'Fit needs the templates\' room: choose the templates first.' };
  }
  if (room === 0) {
    return { problem: 'The templates have no room for values (no line takes a value), ' +
      'so there is nothing to fit.' };
  }
  const span = spanOf(state.fields, soundSeconds(input.sound));
  if (span.problem) return span;
  const rate = fitRate(room, span.seconds);
  if (rate <= kMaxRate) return { rate };
  return { problem: `${duration(span.seconds)} is too short for the templates' room, ` +
    `${room} values: at the highest rate, ${kMaxRate}/s, it makes ` +
    `${valueCount(span.seconds, kMaxRate)}. Choose a longer span.` };
}

document.getElementById('fit').addEventListener('click', async () => {
  const { rate, problem = '' } = fitted(await when((now) => !now.busy.preview));
  update({ ...(rate ? { fields: { rate: String(rate) } } : {}), problems: { fit: problem } });
});
