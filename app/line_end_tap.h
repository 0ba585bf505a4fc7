// What a template's lines no longer show once its text file has split them:
// their line ends, the line feeds that end no line, and a Ctrl-Z. A tap on
// the OS table follows the bytes of the template being scanned as its text
// file takes them from the OS, and counts them into the template's scan.
#pragma once

#include <cstdint>

#include "app/preview.h"
#include "fileio/os.h"

namespace quorbel {

struct LineEndTap {
  TemplateScan* scan = nullptr;  // none between templates
  OsHandle handle = 0;           // the template's, while `scan` is set
  std::uint64_t offset = 0;
  bool carriageReturn = false;  // the last byte was a CR

  // Counts the bytes, up to a Ctrl-Z, after which nothing counts.
  void take(const char* bytes, std::uint32_t count);
  // At the end of the template's data: a CR last is a lone CR.
  void finish();
};

// The calls of `base`, which must outlive the table, except that every
// successful read of the tap's handle also goes to the tap while it has a
// scan.
Os withLineEndTap(const Os& base, LineEndTap& tap);

}  // namespace quorbel
