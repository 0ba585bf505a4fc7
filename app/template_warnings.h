// The warnings on templates: what in a template's lines or bytes would make
// the run do what its author may not expect. Each warning is worded whole
// here; the scan of the templates only says where it stands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/preview.h"

namespace quorbel {

// Appends the warnings that the line just read (line `scan.lines` of the
// template) earns. `inRegion` is the region state after the line,
// `takesValue` whether the line takes a value.
void appendLineWarnings(std::vector<PreviewWarning>& warnings,
                        const TemplateScan& scan, std::string_view line,
                        bool inRegion, bool takesValue);

// Appends the warnings on the template as a whole, once it has been read.
void appendFileWarnings(std::vector<PreviewWarning>& warnings,
                        const TemplateScan& scan);

// The warning on a region that starts at this line and is still open at
// the end of the last template.
PreviewWarning regionStillOpen(const std::string& file, std::uint32_t line);

}  // namespace quorbel
