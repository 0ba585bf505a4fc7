// Rate, Start and Length: typed into the state, and shown from it.
import { subscribe, update } from './state.js';

const fields = Object.fromEntries(['rate', 'start', 'length'].map((name) =>
  [name, document.getElementById(name)]));

for (const [name, field] of Object.entries(fields)) {
  field.addEventListener('input', () => update({ fields: { [name]: field.value },
    problems: { fit: '' } }));
}
subscribe((state) => {
  for (const [name, field] of Object.entries(fields)) {
    if (field.value !== state.fields[name]) field.value = state.fields[name];
  }
});
