// The rules by which the lines of the templates take sample values, shared
// by the run and the preview. A substitution region runs from a line
// "Type=91" to the next line "P16=15" and may run on into the next
// template; inside it, a parameter line (one that starts with a capital P)
// takes the next value in place of what follows its first "=".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/names_and_limits.h"

namespace quorbel {

inline constexpr std::string_view kRegionStart = "Type=91";
inline constexpr std::string_view kRegionEnd = "P16=15";
// A value replaces at most this many characters of the old value text.
inline constexpr std::size_t kMaxValueTextReplaced = 999;

// Off at the start of a run, and kept from one template to the next.
struct RegionState {
  bool inRegion = false;
};

// Whole lines, ASCII letters compared without regard to case.
bool equalsMarker(std::string_view line, std::string_view marker);

bool isParameterLine(std::string_view line);

// Follows the line's markers; true when the line then takes a value: a
// parameter line inside a region (so never the line that ends one).
bool takesValue(RegionState& state, std::string_view line);

// Just after the first "=", or the start of a line without one.
std::size_t valueStart(std::string_view line);

void setParameterValue(std::string& line, SampleValue value);

}  // namespace quorbel
