#include "app/line_end_tap.h"

#include "fileio/checked_file.h"

namespace quorbel {

void LineEndTap::take(const char* bytes, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count && !scan->ctrlZOffset; ++i) {
    char c = bytes[i];
    if (carriageReturn) {
      carriageReturn = false;
      ++(c == '\n' ? scan->crLfEnds : scan->loneCrEnds);
      if (c == '\n') {
        ++offset;
        continue;
      }
    }
    if (c == kEndMarker) scan->ctrlZOffset = offset;
    if (c == '\r') carriageReturn = true;
    if (c == '\n') ++scan->bareLineFeeds;
    ++offset;
  }
}

void LineEndTap::finish() {
  if (carriageReturn) ++scan->loneCrEnds;
}

Os withLineEndTap(const Os& base, LineEndTap& tap) {
  Os table = base;
  table.read = [&base, &tap](OsHandle handle, void* buffer,
                             std::uint32_t count) {
    OsResult<std::uint32_t> read = base.read(handle, buffer, count);
    if (tap.scan == nullptr || read.error != 0) return read;
    // While a template is scanned the preview reads no other file; the
    // check keeps another file's bytes out all the same.
    if (handle == tap.handle) {  // GCOVR_EXCL_BR_LINE
      tap.take(static_cast<const char*>(buffer), read.value);
    }
    return read;
  };
  return table;
}

}  // namespace quorbel
