// The page's own words and names, which need no browser: what it refuses,
// how it names the zip, how it says a time, and Fit's rate.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { inputNameProblem, patchNameProblem, zipName } from '../names.js';
import { duration, fitRate, plural } from '../choices.js';
import { valueCount } from '../resample.js';

test('patch names that no Windows or macOS folder can hold are refused', () => {
  for (const name of ['x\\..\\..\\evil', 'a:b', 'a*', 'a?', 'a"b', 'a<b', 'a>b', 'a|b',
    'out/wave', 'tab\there', 'del\u007f']) {
    assert.notEqual(patchNameProblem(name), '', name);
  }
  for (const name of ['', 'wave', ' wave', 'wave.pch', 'été', '..', 'a b.c']) {
    assert.equal(patchNameProblem(name), '', name);
  }
  assert.match(patchNameProblem('a\u0001b'), /cannot hold a control character/);
});

test('an input name with a line break is refused, other names are taken', () => {
  assert.match(inputNameProblem('a\nb.raw'), /holds a line break/);
  assert.match(inputNameProblem('a\rb.raw'), /holds a line break/);
  for (const name of ['-x.raw', '--help', 'a b', 'tab\t.raw']) {
    assert.equal(inputNameProblem(name), '', name);
  }
});

test('the zip is named after the patch name, or "patches"', () => {
  const cases = [['demo', 'demo.zip'], ['demo.pch', 'demo.zip'], ['', 'patches.zip'],
    ['..', 'patches.zip'], ['.', 'patches.zip'], ['...', 'patches.zip'],
    [' wave', 'wave.zip'], ['wave. ', 'wave.zip'], ['.pch', 'patches.zip'],
    ['a.pch.b', 'a.pch.b.zip'], ['.PCH', 'patches.zip'], ['wave.PCH', 'wave.zip']];
  for (const [patchName, zip] of cases) assert.equal(zipName(patchName), zip, patchName);
});

test('times and counts as the page says them', () => {
  const cases = [[1 / 44100, '0.023 ms'], [0.0005, '0.5 ms'], [0.00099, '0.99 ms'],
    [0.08, '80 ms'], [0.9, '900 ms'],
    [0.99998, '1 s'], [1.5, '1.5 s'], [600, '10 min'], [133200, '37 h'],
    [3725.5, '1 h 2 min 5.5 s']];
  for (const [seconds, said] of cases) assert.equal(duration(seconds), said, String(seconds));
  assert.equal(plural(1, 'byte'), '1 byte');
  assert.equal(plural(0, 'byte'), '0 bytes');
  assert.equal(plural(2048, 'value'), '2048 values');
});

test('Fit\'s rate fills the room, in no more time than the span', () => {
  for (const [room, seconds] of [[240, 7200], [240, 7200.5], [2048, 133200], [7, 3], [1, 1e7]]) {
    const rate = fitRate(room, seconds);
    assert.ok(valueCount(seconds, rate) === room && room / rate <= seconds, `${room}, ${seconds}`);
  }
});
