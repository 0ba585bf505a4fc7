// The second phase of a run: the templates '1Template.pch' to
// '4Template.pch' are copied line by line into the patches '1<base>' to
// '4<base>', and every parameter line of a substitution region receives the
// next sample value from "temp".
//
// A region runs from a line "Type=91" to the next line "P16=15" (whole
// lines, ASCII letters compared without regard to case) and may run on
// across templates. A parameter line starts with a capital P. The phase
// ends after the patch at whose end the sample values are used up.
#pragma once

#include <string>
#include <string_view>

#include "app/sample_extractor.h"

namespace quorbel {

// Writes the patches. Refuses, before creating it, a patch file that would
// overwrite a template, "temp" or the input file.
void TemplateRewriter(const std::string& baseName,
                      const std::string& inputName);

// Patch numbers run from 1 to kPatchCount, one template each.
inline constexpr int kPatchCount = 4;

// The name of template n: '<n>Template.pch'.
std::string templateName(int number);

// True when the line equals the marker, ASCII letters compared without
// regard to case.
bool equalsMarker(std::string_view line, std::string_view marker);

// Replaces what follows the line's first "=" (at most 999 characters; the
// whole line when it holds no "=") and appends the value in decimal.
void setParameterValue(std::string& line, SampleValue value);

}  // namespace quorbel
