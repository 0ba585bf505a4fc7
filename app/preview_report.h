// The report of quorbel-preview: each template with its line ends, regions
// and room, the warnings, the input's values and where they land, a chart of
// them, and a summary line.
#pragma once

#include <ostream>

#include "app/preview.h"

namespace quorbel {

// Exit codes of quorbel-preview.
inline constexpr int kNothingWarned = 0;
inline constexpr int kWarned = 1;
// A file the run needs cannot be read, or the program was called wrongly.
inline constexpr int kCannotPreview = 2;

// Writes the report to `out` and returns the exit code; a file the run
// needs that cannot be read is also named on `errors`.
int printPreview(const Preview& preview, std::ostream& out,
                 std::ostream& errors);

}  // namespace quorbel
