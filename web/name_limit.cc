// The file system of the WebAssembly build takes a name of any length,
// where the systems the programs run on refuse one: Linux refuses a name
// (one part of a path) of more than NAME_MAX bytes with ENAMETOOLONG. Both
// programs link this file, so that on the page a name is refused where a
// console run refuses it, with the same error, which the file layer
// reports as it reports it there (I/O error 206).
#include <emscripten.h>

#include <cerrno>
#include <climits>

namespace {

// Every path goes through FS.lookupPath, except for FS.open, which takes a
// failed lookup for a missing file: both refuse a path with a part too
// long, before anything else is done with it.
// clang-format off
EM_JS(void, refuseLongNames, (int mostBytes, int tooLong), {
  const check = (path) => {
    if (typeof path !== "string") return;
    for (const part of path.split("/")) {
      if (part.length * 3 > mostBytes && lengthBytesUTF8(part) > mostBytes) {
        throw new FS.ErrnoError(tooLong);
      }
    }
  };
  const lookupPath = FS.lookupPath;
  FS.lookupPath = (path, options) => {
    check(path);
    return lookupPath(path, options);
  };
  const open = FS.open;
  FS.open = (path, ...rest) => {
    check(path);
    return open(path, ...rest);
  };
});
// clang-format on

// Runs as the instance starts, before main or any exported function.
struct NameLimit {
  NameLimit() { refuseLongNames(NAME_MAX, ENAMETOOLONG); }
};
const NameLimit kNameLimit;

}  // namespace
