// The run's rules in their plainest form, as the reference that tests and
// fuzz targets compare the program with: how a text file splits into lines,
// and which patches the templates and the sample values make. Written apart
// from the program's own code, so that a fault there is not copied here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorbel::testing {

using Lines = std::vector<std::string>;

// Ctrl-Z ends the data; a line ends at a carriage return, and a line feed
// right after it belongs to that line end; any other line feed is an
// ordinary character, unless lineFeedEnds (standard input on a terminal
// that ends typed lines with a bare line feed).
inline Lines referenceLines(std::string_view data, bool lineFeedEnds = false) {
  data = data.substr(0, data.find('\x1A'));
  Lines lines;
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

// Each line followed by CR LF, as the program writes every line.
inline std::string crlf(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

inline bool isMarker(std::string_view line, std::string_view marker) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
  if (line.size() != marker.size()) return false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (lower(line[i]) != lower(marker[i])) return false;
  }
  return true;
}

// The patches, as lines, that the rules make of the templates' lines and
// the values: one region flag for all templates; a line starting with P
// inside a region takes the next value in place of what follows its first
// "=" (999 characters at most); no patch after the one during which the
// last value went, or after the first one when there are none.
inline std::vector<Lines> referencePatches(const std::vector<Lines>& templates,
                                           std::string_view values) {
  std::vector<Lines> patches;
  bool inRegion = false;
  std::size_t next = 0;
  for (const Lines& source : templates) {
    Lines patch;
    for (std::string line : source) {
      if (isMarker(line, "Type=91")) inRegion = true;
      if (isMarker(line, "P16=15")) inRegion = false;
      if (inRegion && !line.empty() && line[0] == 'P' && next < values.size()) {
        std::size_t equals = line.find('=');
        std::size_t keep = equals == std::string::npos ? 0 : equals + 1;
        std::string rest = line.substr(keep);
        line = line.substr(0, keep) +
               (rest.size() > 999 ? rest.substr(999) : "") +
               std::to_string(static_cast<unsigned char>(values[next++]));
      }
      patch.push_back(line);
    }
    patches.push_back(patch);
    if (next == values.size()) break;
  }
  return patches;
}

}  // namespace quorbel::testing
