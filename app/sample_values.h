// How an input file becomes sample values, for the run that stores them in
// "temp" and for the preview that only counts them: each byte halved, in
// the order of the file, at most kSampleLimit of them.
#pragma once

#include <functional>

#include "app/names_and_limits.h"
#include "fileio/checked_file.h"

namespace quorbel {

// Reads the open byte file one byte at a time and gives each byte halved to
// `take`. True when the input holds more than kSampleLimit bytes; the rest
// is not read.
bool readSampleValues(CheckedFile& input,
                      const std::function<void(SampleValue)>& take);

}  // namespace quorbel
