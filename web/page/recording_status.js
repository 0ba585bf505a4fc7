// The recording's status: its length, what the fields make of it, the
// templates' room, the work under way and what went wrong.
import { subscribe } from './state.js';
import { conversionOf, duration, pitchOf, plural, roomOf, soundSeconds, takeGiven }
  from './derived.js';
import { say } from './messages.js';

const status = document.getElementById('recording-status');

const percent = ({ done, total }) => Math.floor((100 * done) / total);

function statusText(state) {
  const { input, problems, busy } = state;
  // A recording refused leaves no input: the input's status says why.
  if (input?.kind !== 'recording') return problems.fit;
  if (problems.recording) return problems.recording;
  if (!input.sound) return `Reading ${input.name}...`;
  const { sound } = input;
  const parts = [`${input.name}: ${duration(soundSeconds(sound))} of sound.`];
  if (sound.headerFrames) {
    parts.push('The file ends before the length its header gives, ' +
      `${duration(sound.headerFrames / sound.rate)}: the page takes the ` +
      `${duration(soundSeconds(sound))} it holds.`);
  }
  const conversion = conversionOf(state);
  if (state.fields.take !== 'samples') {
    parts.push(takeText(state));
  } else if (conversion.problem) {
    parts.push(conversion.problem);
  } else {
    const { count, seconds, start, rate } = conversion;
    parts.push(`It makes ${plural(count, 'byte')}: ${duration(seconds)} from ${start} s ` +
      `at ${rate}/s.`);
    const room = roomOf(state);
    if (room !== null) {
      parts.push(`The templates' room, ${plural(room, 'value')}: ${duration(room / rate)} ` +
        `at ${rate}/s.`);
    }
  }
  const { progress } = input;
  if (progress && progress.done < progress.total) {
    parts.push(`Reading the whole recording, for low rates: ${percent(progress)} %.`);
  }
  if (busy.download) parts.push(`Making the input bytes: ${percent(busy.download)} %.`);
  if (problems.fit) parts.push(problems.fit);
  return parts.join(' ');
}

// What Cycles or Contour make of the selection. A problem with the Pitch
// is said beside it.
function takeText(state) {
  const given = takeGiven(state);
  if (given.problem || given.waiting) {
    return given.problem === pitchOf(state).problem ? '' : given.problem ?? given.waiting;
  }
  const { take, size } = given;
  const span = `${duration(take.seconds)} from ${take.start} s`;
  return `It makes ${plural(size, 'byte')}: ` + (take.take === 'cycles'
    ? `${plural(take.cycles, 'cycle')} of ${+take.pitch.toFixed(2)} Hz a patch, from moments ` +
      `spread over ${span}.` : `the loudness of ${span}, in ${plural(size, 'step')}.`);
}

subscribe((state) => say(status, statusText(state)));
