// The page's preview: quorbel-preview's report for an input, and the numbers
// of the page's chart, taken from the same reading and forecast so that no
// rule of the run is written again in JavaScript, and made in one instance
// of the program, as the page makes a preview at every move of a handle.
// Called by the page in place of main, again and again in one instance of
// quorbel-preview: what it runs keeps nothing from one call to the next but
// the files a failed read leaves open, which the page closes.
#include <emscripten.h>

#include <cstdio>
#include <optional>
#include <string>

#include "app/preview.h"
#include "app/preview_report.h"

namespace {

using namespace quorbel;

// The chart's numbers, one item a line:
//   room N               values a run takes from the longest input
//   rooms R1 R2 ...      of those, each template's, in order (0 for a
//                        template that takes none)
//   values V1 V2 ...     the input's values that land in a patch
//   patch P FIRST COUNT  for each patch that takes values, its first value
//                        (from 1) and their count
//   exit N               the exit code of quorbel-preview for the same files
std::string chartData(const Preview& preview, const Forecast& forecast) {
  Preview templatesAlone = preview;
  templatesAlone.input.reset();
  const Forecast longest = forecastRun(templatesAlone);
  std::string data = "room " + std::to_string(longest.valuesUsed) + "\n";
  data += "rooms";
  for (const PatchPlan& plan : longest.patches) {
    const bool takes = plan.outcome == PatchPlan::Outcome::Written;
    data += " " + std::to_string(takes ? plan.valueCount : 0);
  }
  data += "\n";
  data += "values";
  for (std::uint32_t i = 0; preview.input && i < forecast.valuesUsed; ++i) {
    data += " " + std::to_string(static_cast<int>(preview.input->values[i]));
  }
  data += "\n";
  for (std::size_t i = 0; preview.input && i < forecast.patches.size(); ++i) {
    const PatchPlan& plan = forecast.patches[i];
    if (plan.outcome != PatchPlan::Outcome::Written || plan.valueCount == 0) {
      continue;
    }
    data += "patch " + std::to_string(i + 1) + " " +
            std::to_string(plan.firstValue) + " " +
            std::to_string(plan.valueCount) + "\n";
  }
  data += "exit " + std::to_string(forecast.exitCode) + "\n";
  return data;
}

}  // namespace

// Prints what `quorbel-preview INPUT` prints, the report on standard output
// and the failure line on standard error, and returns the chart's numbers
// (above). The page names the input as the program takes it (never empty,
// never an option); an empty `inputName` previews the templates alone.
extern "C" EMSCRIPTEN_KEEPALIVE const char* quorbelPreviewWithChart(
    const char* inputName) {
  std::optional<std::string> input;
  if (inputName[0] != '\0') input = inputName;
  const Preview preview = previewRun(input);
  const Forecast forecast = forecastRun(preview);
  const std::string report = previewReport(preview, forecast);
  const std::string failure = failureLine(forecast);
  std::fwrite(report.data(), 1, report.size(), stdout);
  std::fwrite(failure.data(), 1, failure.size(), stderr);
  std::fflush(stdout);
  std::fflush(stderr);
  // Kept until the page has read it, before its next call.
  static std::string data;
  data = chartData(preview, forecast);
  return data.c_str();
}
