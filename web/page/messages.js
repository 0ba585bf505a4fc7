// Sentences for the user, each shown beside the step it concerns. An
// exception that nothing else caught is shown too, never left only in the
// console.
import { update } from './state.js';

export function say(element, text) {
  if (element.textContent !== text) element.textContent = text;
  element.hidden = text === '';
}

// The sentence for a file that can no longer be read as it was chosen.
export function unreadable(name) {
  return `"${name}" changed or was removed since you chose it: choose it again.`;
}

function unexpected(error) {
  update({ problems: { page: `Something went wrong in the page: ${error?.message ?? error}. ` +
    'Your choices are kept; try the step again.' } });
}

window.addEventListener('error', (event) => unexpected(event.error ?? event.message));
window.addEventListener('unhandledrejection', (event) => unexpected(event.reason));
