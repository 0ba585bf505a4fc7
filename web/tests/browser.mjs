// The browser tests' one layer over three engines, the one entry the tests
// import: the engine (browser/engines.mjs), the site served on localhost
// (browser/server.mjs) and the page as a test sees it (browser/page.mjs).
// Which driver runs a step is this layer's business and its drivers',
// never a test's.
//
// A driver (drivers/<engine>.mjs) exports launch({ viewport }), giving
// { newPage(), close() } and, only where the driver has them, setOffline(on)
// and lost(), which says why the browser ended if it ended on its own ('' while
// it runs); a driver's page has
//   goto(url), reload()      each once the page has loaded
//   evaluate(source, args)   runs the function of `source` on `args` (JSON
//                            values and elements, not elements inside
//                            values) in the page; its settled result, as
//                            JSON
//   elements(source, args)   the same, for a function giving elements
//   byRole(role, name)       the elements the engine gives `role` and the
//                            accessible name `name`
//   byLabel(name)            the elements labelled `name`: by a <label>,
//                            aria-label or aria-labelledby (the layer
//                            drops any named by their content alone)
//   click(element), fill(element, text), setFiles(element, paths)
//   download(click)          runs click() and gives the file it saved,
//                            { name, bytes }
//   resize(width, height)    the page's view in CSS pixels
//   pointerMove(x, y)        the mouse moved to x, y (whole CSS pixels of
//                            the view); pointerDown(), pointerUp(): its
//                            main button; wheel(x, y, deltaY): its wheel
//                            turned there by deltaY pixels
//   press(key)               the key `key` (as KeyboardEvent.key names it)
//                            pressed and released on the focused element
//   screenshot(path, fullPage), close()
//   installabilityErrors()   only where the engine tells them: what keeps
//                            the browser from offering to install the page
export { buildDir, engine, launch, lacks, recordFigure, siteDir, test }
  from './browser/engines.mjs';
export { serve, withRecorder } from './browser/server.mjs';
export { siteInBrowser } from './browser/page.mjs';
