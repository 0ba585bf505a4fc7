// What a run of quorbel in the current folder would do, found without
// writing anything: the templates are read through the same text files and
// the same template rules as the run, the input through the same byte files
// and limit (opened for reading only), "temp" and the folder are looked at
// without opening them, and every file is left as it was.
//
// previewRun (preview_scan.cc) gathers what the files hold; forecastRun
// (forecast.cc) decides from that what the run would do with each patch;
// the report (preview_report.h) words both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorbel {

struct Region {
  std::uint32_t startLine = 0;  // 0: carried over from the template before
  std::uint32_t endLine = 0;    // 0: still open at the end of the template
};

// One template as the run would read it.
struct TemplateScan {
  std::string name;
  // The message of the failure (or refusal) that keeps the preview, and so
  // the run, from reading it; empty when it reads.
  std::string whyUnreadable;
  // A pipe or a device: not read, as the run may wait forever on it.
  bool notAFile = false;
  std::uint64_t size = 0;
  std::uint32_t lines = 0;
  // The line ends the run reads, and line feeds that end no line.
  std::uint32_t crLfEnds = 0;
  std::uint32_t loneCrEnds = 0;
  std::uint32_t bareLineFeeds = 0;
  // Where a Ctrl-Z ends the data, if one does. Nothing after it is
  // counted, so it stands in the line after the line ends above.
  std::optional<std::uint64_t> ctrlZOffset;
  std::uint32_t ctrlZLine() const { return crLfEnds + loneCrEnds + 1; }
  std::vector<Region> regions;
  // The lines that take a value.
  std::uint32_t room = 0;
};

struct PreviewWarning {
  std::string file;
  std::uint32_t line = 0;  // 0: the file as a whole
  std::string text;
};

struct InputScan {
  std::string name;
  // The message of the failure that keeps the preview, and so the run,
  // from reading it; empty when it reads.
  std::string whyUnreadable;
  // The failure the run would meet on an input the preview can read: on
  // opening it (it asks to write it too), or on reading it (a pipe).
  std::string openFailure;
  std::string readFailure;
  std::uint64_t size = 0;
  std::string values;  // the sample values, halved bytes, at most 2048
  // Warned after the values are shown.
  std::vector<PreviewWarning> warnings;
};

// "temp" as the run would meet it.
struct ScratchScan {
  // The failure the run would meet making it, before writing any patch: a
  // refusal, or "temp" that cannot be created.
  std::string createFailure;
  // The failure the run would meet reading the values back, in patch 1.
  std::string readFailure;
};

struct Preview {
  std::vector<TemplateScan> templates;  // '1Template.pch' to '4Template.pch'
  // On the templates and on "temp", in the order found.
  std::vector<PreviewWarning> warnings;
  std::optional<InputScan> input;
  ScratchScan scratch;
};

// Reads the templates and, when named, the input file.
Preview previewRun(const std::optional<std::string>& inputName);

// What the run would do with one patch.
struct PatchPlan {
  enum class Outcome { Written, Fails, Waits, NotWritten } outcome;
  std::uint32_t firstValue = 0;  // counting from 1
  std::uint32_t valueCount = 0;
  std::string failure;  // for Fails
};

// Exit codes of quorbel-preview.
inline constexpr int kNothingWarned = 0;
inline constexpr int kWarned = 1;
// A file the run needs cannot be read, the run would fail or may wait
// forever, or the program was called wrongly.
inline constexpr int kCannotPreview = 2;

struct Forecast {
  // One per template. Without an input, for the longest input, so that
  // they tell which templates a run may need.
  std::vector<PatchPlan> patches;
  std::uint32_t patchesWritten = 0;
  std::uint32_t valuesUsed = 0;
  // The file and message of the first failure the run would meet, or the
  // first file it may wait on; empty when there is none.
  std::string failedFile;
  std::string failure;
  int exitCode = kNothingWarned;
};

Forecast forecastRun(const Preview& preview);

}  // namespace quorbel
