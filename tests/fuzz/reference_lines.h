// The line rules of text files in their plainest form, as a reference for
// the fuzz targets: Ctrl-Z ends the data; a line ends at a carriage return,
// and a line feed right after it belongs to that line end; any other line
// feed is an ordinary character, unless lineFeedEnds (standard input on a
// terminal that ends typed lines with a bare line feed).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorbel::fuzzing {

inline std::vector<std::string> referenceLines(std::string_view data,
                                               bool lineFeedEnds = false) {
  data = data.substr(0, data.find('\x1A'));
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < data.size()) {
    std::size_t end = data.find_first_of(lineFeedEnds ? "\r\n" : "\r", at);
    if (end == std::string_view::npos) end = data.size();
    lines.emplace_back(data.substr(at, end - at));
    if (end == data.size()) break;
    at = end + 1;
    if (data[end] == '\r' && at < data.size() && data[at] == '\n') ++at;
  }
  return lines;
}

}  // namespace quorbel::fuzzing
