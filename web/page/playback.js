// Hearing before writing: Play the selection plays the recording itself
// (the mean of its channels, as it is made into bytes) from Start for
// Length; Play the values plays the values that reach the patches, those
// the preview counts as used, at the level (v - 63.5) / 63.5: what the
// patches will hold, with its 7-bit steps, as the instrument would step
// through them (valueParts). An input file's values play as Samples. Each
// button stops the other and reads Stop while it plays. Web Audio plays
// them, fed by parts, so that a long selection needs no more memory than
// a short one. A browser with
// no sound output never starts the sound: after kStartSeconds the page
// says so, and the button reads Play again.
import { current, subscribe, update, when } from './state.js';
import { call } from './programs.js';
import { currentPreview, inputGiven, patchesOf, playKey, rateOf, spanOf, soundSeconds }
  from './derived.js';
import { say, unreadable } from './messages.js';

const kNames = { selection: 'Play the selection', values: 'Play the values' };
const buttons = { selection: document.getElementById('play-selection'),
  values: document.getElementById('play-values') };
const status = document.getElementById('play-status');

// Frames of sound handed to Web Audio at a time, and how far ahead of the
// sound heard the next part is handed over.
const kPartFrames = 1 << 16;
const kAheadSeconds = 1;
// The rates every browser plays a buffer at; others are held at the
// rate of the audio output.
const kLowestRate = 8000;
const kHighestRate = 96000;
// Seconds the audio output has to start in.
const kStartSeconds = 3;

// Made at the first press: browsers start sound only after a user's
// gesture.
let audio = null;
// The sources of the sound under way, for state.playing.
let sources = [];

// Parts of the selection of the recording: {samples, rate} each, or a
// {problem}.
function selectionParts(state) {
  const { input } = state;
  if (input?.kind !== 'recording' || !input.sound) {
    return { problem: 'Play the selection needs a recording: choose one under Recording.' };
  }
  const span = spanOf(state.fields, soundSeconds(input.sound));
  if (span.problem) return span;
  const { rate, frames } = input.sound;
  const first = Math.round(span.start * rate);
  const end = Math.min(frames, Math.max(first + 1, Math.round((span.start + span.seconds) * rate)));
  return {
    async *parts() {
      for (let from = first; from < end; from += kPartFrames) {
        yield { samples: await call('frames', { recording: input.serial, first: from,
          end: Math.min(end, from + kPartFrames) }), rate };
      }
    },
  };
}

// `count` samples at `outputRate` from sample `from` on, each holding the
// sample of `samples` at `rate` of its time: sample j holds sample
// floor(j * rate / outputRate).
function held(samples, rate, outputRate, from, count) {
  return Float32Array.from({ length: count }, (_, i) =>
    samples[Math.min(samples.length - 1, Math.floor(((from + i) * rate) / outputRate))]);
}

// The level of value v.
const level = (value) => (value - 63.5) / 63.5;

// Seconds each patch's loop plays in Cycles, and the tone Contour shapes.
const kLoopSeconds = 0.5;
const kContourTone = 220;

// Parts of `total` samples at `rate`, sample j being `sampleAt(j)`.
function partsOf(total, rate, sampleAt) {
  return {
    async *parts() {
      for (let from = 0; from < total; from += kPartFrames) {
        const samples = new Float32Array(Math.min(kPartFrames, total - from));
        for (let i = 0; i < samples.length; ++i) samples[i] = sampleAt(from + i);
        yield { samples, rate };
      }
    },
  };
}

// Parts of the used values as the instrument sounds them, at
// `outputRate`. Samples: each held for 1/Rate s, sample j holding value
// floor(j * rate / outputRate). Cycles: each patch's values looped at its
// rate, which sounds the pitch, for kLoopSeconds, in patch order. Contour:
// a kContourTone tone at the level v / 127 of each value, at the take's
// rate.
async function valueParts(state) {
  const outputRate = audio.sampleRate;
  const { take } = state.fields;
  const { rate, problem } = rateOf(state.fields);
  if (problem && take === 'samples') return { problem };
  const given = inputGiven(state);
  if (given.problem || given.waiting) return { problem: given.problem ?? given.waiting };
  const made = await when((now) => currentPreview(now) !== null ||
    (now.problems.preview !== '' && !now.busy.preview) ||
    playKey(now, 'values') !== playKey(state, 'values'));
  const preview = currentPreview(made);
  if (!preview) return { problem: made.problems.preview };
  const { values } = preview.chart;
  if (values.length === 0) {
    return { problem: 'There are no values to play: the templates take none of the input.' };
  }
  const patches = given.recording ? patchesOf(made) : null;
  if (given.recording?.take === 'cycles') {
    const loop = Math.round(kLoopSeconds * outputRate);
    return partsOf(loop * patches.length, outputRate, (j) => {
      const { first, count, rate: patchRate } = patches[Math.floor(j / loop)];
      return level(values[first - 1 + (Math.floor(((j % loop) * patchRate) / outputRate)
        % count)]);
    });
  }
  if (given.recording?.take === 'contour') {
    const stepRate = patches[0].rate;
    return partsOf(Math.ceil((values.length * outputRate) / stepRate), outputRate, (j) =>
      (values[Math.min(values.length - 1, Math.floor((j * stepRate) / outputRate))] / 127) *
      Math.sin((2 * Math.PI * kContourTone * j) / outputRate));
  }
  return partsOf(Math.ceil((values.length * outputRate) / rate), outputRate, (j) =>
    level(values[Math.min(values.length - 1, Math.floor((j * rate) / outputRate))]));
}

// `samples` at `rate` as a buffer: at the rate itself where every browser
// plays it, else each sample held at the audio output's rate.
function bufferOf(samples, rate) {
  const playable = rate >= kLowestRate && rate <= kHighestRate;
  const outputRate = playable ? rate : audio.sampleRate;
  const sound = playable ? samples : held(samples, rate, outputRate, 0,
    Math.max(1, Math.floor((samples.length * outputRate) / rate)));
  const buffer = audio.createBuffer(1, sound.length, outputRate);
  buffer.copyToChannel(sound, 0);
  return buffer;
}

const pause = (seconds) => new Promise((resolve) => { setTimeout(resolve, seconds * 1000); });

// Why the audio output does not run, once its clock moves ('') or after
// kStartSeconds: with no sound device, or none it may use, a browser may
// leave resume() unsettled for ever, or settled with the clock standing.
async function outputFault() {
  let refused = null;
  audio.resume().catch((error) => { refused = error; });
  const from = audio.currentTime;
  for (const start = performance.now(); !refused; await pause(0.02)) {
    if (audio.state === 'running' && audio.currentTime > from) return '';
    if (performance.now() - start > kStartSeconds * 1000) {
      return `This browser plays no sound now: its sound output did not start in ` +
        `${kStartSeconds} s. Check that a sound device is connected, switched on and not ` +
        'held by another program, then press Play again.';
    }
  }
  return `This browser plays no sound now: it refused to start the sound ` +
    `(${refused.message}). Allow this page to play sound in the browser's site settings, ` +
    'then press Play again.';
}

function stop() {
  for (const source of sources) source.stop();
  sources = [];
}

async function play(what) {
  audio ??= new AudioContext();
  const state = current();
  const playing = { what, key: playKey(state, what) };
  update({ playing, problems: { play: '' } });
  const stillPlaying = () => current().playing === playing;
  // The sound ends with its last part, which may end before it is known
  // to be the last: a main thread busy for longer than a short sound.
  let unheard = 0;
  let handedOver = false;
  const ended = () => {
    if (handedOver && unheard === 0 && stillPlaying()) update({ playing: null });
  };
  try {
    const fault = await outputFault();
    let made = { problem: fault };
    if (!fault) made = what === 'selection' ? selectionParts(state) : await valueParts(state);
    if (made.problem || !made.parts) {
      if (stillPlaying()) update({ playing: null, problems: { play: made.problem ?? '' } });
      return;
    }
    let at = audio.currentTime + 0.05;
    for await (const { samples, rate } of made.parts()) {
      if (!stillPlaying()) return;
      const source = audio.createBufferSource();
      source.buffer = bufferOf(samples, rate);
      source.connect(audio.destination);
      source.onended = () => { unheard -= 1; ended(); };
      source.start(at);
      sources.push(source);
      unheard += 1;
      at += source.buffer.duration;
      await pause(at - kAheadSeconds - audio.currentTime);
    }
    handedOver = true;
    ended();
  } catch (error) {
    if (!stillPlaying() || error.cancelled) return;
    update({ playing: null, problems: { play: error.unreadable
      ? unreadable(error.unreadable.name) : `The sound could not be played: ${error.message}.` } });
  }
}

for (const [what, button] of Object.entries(buttons)) {
  button.addEventListener('click', () => {
    const was = current().playing?.what;
    stop();
    if (was === what) update({ playing: null });
    else play(what);
  });
}

subscribe((state) => {
  // What plays stops when the choice it plays changes.
  if (state.playing && state.playing.key !== playKey(state, state.playing.what)) {
    update({ playing: null });
    return;
  }
  if (!state.playing) stop();
  for (const [what, button] of Object.entries(buttons)) {
    const text = state.playing?.what === what ? 'Stop' : kNames[what];
    if (button.textContent !== text) button.textContent = text;
  }
  say(status, state.problems.play);
});
