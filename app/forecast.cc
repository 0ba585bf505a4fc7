// forecastRun: what the run would do with each patch, and the first failure
// it would meet, from what the preview found.
#include <algorithm>
#include <string_view>

#include "app/names_and_limits.h"
#include "app/preview.h"

namespace quorbel {
namespace {

// A failure the run would meet: the file, and the message of its report.
struct RunFailure {
  std::string file;
  std::string message;
};

// The first failure the run meets before it writes any patch, in its
// order: opening the input, making "temp", reading the input. Empty when
// there is none.
RunFailure failureBeforeAnyPatch(const Preview& preview) {
  const InputScan* input = preview.input ? &*preview.input : nullptr;
  if (input != nullptr && !input->whyUnreadable.empty()) {
    return {input->name, input->whyUnreadable};
  }
  if (input != nullptr && !input->openFailure.empty()) {
    return {input->name, input->openFailure};
  }
  if (!preview.scratch.createFailure.empty()) {
    return {kScratchFileName, preview.scratch.createFailure};
  }
  if (input != nullptr && !input->readFailure.empty()) {
    return {input->name, input->readFailure};
  }
  return {};
}

// What the run does with one template, and the failure it meets there;
// none when it writes the patch.
struct PatchStep {
  PatchPlan plan;
  RunFailure failure;
};

// The step of a template that the run reaches with `valuesLeft` of its
// values, after `valuesUsed`. `readBackFailure`: the failure of reading
// "temp" back, which the first patch meets.
PatchStep planPatch(const TemplateScan& scan, std::string_view readBackFailure,
                    std::uint32_t valuesUsed, std::uint32_t valuesLeft) {
  using Outcome = PatchPlan::Outcome;
  if (!scan.whyUnreadable.empty()) {
    return {{Outcome::Fails, 0, 0, scan.whyUnreadable},
            {scan.name, scan.whyUnreadable}};
  }
  if (scan.notAFile) {
    return {{Outcome::Waits, 0, 0, ""},
            {scan.name,
             "a pipe or a device, which the run may wait forever to read"}};
  }
  if (!readBackFailure.empty()) {
    return {{Outcome::Fails, 0, 0, std::string(readBackFailure)},
            {kScratchFileName, std::string(readBackFailure)}};
  }
  std::uint32_t count = std::min(scan.room, valuesLeft);
  return {{Outcome::Written, valuesUsed + 1, count, ""}, {}};
}

}  // namespace

Forecast forecastRun(const Preview& preview) {
  using Outcome = PatchPlan::Outcome;
  Forecast forecast;
  const InputScan* input = preview.input ? &*preview.input : nullptr;
  // Without an input, the patches of the longest one.
  const std::uint32_t valueCount =
      input != nullptr ? static_cast<std::uint32_t>(input->values.size())
                       : kSampleLimit;
  const RunFailure before = failureBeforeAnyPatch(preview);
  forecast.failedFile = before.file;
  forecast.failure = before.message;

  // An input that cannot be read gives no values, let alone patches.
  bool ended = input != nullptr && !input->whyUnreadable.empty();
  for (const TemplateScan& scan : preview.templates) {
    const bool first = forecast.patches.empty();
    // Each patch after the first needs values left over from the ones
    // before.
    if (ended || (!first && forecast.valuesUsed == valueCount)) {
      forecast.patches.push_back({Outcome::NotWritten, 0, 0, ""});
      ended = true;
      continue;
    }
    PatchStep step;
    if (first && !before.message.empty()) {
      // It stands at patch 1, and is the forecast's failure already.
      step.plan = {Outcome::Fails, 0, 0, before.message};
    } else {
      std::string_view readBackFailure;
      if (first) readBackFailure = preview.scratch.readFailure;
      step = planPatch(scan, readBackFailure, forecast.valuesUsed,
                       valueCount - forecast.valuesUsed);
    }
    if (forecast.failure.empty()) {
      forecast.failedFile = step.failure.file;
      forecast.failure = step.failure.message;
    }
    if (step.plan.outcome == Outcome::Written) {
      forecast.valuesUsed += step.plan.valueCount;
      ++forecast.patchesWritten;
    }
    ended = step.plan.outcome != Outcome::Written;
    forecast.patches.push_back(step.plan);
  }

  bool warned = !preview.warnings.empty() ||
                (input != nullptr && !input->warnings.empty());
  forecast.exitCode = !forecast.failure.empty() ? kCannotPreview
                      : warned                  ? kWarned
                                                : kNothingWarned;
  return forecast;
}

}  // namespace quorbel
