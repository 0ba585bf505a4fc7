// Rate, Start and Length: typed into the state, and shown from it. In
// Cycles and Contour the Rate is what the take amounts to, shown, not
// chosen: the rate at which the instrument steps through each patch's
// values to sound as the recording does (per the preview shown).
import { subscribe, update } from './state.js';
import { patchesOf } from './derived.js';

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
