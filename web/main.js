// The page's start: each step of the page is a module of its own, wired to
// its part of index.html when loaded. Messages first, so that a failure
// in any later module is shown on the page.
import './messages.js';
import './templates.js';
import './input_file.js';
import './recording.js';
import './preview.js';
import './run.js';
