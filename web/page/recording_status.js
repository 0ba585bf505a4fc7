// The recording's status: its length, what the fields make of it, the
// templates' room, the work under way and what went wrong.
import { subscribe } from './state.js';
import { conversionOf, duration, plural, roomOf, soundSeconds } from './derived.js';
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
  if (conversion.problem) {
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

subscribe((state) => say(status, statusText(state)));
