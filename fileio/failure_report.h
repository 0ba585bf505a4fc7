// The failure report: the first failed operation, or memory running out,
// ends the run with a report on standard output and exit code 1.
//
//   Exception EInOutError in module quorbel at 0001A2B4.<LF>
//   File not found.<CR><LF>
//
// The place is the offset of the failed check from the start of the
// program's image.
#pragma once

#include <string_view>

#include "fileio/errors.h"

namespace quorbel {

// True when the report adds a full stop after the message: it is not empty
// and does not end with one already.
bool needsFullStop(std::string_view message);

// Writes the report for the error to standard output. A report that cannot
// be written is dropped: the run ends with exit code 1 all the same.
void reportFailure(const Exception& error, const void* place);

}  // namespace quorbel
