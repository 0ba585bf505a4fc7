// The first phase of a run: the input file, read as plain bytes, becomes
// the scratch file "temp" of sample values, one byte per value.
#pragma once

#include <string>
#include <vector>

#include "app/overwrite_guard.h"

namespace quorbel {

// Reads the input file byte by byte and writes each byte halved to "temp";
// a longer input is cut to kSampleLimit values with a notice on the console.
// Refuses, before "temp" is touched, a "temp" that reaches the input file or
// a template, or that is a link.
void extractSamples(const std::string& inputName,
                    const std::vector<ProtectedFile>& kept);

}  // namespace quorbel
