// A recording in a format the worker does not read itself, decoded once
// by the browser's own decoder and handed to the worker whole.
import { current } from './state.js';
import { call } from './programs.js';

// The browser decodes other formats at this rate.
const kDecodeRate = 48000;

function notAudio(name) {
  return `"${name}" is not a recording this browser can decode (such as WAV, MP3, OGG or ` +
    'FLAC). Choose another recording, or choose the file as Input file to take its bytes ' +
    'as they are.';
}

export const empty = (name) =>
  `The recording "${name}" is empty: it holds no sound. Choose another recording.`;

// The channels go to the worker, which keeps them; nothing is handed over
// for a recording replaced while the browser decoded it.
export async function decode(input) {
  let decoded;
  try {
    const bytes = await input.file.arrayBuffer();
    decoded = await new OfflineAudioContext(1, 1, kDecodeRate).decodeAudioData(bytes);
  } catch (error) {
    if (error.name === 'NotReadableError' || error.name === 'NotFoundError') throw error;
    return { problem: notAudio(input.name) };
  }
  if (decoded.length === 0) return { problem: empty(input.name) };
  const channels = Array.from({ length: decoded.numberOfChannels },
    (_, channel) => decoded.getChannelData(channel).slice());
  if (current().input?.serial !== input.serial) return {};
  const sound = await call('openDecoded', { recording: input.serial, rate: decoded.sampleRate,
    channels }, { transfer: channels.map((channel) => channel.buffer) });
  return { sound };
}
