// A recording's waveform at a glance, for the page to draw: the lowest and
// the highest of its mono frames in blocks of a fixed size, made once as
// the recording is read. A view of any span is then drawn from at most
// kBlocks pairs, however long the recording; a view closer than the
// blocks is drawn from the frames themselves (columnsOf). Runs in the
// worker.

// Blocks at most: 512 KB, whatever the length of the recording.
export const kBlocks = 1 << 16;

// The overview of a recording of `frames` frames, filled by push() with
// its frames in order. A block not yet read holds low > high (nothing to
// draw).
export function overviewMaker(frames) {
  const size = Math.max(1, Math.ceil(frames / kBlocks));
  const count = Math.ceil(frames / size);
  const low = new Float32Array(count).fill(Infinity);
  const high = new Float32Array(count).fill(-Infinity);
  let read = 0;

  function push(chunk) {
    for (let i = 0; i < chunk.length;) {
      const block = Math.floor((read + i) / size);
      const stop = Math.min(chunk.length, (block + 1) * size - read);
      let lowest = low[block];
      let highest = high[block];
      for (; i < stop; ++i) {
        if (chunk[i] < lowest) lowest = chunk[i];
        if (chunk[i] > highest) highest = chunk[i];
      }
      low[block] = lowest;
      high[block] = highest;
    }
    read += chunk.length;
  }

  // The lowest and highest per column of `columns` over the frames
  // [first, end), from the blocks; or null when a column is narrower than
  // a block (columnsOf then draws it from the frames).
  function view(first, end, columns) {
    const perColumn = (end - first) / columns;
    if (size > 1 && perColumn < size) return null;
    const made = { low: new Float32Array(columns), high: new Float32Array(columns) };
    for (let column = 0; column < columns; ++column) {
      const from = Math.floor((first + column * perColumn) / size);
      const to = Math.max(from + 1, Math.floor((first + (column + 1) * perColumn) / size));
      let lowest = Infinity;
      let highest = -Infinity;
      for (let block = from; block < Math.min(to, count); ++block) {
        if (low[block] < lowest) lowest = low[block];
        if (high[block] > highest) highest = high[block];
      }
      made.low[column] = lowest;
      made.high[column] = highest;
    }
    return made;
  }

  return { push, view, read: () => read };
}

// The lowest and highest per column of `columns` over `samples`, the
// frames [first, end).
export function columnsOf(samples, first, end, columns) {
  const made = { low: new Float32Array(columns), high: new Float32Array(columns) };
  const perColumn = (end - first) / columns;
  for (let column = 0; column < columns; ++column) {
    const from = Math.floor(column * perColumn);
    const to = Math.min(samples.length, Math.max(from + 1, Math.floor((column + 1) * perColumn)));
    let lowest = Infinity;
    let highest = -Infinity;
    for (let i = from; i < to; ++i) {
      if (samples[i] < lowest) lowest = samples[i];
      if (samples[i] > highest) highest = samples[i];
    }
    made.low[column] = lowest;
    made.high[column] = highest;
  }
  return made;
}
