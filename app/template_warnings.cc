#include "app/template_warnings.h"

#include <algorithm>

#include "app/template_rules.h"

namespace quorbel {
namespace {

// One line's warnings, each made with the file and the line it stands at.
struct LineWarnings {
  std::vector<PreviewWarning>& warnings;
  const TemplateScan& scan;
  std::string_view line;

  void add(std::string text) {
    warnings.push_back({scan.name, scan.lines, std::move(text)});
  }
};

// The start of a line, for a warning; the report makes it printable.
std::string quoted(std::string_view line) {
  constexpr std::size_t kShown = 40;
  std::string shown = "\"";
  shown += line.substr(0, kShown);
  shown += line.size() <= kShown ? "\"" : "...\"";
  return shown;
}

bool isParameterKey(std::string_view key) {
  return key.size() > 1 && key[0] == 'P' &&
         std::all_of(key.begin() + 1, key.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// Whether the line equals the marker once its blanks and tabs are left
// out. Compares in place: a template line may be very long.
bool equalsMarkerWithoutBlanks(std::string_view line, std::string_view marker) {
  std::size_t matched = 0;
  for (char c : line) {
    if (c == ' ' || c == '\t') continue;
    if (matched == marker.size() ||
        !equalsMarker({&c, 1}, marker.substr(matched, 1))) {
      return false;
    }
    ++matched;
  }
  return matched == marker.size();
}

// A line with a blank or a tab is no marker, but may look like one.
void warnMarkerLookalike(LineWarnings& at) {
  if (at.line.find_first_of(" \t") == std::string_view::npos) return;
  for (std::string_view marker : {kRegionStart, kRegionEnd}) {
    if (!equalsMarkerWithoutBlanks(at.line, marker)) continue;
    at.add(quoted(at.line) + " is no marker: only \"" + std::string(marker) +
           "\" itself, without blanks or tabs, " +
           (marker == kRegionStart ? "starts" : "ends") + " a region");
  }
}

// Inside a region, the parameter lines after a bare line feed are part of
// the line before, and take no value of their own.
void warnHiddenParameters(LineWarnings& at) {
  constexpr std::size_t kKeyShown = 20;
  std::string keys;
  for (std::size_t feed = at.line.find('\n'); feed != std::string_view::npos;
       feed = at.line.find('\n', feed + 1)) {
    std::string_view rest = at.line.substr(feed + 1);
    if (!isParameterLine(rest)) continue;
    std::string_view key = rest.substr(0, rest.find_first_of("=\n"));
    keys += (keys.empty() ? "" : ", ") + std::string(key.substr(0, kKeyShown));
  }
  if (keys.empty()) return;
  at.add(quoted(at.line) +
         " is one line to the run, as its line feeds end no line: " + keys +
         " take no value of their own");
}

// A line without "=" that takes a value loses all of it, or its start.
void warnValueWithoutEquals(LineWarnings& at) {
  std::string replaced = "the whole line";
  if (at.line.size() > kMaxValueTextReplaced) {
    replaced = "its first " + std::to_string(kMaxValueTextReplaced) +
               " characters, and the run keeps the other " +
               std::to_string(at.line.size() - kMaxValueTextReplaced) +
               " in front of the value";
  }
  at.add(quoted(at.line) + " takes a value, which replaces " + replaced +
         ": it starts with P inside a region and has no \"=\"");
}

void warnKeyThatIsNoParameter(LineWarnings& at, std::size_t equals) {
  if (isParameterKey(at.line.substr(0, equals))) return;
  at.add(quoted(at.line) +
         " takes a value: inside a region every line that starts with P "
         "does");
}

void warnLongValueText(LineWarnings& at) {
  std::size_t valueText = at.line.size() - valueStart(at.line);
  if (valueText <= kMaxValueTextReplaced) return;
  at.add("the value text has " + std::to_string(valueText) +
         " characters: a value replaces only the first " +
         std::to_string(kMaxValueTextReplaced) +
         ", and the run keeps the other " +
         std::to_string(valueText - kMaxValueTextReplaced));
}

}  // namespace

void appendLineWarnings(std::vector<PreviewWarning>& warnings,
                        const TemplateScan& scan, std::string_view line,
                        bool inRegion, bool takesValue) {
  LineWarnings at{warnings, scan, line};
  warnMarkerLookalike(at);
  if (inRegion) warnHiddenParameters(at);
  if (!takesValue) return;
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    warnValueWithoutEquals(at);
    return;
  }
  warnKeyThatIsNoParameter(at, equals);
  warnLongValueText(at);
}

void appendFileWarnings(std::vector<PreviewWarning>& warnings,
                        const TemplateScan& scan) {
  if (scan.bareLineFeeds > 0 && scan.crLfEnds + scan.loneCrEnds == 0) {
    warnings.push_back({scan.name, 1,
                        "line feeds but no carriage return: the run reads "
                        "the whole file as one line"});
  }
  if (scan.ctrlZOffset && scan.size > *scan.ctrlZOffset + 1) {
    warnings.push_back({scan.name, scan.ctrlZLine(),
                        "the Ctrl-Z at byte " +
                            std::to_string(*scan.ctrlZOffset + 1) +
                            " ends the template: the " +
                            std::to_string(scan.size - *scan.ctrlZOffset - 1) +
                            " bytes after it are never read"});
  }
}

PreviewWarning regionStillOpen(const std::string& file, std::uint32_t line) {
  return {file, line,
          "the region that starts here is still open at the end of the last "
          "template"};
}

}  // namespace quorbel
