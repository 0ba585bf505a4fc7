#include "app/template_rules.h"

#include <algorithm>

namespace quorbel {
bool equalsMarker(std::string_view line, std::string_view marker) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
  return std::equal(line.begin(), line.end(), marker.begin(), marker.end(),
                    [&](char a, char b) { return upper(a) == upper(b); });
}

bool isParameterLine(std::string_view line) {
  return !line.empty() && line.front() == 'P';
}

bool takesValue(RegionState& state, std::string_view line) {
  if (equalsMarker(line, kRegionStart)) state.inRegion = true;
  if (equalsMarker(line, kRegionEnd)) state.inRegion = false;
  return state.inRegion && isParameterLine(line);
}

std::size_t valueStart(std::string_view line) {
  std::size_t equals = line.find('=');
  return equals == std::string_view::npos ? 0 : equals + 1;
}

void setParameterValue(std::string& line, SampleValue value) {
  line.erase(valueStart(line), kMaxValueTextReplaced);
  line += std::to_string(value);
}

}  // namespace quorbel
