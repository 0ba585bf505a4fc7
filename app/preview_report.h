// The report of quorbel-preview: each template with its line ends, regions
// and room, the warnings, the input's values and where they land, a chart of
// them, and a summary line. It only prints what the preview found and
// forecast; every byte outside printable ASCII that a name or a template
// line brings is shown as \xHH.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/preview.h"

namespace quorbel {

// Writes the report to `out`, and the first failure the run would meet, if
// any, as one line to `errors`.
void printPreview(const Preview& preview, const Forecast& forecast,
                  std::ostream& out, std::ostream& errors);

// The text with each byte outside printable ASCII written as \xHH.
std::string printable(std::string_view text);

// The line under a chart of `valueCount` values in `columns` columns that
// numbers the patches where each starts; a number whose column is taken
// stands in the next free one.
std::string patchMarks(std::size_t valueCount, std::size_t columns,
                       const std::vector<PatchPlan>& patches);

}  // namespace quorbel
