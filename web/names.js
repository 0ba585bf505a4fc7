// The names the page cannot hand to the programs as they are. A console
// run takes the input's name and the patch name as two answers, each one
// line; the patches' names must be usable in any folder and zip.
const kLineBreak = /[\r\n]/;
// Characters no Windows or macOS file name may hold, control characters,
// and "/", as the page writes into one folder.
const kUnusable = /[\\/:*?"<>|\u0000-\u001f\u007f]/;

// A sentence for an input name that would be split across the two
// answers, or ''.
export function inputNameProblem(name) {
  return kLineBreak.test(name)
    ? `The name "${name.replace(/[\r\n]/g, ' ')}" holds a line break, which would end ` +
      'the answer that gives the input\'s name. Rename the file and choose it again.'
    : '';
}

export function patchNameProblem(name) {
  const found = kUnusable.exec(name);
  if (!found) return '';
  const shown = found[0] < ' ' || found[0] === '\u007f'
    ? 'a control character' : `"${found[0]}"`;
  return `A patch name cannot hold ${shown}: the patches must be files that any computer ` +
    'can hold, all in one folder. Choose a name without \\ / : * ? " < > |.';
}

// The zip's download name for the patch name a run used: the name without
// ".pch" at its end (in any case), trimmed of blanks and dots, or
// "patches".
export function zipName(patchName) {
  const base = patchName.replace(/\.pch$/i, '').replace(/^[\s.]+|[\s.]+$/g, '');
  return `${base === '' ? 'patches' : base}.zip`;
}
