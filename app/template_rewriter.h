// The second phase of a run: the templates '1Template.pch' to
// '4Template.pch' are copied line by line into the patches '1<base>' to
// '4<base>', and every parameter line of a substitution region receives the
// next sample value from "temp" (the rules are in template_rules.h). The
// phase ends after the patch at whose end the sample values are used up.
#pragma once

#include <string>
#include <vector>

#include "app/overwrite_guard.h"

namespace quorbel {

// Writes the patches. Refuses, before creating it, a patch file that would
// overwrite a template, "temp" or the input file, and a template that has
// become "temp".
void rewriteTemplates(const std::string& baseName,
                      const std::vector<ProtectedFile>& kept);

}  // namespace quorbel
