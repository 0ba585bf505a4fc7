#include "app/preview_report.h"

#include <algorithm>
#include <cstdio>

#include "app/names_and_limits.h"
#include "fileio/failure_report.h"

namespace quorbel {
namespace {

constexpr std::size_t kChartColumns = 72;
constexpr int kChartRows = 12;
// "127 |" and the like, before the chart's columns.
constexpr std::size_t kChartMargin = 5;

std::string counted(std::uint64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// A message as the failure report gives it.
std::string sentence(const std::string& message) {
  return needsFullStop(message) ? message + "." : message;
}

std::string withoutTrailingBlanks(std::string line) {
  line.erase(line.find_last_not_of(' ') + 1);
  return line;
}

// Every line of the report goes out through here.
void printLine(std::string& out, std::string_view line) {
  out += printable(line);
  out += '\n';
}

std::string lineEnds(const TemplateScan& scan) {
  std::string kind = scan.crLfEnds == 0
                         ? (scan.loneCrEnds == 0 ? "none" : "lone CR")
                         : (scan.loneCrEnds == 0 ? "CR LF" : "mixed");
  if (scan.bareLineFeeds == 0) return kind;
  return kind + ", and " + counted(scan.bareLineFeeds, "bare line feed") +
         (scan.bareLineFeeds == 1 ? " that ends" : " that end") + " no line";
}

void printTemplate(std::string& out, const TemplateScan& scan,
                   const TemplateScan* before, const TemplateScan* after) {
  if (scan.notAFile) {
    printLine(out, scan.name +
                       ": a pipe or a device, not read: the run may wait "
                       "forever on it");
    return;
  }
  if (!scan.failure.empty()) {
    printLine(out, scan.name + ": cannot be read: " + sentence(scan.failure));
    return;
  }
  printLine(out, scan.name + ": " + counted(scan.size, "byte") + ", " +
                     counted(scan.lines, "line") + ", line ends " +
                     lineEnds(scan));
  for (const Region& region : scan.regions) {
    std::string line = "  region ";
    line += region.startLine == 0
                ? "carried over from " + before->name
                : "from line " + std::to_string(region.startLine);
    if (region.endLine != 0) {
      line += " to line " + std::to_string(region.endLine);
    } else if (after != nullptr) {
      line += ", open at the end: it goes on into " + after->name;
    } else {
      line += ", still open at the end of the last template";
    }
    printLine(out, line);
  }
  if (scan.ctrlZOffset) {
    printLine(out, "  Ctrl-Z at byte " + std::to_string(*scan.ctrlZOffset + 1) +
                       " (line " + std::to_string(scan.ctrlZLine()) +
                       ") ends the data");
  }
  printLine(out, "  room for " + counted(scan.room, "value"));
}

void printPatch(std::string& out, std::size_t number, const PatchPlan& plan,
                const TemplateScan& scan) {
  std::string line = "Patch " + std::to_string(number) + ": ";
  switch (plan.outcome) {
    case PatchPlan::Outcome::Written:
      line += counted(plan.valueCount, "value");
      if (plan.valueCount > 0) {
        line += ", " + std::to_string(plan.firstValue) + " to " +
                std::to_string(plan.firstValue + plan.valueCount - 1);
      }
      break;
    case PatchPlan::Outcome::Fails:
      line += "the run would fail: " + sentence(plan.failure);
      break;
    case PatchPlan::Outcome::Waits:
      line += "the run may wait forever reading " + scan.name +
              ", a pipe or a device";
      break;
    case PatchPlan::Outcome::NotWritten:
      line += "not written";
      break;
  }
  printLine(out, line);
}

// The values in order, at most 72 columns by 12 rows: each column spans
// the lowest to the highest of its share of the values, and the patch
// numbers under it mark where each patch starts.
void printChart(std::string& out, const std::string& values,
                const std::vector<PatchPlan>& patches) {
  const std::size_t columns = std::min(kChartColumns, values.size());
  auto firstOf = [&](std::size_t column) {
    return column * values.size() / columns;
  };
  auto rowOf = [](char value) { return value * kChartRows / 128; };
  printLine(out, "Values 1 to " + std::to_string(values.size()) + ", up to " +
                     std::to_string((values.size() + columns - 1) / columns) +
                     " to a column; the numbers mark where each patch "
                     "starts:");
  for (int row = kChartRows - 1; row >= 0; --row) {
    std::string line = row == kChartRows - 1 ? "127 |"
                       : row == 0            ? "  0 |"
                                             : "    |";
    for (std::size_t column = 0; column < columns; ++column) {
      auto [low, high] =
          std::minmax_element(values.begin() + firstOf(column),
                              values.begin() + firstOf(column + 1));
      line += rowOf(*low) <= row && row <= rowOf(*high) ? '#' : ' ';
    }
    printLine(out, withoutTrailingBlanks(line));
  }
  printLine(out, "    +" + std::string(columns, '-'));
  printLine(out, patchMarks(values.size(), columns, patches));
}

void printWarning(std::string& out, const PreviewWarning& warning) {
  std::string line = "Warning: " + warning.file;
  if (warning.line != 0) {
    line += ':';
    line += std::to_string(warning.line);
  }
  printLine(out, line + ": " + warning.text);
}

}  // namespace

std::string printable(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (char c : text) {
    if (c >= ' ' && c <= '~') {
      shown += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X",
                    static_cast<unsigned char>(c));
      shown += escaped;
    }
  }
  return shown;
}

std::string patchMarks(std::size_t valueCount, std::size_t columns,
                       const std::vector<PatchPlan>& patches) {
  std::string marks(kChartMargin + columns, ' ');
  for (std::size_t number = 1; number <= patches.size(); ++number) {
    const PatchPlan& plan = patches[number - 1];
    if (plan.outcome != PatchPlan::Outcome::Written || plan.valueCount == 0) {
      continue;
    }
    // The last column whose first value is not after the patch's first.
    std::size_t column = 0;
    while ((column + 1) * valueCount / columns <= plan.firstValue - 1) {
      ++column;
    }
    std::size_t at = kChartMargin + column;
    while (at < marks.size() && marks[at] != ' ') ++at;
    if (at == marks.size()) marks += ' ';
    marks[at] = static_cast<char>('0' + number);
  }
  return withoutTrailingBlanks(marks);
}

std::string previewReport(const Preview& preview, const Forecast& forecast) {
  std::string out;
  const auto& templates = preview.templates;
  for (std::size_t i = 0; i < templates.size(); ++i) {
    printTemplate(out, templates[i], i == 0 ? nullptr : &templates[i - 1],
                  i + 1 < templates.size() ? &templates[i + 1] : nullptr);
  }
  for (const PreviewWarning& warning : preview.warnings) {
    printWarning(out, warning);
  }

  const InputScan* input = preview.input ? &*preview.input : nullptr;
  if (input != nullptr && !input->failure.empty()) {
    printLine(out, "Input " + input->name +
                       ": cannot be read: " + sentence(input->failure));
  } else if (input != nullptr) {
    std::string line = "Input " + input->name + ": ";
    if (!input->readFailure.empty()) {
      line += "a pipe, not read";
    } else {
      line += counted(input->size, "byte") + ", " +
              counted(input->values.size(), "value");
      if (input->size > input->values.size()) {
        line += " (a run reads only the first " + std::to_string(kSampleLimit) +
                " bytes)";
      }
    }
    printLine(out, line);
    for (std::size_t i = 0; i < forecast.patches.size(); ++i) {
      printPatch(out, i + 1, forecast.patches[i], templates[i]);
    }
    if (forecast.valuesUsed > 0) {
      printChart(out, input->values.substr(0, forecast.valuesUsed),
                 forecast.patches);
    }
    for (const PreviewWarning& warning : input->warnings) {
      printWarning(out, warning);
    }
  }

  if (input != nullptr) {
    const std::size_t values =
        input->failure.empty() ? input->values.size() : 0;
    printLine(out, "Summary: patches written " +
                       std::to_string(forecast.patchesWritten) +
                       ", values used " + std::to_string(forecast.valuesUsed) +
                       ", values unused " +
                       std::to_string(values - forecast.valuesUsed) + ".");
  } else {
    std::uint32_t room = 0;
    std::uint32_t readable = 0;
    for (const TemplateScan& scan : templates) {
      if (!scan.failure.empty() || scan.notAFile) continue;
      room += scan.room;
      ++readable;
    }
    printLine(out, "Summary: room for " + std::to_string(room) + " values in " +
                       std::to_string(readable) + " templates.");
  }
  return out;
}

std::string failureLine(const Forecast& forecast) {
  if (forecast.failure.empty()) return "";
  return printable("quorbel-preview: " + forecast.failedFile + ": " +
                   sentence(forecast.failure)) +
         "\n";
}

}  // namespace quorbel
