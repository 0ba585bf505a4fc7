// The chart of the preview's report: the values that land in patches, in
// order, at most 72 columns by 12 rows, each column spanning the lowest to
// the highest of its share of the values, and under it the patch numbers
// where each patch starts.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/preview.h"

namespace quorbel {

// The chart's lines, its heading first, without line ends. `values` are
// those that land in patches; there is at least one.
std::vector<std::string> chartLines(const std::string& values,
                                    const std::vector<PatchPlan>& patches);

// The line under a chart of `valueCount` values in `columns` columns that
// numbers the patches where each starts; a number whose column is taken
// stands in the next free one.
std::string patchMarks(std::size_t valueCount, std::size_t columns,
                       const std::vector<PatchPlan>& patches);

}  // namespace quorbel
