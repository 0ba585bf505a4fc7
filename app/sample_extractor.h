// The first phase of a run: the input file, read as plain bytes, becomes
// the scratch file "temp" of sample values, one byte per value.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/names_and_limits.h"
#include "app/overwrite_guard.h"
#include "fileio/checked_file.h"

namespace quorbel {

// Reads the input file byte by byte and writes each byte halved to "temp";
// a longer input is cut to kSampleLimit values with a notice on the console.
// Refuses, before "temp" is touched, a "temp" that reaches the input file or
// a template.
void extractSamples(const std::string& inputName,
                    const std::vector<ProtectedFile>& kept);

// Reads the open byte file one byte at a time and gives each byte halved to
// `take`, at most kSampleLimit of them. True when the input holds more bytes
// than that; the rest is not read.
bool readSampleValues(CheckedFile& input,
                      const std::function<void(SampleValue)>& take);

}  // namespace quorbel
