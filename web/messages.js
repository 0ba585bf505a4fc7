// Sentences for the user, each shown beside the step it concerns. An
// exception that nothing else caught is shown too, never left only in the
// console.
export function say(element, text) {
  element.textContent = text;
  element.hidden = text === '';
}

const general = document.getElementById('page-status');

function unexpected(error) {
  say(general, `Something went wrong in the page: ${error?.message ?? error}. ` +
    'Reload the page and try again; your files stay on this computer.');
}

window.addEventListener('error', (event) => unexpected(event.error ?? event.message));
window.addEventListener('unhandledrejection', (event) => unexpected(event.reason));
