// The templates as a run reads them, for the preview: each one's lines,
// line ends, regions and room, read through the same text files and
// template rules as the run, and the warnings they earn.
#pragma once

#include <vector>

#include "app/preview.h"

namespace quorbel {

// Reads '1Template.pch' to '4Template.pch' in order, the region state
// carried from one to the next as in the run, through the OS table in
// force, which must write nothing. Appends their warnings to `warnings`,
// the warning on a region that none of them closes last.
std::vector<TemplateScan> scanTemplates(std::vector<PreviewWarning>& warnings);

}  // namespace quorbel
