// The numbers of the page's chart, taken from the preview's own reading and
// plan so that no rule of the run is written again in JavaScript. Called
// by the page in a fresh instance of quorbel-preview, in place of main.
#include <emscripten.h>

#include <cstdio>
#include <optional>
#include <string>

#include "app/names_and_limits.h"
#include "app/preview.h"

// Prints, one item a line:
//   room N             values a run takes from the longest input
//   values V1 V2 ...   the input's values that land in a patch
//   patch P FIRST COUNT  for each patch written, its first value (from 1)
// An empty `inputName` previews the templates alone: no values, no patches.
extern "C" EMSCRIPTEN_KEEPALIVE int quorbelChartData(const char* inputName) {
  using namespace quorbel;
  std::optional<std::string> input;
  if (inputName[0] != '\0') input = inputName;
  Preview preview = previewRun(input);

  std::uint32_t room = 0;
  for (const PatchPlan& plan : planPatches(preview, kSampleLimit)) {
    if (plan.outcome == PatchPlan::Outcome::Written) room += plan.valueCount;
  }
  std::printf("room %u\n", room);

  std::string values;
  if (preview.input && preview.input->failure.empty()) {
    values = preview.input->values;
  }
  auto plans = planPatches(preview, static_cast<std::uint32_t>(values.size()));
  std::uint32_t used = 0;
  for (const PatchPlan& plan : plans) {
    if (plan.outcome == PatchPlan::Outcome::Written) used += plan.valueCount;
  }
  std::printf("values");
  for (std::uint32_t i = 0; i < used; ++i) {
    std::printf(" %d", values[i]);
  }
  std::printf("\n");
  for (std::size_t i = 0; input && i < plans.size(); ++i) {
    if (plans[i].outcome != PatchPlan::Outcome::Written) continue;
    std::printf("patch %zu %u %u\n", i + 1, plans[i].firstValue,
                plans[i].valueCount);
  }
  std::fflush(stdout);
  return 0;
}
