// The numbers of the page's chart, taken from the preview's own reading and
// forecast so that no rule of the run is written again in JavaScript.
// Called by the page in a fresh instance of quorbel-preview, in place of
// main.
#include <emscripten.h>

#include <cstdio>
#include <optional>
#include <string>

#include "app/preview.h"

// Prints, one item a line:
//   room N               values a run takes from the longest input
//   values V1 V2 ...     the input's values that land in a patch
//   patch P FIRST COUNT  for each patch that takes values, its first value
//                        (from 1) and their count
// An empty `inputName` previews the templates alone: no values, no patches.
extern "C" EMSCRIPTEN_KEEPALIVE int quorbelChartData(const char* inputName) {
  using namespace quorbel;
  std::optional<std::string> input;
  if (inputName[0] != '\0') input = inputName;
  const Preview preview = previewRun(input);

  Preview templatesAlone = preview;
  templatesAlone.input.reset();
  std::printf("room %u\n", forecastRun(templatesAlone).valuesUsed);

  const Forecast forecast = forecastRun(preview);
  std::printf("values");
  for (std::uint32_t i = 0; input && i < forecast.valuesUsed; ++i) {
    std::printf(" %d", preview.input->values[i]);
  }
  std::printf("\n");
  for (std::size_t i = 0; input && i < forecast.patches.size(); ++i) {
    const PatchPlan& plan = forecast.patches[i];
    if (plan.outcome != PatchPlan::Outcome::Written || plan.valueCount == 0) {
      continue;
    }
    std::printf("patch %zu %u %u\n", i + 1, plan.firstValue, plan.valueCount);
  }
  std::fflush(stdout);
  return 0;
}
