// The preview's chart as an SVG: the values a run uses, in order, from 0
// (bottom) to 127 (top), each patch's drawn apart, with a line and its
// number where each patch starts; a patch that holds loops shows its join,
// the step from its last value back to its first. The numbers come from
// the preview itself (chart_data.cc); this module only draws them.
const kSvg = 'http://www.w3.org/2000/svg';
const kWidth = 720;
const kHeight = 180;
const kTop = 8; // room for the patch lines' tops

function element(name, attributes, text) {
  const made = document.createElementNS(kSvg, name);
  for (const [key, value] of Object.entries(attributes)) made.setAttribute(key, value);
  if (text !== undefined) made.textContent = text;
  return made;
}

// `data`: {values, patches: [{number, first, count}]}, or null for none;
// `loops`: whether each patch's values are a loop.
export function drawChart(figure, data, loops = false) {
  if (!data || data.values.length === 0) {
    figure.replaceChildren(Object.assign(document.createElement('p'), {
      textContent: 'The chart of the values appears here once there are templates and an input.',
    }));
    return;
  }
  const { values, patches } = data;
  const x = (index) => (index / values.length) * kWidth;
  const y = (value) => kTop + (1 - value / 127) * (kHeight - kTop);
  const svg = element('svg', {
    viewBox: `0 0 ${kWidth} ${kHeight}`, role: 'img', class: 'chart' });
  svg.append(element('title', {}, `Values 1 to ${values.length}; patches start at value ` +
    `${patches.map((patch) => patch.first).join(', ')}`));
  svg.append(element('rect', { x: 0, y: kTop, width: kWidth, height: kHeight - kTop,
    class: 'frame' }));
  const point = (i, value = values[i]) => `${x(i + 0.5).toFixed(1)},${y(value).toFixed(1)}`;
  for (const { first, count } of patches) {
    const indices = Array.from({ length: count }, (_, i) => first - 1 + i);
    svg.append(element('polyline', { points: indices.map((i) => point(i)).join(' '),
      class: 'values' }));
    if (loops) {
      const last = first - 2 + count;
      svg.append(element('polyline', { points: `${point(last)} ${point(last + 1,
        values[first - 1])}`, class: 'join' }));
    }
  }
  // The patch numbers are text of the page, above the drawing, so that
  // they keep their size however narrow the chart is drawn.
  const numbers = document.createElement('div');
  numbers.className = 'chart-numbers';
  numbers.setAttribute('aria-hidden', 'true');
  patches.forEach((patch, i) => {
    const left = x(patch.first - 1);
    svg.append(element('line', { x1: left, x2: left, y1: kTop - 6, y2: kHeight,
      class: 'boundary' }));
    const number = document.createElement('span');
    number.textContent = String(patch.number);
    number.style.left = `${(100 * left) / kWidth}%`;
    // Patches that start close together take turns in two rows.
    number.className = i % 2 === 0 ? 'upper' : 'lower';
    numbers.append(number);
  });
  figure.replaceChildren(numbers, svg);
}
