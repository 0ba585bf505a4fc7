#include "app/preview_report.h"

#include <cstdio>

#include "app/names_and_limits.h"
#include "app/preview_chart.h"
#include "fileio/failure_report.h"

namespace quorbel {
namespace {

std::string counted(std::uint64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// A message as the failure report gives it.
std::string sentence(const std::string& message) {
  return needsFullStop(message) ? message + "." : message;
}

// Every line of the report goes out through here.
void appendLine(std::string& out, std::string_view line) {
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

void appendTemplate(std::string& out, const TemplateScan& scan,
                    const TemplateScan* before, const TemplateScan* after) {
  if (scan.notAFile) {
    appendLine(out, scan.name +
                        ": a pipe or a device, not read: the run may wait "
                        "forever on it");
    return;
  }
  if (!scan.whyUnreadable.empty()) {
    appendLine(out,
               scan.name + ": cannot be read: " + sentence(scan.whyUnreadable));
    return;
  }
  appendLine(out, scan.name + ": " + counted(scan.size, "byte") + ", " +
                      counted(scan.lines, "line") + ", line ends " +
                      lineEnds(scan));
  for (const Region& region : scan.regions) {
    std::string line = "  region ";
    if (region.startLine == 0) {
      line += "carried over from " + before->name;
    } else {
      line += "from line " + std::to_string(region.startLine);
    }
    if (region.endLine != 0) {
      line += " to line " + std::to_string(region.endLine);
    } else if (after != nullptr) {
      line += ", open at the end: it goes on into " + after->name;
    } else {
      line += ", still open at the end of the last template";
    }
    appendLine(out, line);
  }
  if (scan.ctrlZOffset) {
    appendLine(out, "  Ctrl-Z at byte " +
                        std::to_string(*scan.ctrlZOffset + 1) + " (line " +
                        std::to_string(scan.ctrlZLine()) + ") ends the data");
  }
  appendLine(out, "  room for " + counted(scan.room, "value"));
}

void appendPatch(std::string& out, std::size_t number, const PatchPlan& plan,
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
  appendLine(out, line);
}

void appendWarning(std::string& out, const PreviewWarning& warning) {
  std::string line = "Warning: " + warning.file;
  if (warning.line != 0) {
    line += ':';
    line += std::to_string(warning.line);
  }
  appendLine(out, line + ": " + warning.text);
}

// The input, the patches, the chart and the input's warnings.
void appendInput(std::string& out, const InputScan& input,
                 const Forecast& forecast,
                 const std::vector<TemplateScan>& templates) {
  if (!input.whyUnreadable.empty()) {
    appendLine(out, "Input " + input.name +
                        ": cannot be read: " + sentence(input.whyUnreadable));
    return;
  }
  std::string line = "Input " + input.name + ": ";
  if (!input.readFailure.empty()) {
    line += "a pipe, not read";
  } else {
    line += counted(input.size, "byte") + ", " +
            counted(input.values.size(), "value");
    if (input.size > input.values.size()) {
      line += " (a run reads only the first " + std::to_string(kSampleLimit) +
              " bytes)";
    }
  }
  appendLine(out, line);
  for (std::size_t i = 0; i < forecast.patches.size(); ++i) {
    appendPatch(out, i + 1, forecast.patches[i], templates[i]);
  }
  if (forecast.valuesUsed > 0) {
    for (const std::string& chartLine : chartLines(
             input.values.substr(0, forecast.valuesUsed), forecast.patches)) {
      appendLine(out, chartLine);
    }
  }
  for (const PreviewWarning& warning : input.warnings) {
    appendWarning(out, warning);
  }
}

void appendSummary(std::string& out, const Preview& preview,
                   const Forecast& forecast) {
  if (preview.input) {
    const InputScan& input = *preview.input;
    const std::size_t values =
        input.whyUnreadable.empty() ? input.values.size() : 0;
    appendLine(out, "Summary: patches written " +
                        std::to_string(forecast.patchesWritten) +
                        ", values used " + std::to_string(forecast.valuesUsed) +
                        ", values unused " +
                        std::to_string(values - forecast.valuesUsed) + ".");
    return;
  }
  std::uint32_t room = 0;
  std::uint32_t readable = 0;
  for (const TemplateScan& scan : preview.templates) {
    if (!scan.whyUnreadable.empty() || scan.notAFile) continue;
    room += scan.room;
    ++readable;
  }
  appendLine(out, "Summary: room for " + counted(room, "value") + " in " +
                      counted(readable, "template") + ".");
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

std::string previewReport(const Preview& preview, const Forecast& forecast) {
  std::string out;
  const auto& templates = preview.templates;
  for (std::size_t i = 0; i < templates.size(); ++i) {
    appendTemplate(out, templates[i], i == 0 ? nullptr : &templates[i - 1],
                   i + 1 < templates.size() ? &templates[i + 1] : nullptr);
  }
  for (const PreviewWarning& warning : preview.warnings) {
    appendWarning(out, warning);
  }
  if (preview.input) appendInput(out, *preview.input, forecast, templates);
  appendSummary(out, preview, forecast);
  return out;
}

std::string failureLine(const Forecast& forecast) {
  if (forecast.failure.empty()) return "";
  return printable("quorbel-preview: " + forecast.failedFile + ": " +
                   sentence(forecast.failure)) +
         "\n";
}

}  // namespace quorbel
