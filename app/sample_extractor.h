// The first phase of a run: the input file, read as plain bytes, becomes
// the scratch file "temp" of sample values, one byte per value.
#pragma once

#include <cstdint>
#include <string>

namespace quorbel {

// An input byte halved: 0..127.
using SampleValue = std::uint8_t;

// At most this many values are taken from the input.
inline constexpr std::uint32_t kSampleLimit = 2048;

// Reads the input file byte by byte and writes each byte halved to "temp";
// a longer input is cut to kSampleLimit values with a notice on the console.
// Refuses, before "temp" is touched, an input file that is "temp" itself and
// a "temp" that reaches a template.
void SampleExtractor(const std::string& inputName);

}  // namespace quorbel
