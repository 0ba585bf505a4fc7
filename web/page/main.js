// The page's start: each step of the page is a module of its own, wired to
// its part of index.html when loaded, all of them reading and changing the
// one state (state.js). Messages first, so that a failure in any later
// module is shown on the page. Then the programs' own names and limit,
// which the steps wait for.
import './messages.js';
import './templates.js';
import './input_file.js';
import './recording.js';
import './recording_status.js';
import './fields.js';
import './fit.js';
import './take.js';
import './download_input.js';
import './waveform.js';
import './selection.js';
import './zoom.js';
import './playback.js';
import './drop.js';
import './preview.js';
import './run.js';
import './offline.js';
import { subscribe, update } from './state.js';
import { call } from './programs.js';
import { say } from './messages.js';

const pageStatus = document.getElementById('page-status');
const dropStatus = document.getElementById('drop-status');

subscribe(({ problems, statuses }) => {
  say(pageStatus, problems.page);
  say(dropStatus, problems.drop || statuses.drop);
});

call('facts').then((facts) => update({ facts }), (error) => update({ problems: {
  page: `The page's programs could not be loaded (${error.message}). Check the connection ` +
    'and open the page again.' } }));
