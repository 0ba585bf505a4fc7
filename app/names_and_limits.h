// The fixed names of the files a run uses, and its limits.
#pragma once

#include <cstdint>
#include <string>

namespace quorbel {

// An input byte halved: 0..127.
using SampleValue = std::uint8_t;

// At most this many values are taken from the input.
inline constexpr std::uint32_t kSampleLimit = 2048;

// The scratch file of sample values, one byte per value.
inline constexpr char kScratchFileName[] = "temp";

// Patch numbers run from 1 to kPatchCount, one template each.
inline constexpr int kPatchCount = 4;

// The name of template n: '<n>Template.pch'.
inline std::string templateName(int number) {
  return std::to_string(number) + "Template.pch";
}

}  // namespace quorbel
