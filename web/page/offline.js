// The page installed for use with no network: on a page served over http
// or https, the service worker (service_worker.js) keeps every file of
// the site, so that the page opens and works offline once it has been
// opened, and can be installed as an app (manifest.webmanifest). It is
// registered once the page has loaded what it needs, so that it never
// delays the page's own start. A page opened from a file has nothing to
// install.
import { when } from './state.js';
import { say } from './messages.js';

const status = document.getElementById('offline-status');

async function install() {
  await when((state) => state.facts !== null);
  try {
    // The browser asks the server for the service worker at every visit,
    // never its own cache, so that a new version is found.
    await navigator.serviceWorker.register('service_worker.js', { updateViaCache: 'none' });
    await navigator.serviceWorker.ready;
    say(status, 'This page works offline: it opens with no network now that it has been ' +
      'opened once, and your browser can install it as an app.');
  } catch (error) {
    say(status, `This page cannot be kept for use offline in this browser (${error.message}); ` +
      'it works as long as it is open.');
  }
}

if (['http:', 'https:'].includes(location.protocol) && 'serviceWorker' in navigator) install();
