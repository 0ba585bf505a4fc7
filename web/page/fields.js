// Rate, Start and Length: typed into the state, and shown from it; and
// Fit, the Rate at which the recording's span fills the templates' room.
// In Cycles and Contour the Rate is what the take amounts to, shown, not
// chosen: the rate at which the instrument steps through each patch's
// values to sound as the recording does (per the preview shown).
import { subscribe, update, when } from './state.js';
import { duration, fitRate, kMaxRate, patchesOf, roomOf, soundSeconds, spanOf }
  from './derived.js';
import { valueCount } from '../shared/resample.js';

const fields = Object.fromEntries(['rate', 'start', 'length'].map((name) =>
  [name, document.getElementById(name)]));

for (const [name, field] of Object.entries(fields)) {
  field.addEventListener('input', () => update({ fields: { [name]: field.value },
    problems: { fit: '' } }));
}

// The rates of the take's patches, each once, as "26400" or "26400, 13200".
function takeRates(state) {
  const rates = (patchesOf(state) ?? []).map(({ rate }) => String(+rate.toFixed(3)));
  return [...new Set(rates)].join(', ');
}

subscribe((state) => {
  const taken = state.input?.kind === 'recording' && state.fields.take !== 'samples';
  fields.rate.readOnly = taken;
  for (const [name, field] of Object.entries(fields)) {
    const text = name === 'rate' && taken ? takeRates(state) : state.fields[name];
    if (field.value !== text) field.value = text;
  }
});

// The Rate at which the span fills the templates' room: {rate} or
// {problem}.
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
