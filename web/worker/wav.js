// Reading WAV files without the browser's decoder, so that a recording of
// any length costs only the frames asked for: the layout comes from the
// chunks before the sound, the frames from slices of the data chunk.
// Integer PCM of 8, 16, 24 and 32 bits, IEEE float of 32 and 64 bits,
// any number of channels, the extensible header, and RF64 for files over
// 4 GB. Anything else is left to the browser's decoder.

const kFormatPcm = 1;
const kFormatFloat = 3;
const kFormatExtensible = 0xfffe;
// A chunk header, and the most of a 'fmt ' chunk that is read.
const kChunkHeader = 8;
const kFormatMost = 40;
// A streamed file's data size, not yet known when its header was written.
const kUnknownSize = 0xffffffff;

const tag = (bytes, at) => String.fromCharCode(...bytes.subarray(at, at + 4));

// The layout of a WAV file: {channels, rate, bits, float, blockAlign,
// dataStart, frames, headerFrames}, or null for a file that is not a WAV
// this reader takes. A file cut short holds fewer frames than its header
// gives: `frames` are those it holds, `headerFrames` the header's (null
// when the header gives none, for a stream). `read(start, end)` resolves
// to the file's bytes start..end (fewer at the end of the file); `size` is
// the file's size.
export async function readLayout(read, size) {
  const head = await read(0, 12);
  if (head.length < 12 || tag(head, 8) !== 'WAVE') return null;
  const rf64 = tag(head, 0) === 'RF64';
  if (!rf64 && tag(head, 0) !== 'RIFF') return null;
  let format = null;
  let bigDataSize = null;
  for (let at = 12; at + kChunkHeader <= size;) {
    const header = await read(at, at + kChunkHeader);
    if (header.length < kChunkHeader) return null;
    const view = new DataView(header.buffer, header.byteOffset, header.byteLength);
    const id = tag(header, 0);
    const length = view.getUint32(4, true);
    const body = at + kChunkHeader;
    if (id === 'fmt ') {
      format = parseFormat(await read(body, body + Math.min(length, kFormatMost)));
      if (!format) return null;
    } else if (id === 'ds64') {
      const ds64 = await read(body, body + 16);
      if (ds64.length < 16) return null;
      bigDataSize = Number(new DataView(ds64.buffer, ds64.byteOffset).getBigUint64(8, true));
    } else if (id === 'data') {
      if (!format) return null;
      let dataSize = rf64 && length === kUnknownSize && bigDataSize !== null
        ? bigDataSize : length;
      const headerFrames = dataSize === kUnknownSize ? null
        : Math.floor(dataSize / format.blockAlign);
      // A file cut short, or written as a stream, holds what it holds.
      if (dataSize === kUnknownSize || body + dataSize > size) dataSize = size - body;
      return { ...format, dataStart: body, frames: Math.floor(dataSize / format.blockAlign),
        headerFrames };
    }
    at = body + length + (length % 2);
  }
  return null;
}

function parseFormat(bytes) {
  if (bytes.length < 16) return null;
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  let code = view.getUint16(0, true);
  const channels = view.getUint16(2, true);
  const rate = view.getUint32(4, true);
  const blockAlign = view.getUint16(12, true);
  const bits = view.getUint16(14, true);
  if (code === kFormatExtensible) {
    if (bytes.length < 26) return null;
    code = view.getUint16(24, true);
  }
  const float = code === kFormatFloat;
  const known = float ? bits === 32 || bits === 64
    : code === kFormatPcm && [8, 16, 24, 32].includes(bits);
  if (!known || channels === 0 || rate === 0 || blockAlign !== channels * (bits / 8)) {
    return null;
  }
  return { channels, rate, bits, float, blockAlign };
}

// One sample of `layout` at byte `at` of `view`, in -1..1.
function samplerOf({ bits, float }) {
  if (float) {
    return bits === 32 ? (view, at) => view.getFloat32(at, true)
      : (view, at) => view.getFloat64(at, true);
  }
  switch (bits) {
    // 8 and 16 bits as browsers decode them, the lowest value -1 and the
    // highest 1: an 8-bit sound's bytes then come back through the byte
    // rule as they were.
    case 8: return (view, at) => {
      const centred = view.getUint8(at) - 128;
      return centred / (centred < 0 ? 128 : 127);
    };
    case 16: return (view, at) => {
      const value = view.getInt16(at, true);
      return value / (value < 0 ? 32768 : 32767);
    };
    case 24: return (view, at) =>
      ((view.getInt8(at + 2) * 65536) + view.getUint16(at, true)) / 8388608;
    default: return (view, at) => view.getInt32(at, true) / 2147483648;
  }
}

// A machine that stores numbers as WAV files do, as all that run the page
// do in practice, reads 16-bit samples through an Int16Array: faster than
// through a DataView, to the same values.
const kLittleEndian = new Uint8Array(Uint16Array.of(1).buffer)[0] === 1;

// The frames held in `bytes` (whole frames of `layout`), each the mean of
// its channels, into `into` from index `offset`.
export function mixFrames(layout, bytes, into, offset = 0) {
  const { channels, blockAlign } = layout;
  const frames = Math.floor(bytes.length / blockAlign);
  if (layout.bits === 16 && kLittleEndian && bytes.byteOffset % 2 === 0) {
    const samples = new Int16Array(bytes.buffer, bytes.byteOffset, frames * channels);
    for (let frame = 0, at = 0; frame < frames; ++frame) {
      let sum = 0;
      for (let channel = 0; channel < channels; ++channel, ++at) {
        const value = samples[at];
        sum += value / (value < 0 ? 32768 : 32767);
      }
      into[offset + frame] = sum / channels;
    }
    return frames;
  }
  const sample = samplerOf(layout);
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const width = layout.bits / 8;
  for (let frame = 0; frame < frames; ++frame) {
    let sum = 0;
    for (let channel = 0, at = frame * blockAlign; channel < channels; ++channel, at += width) {
      sum += sample(view, at);
    }
    into[offset + frame] = sum / channels;
  }
  return frames;
}
