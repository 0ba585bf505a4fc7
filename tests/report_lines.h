// The preview's report as the tests read it: its lines, and a count worded
// as the report words one. Written apart from the program's own code, so
// that a fault there is not copied here.
#pragma once

#include <cstddef>
#include <string>

#include "tests/reference_rules.h"

namespace quorbel::testing {

// The report's lines, without their line feeds.
inline Lines reportLines(const std::string& report) {
  Lines lines;
  std::size_t at = 0;
  while (at < report.size()) {
    std::size_t end = report.find('\n', at);
    if (end == std::string::npos) end = report.size();
    lines.push_back(report.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

// "1 value", "2 values": the noun in the plural unless the count is one.
inline std::string counted(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace quorbel::testing
