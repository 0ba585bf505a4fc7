// What a run of quorbel in the current folder would do, found without
// writing anything: the templates are read through the same text files and
// the same template rules as the run, the input through the same byte files
// and limit, and every file is left as it was.
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
  // The message of the failure a run would report on it; empty when it
  // reads.
  std::string failure;
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
  std::string failure;  // as for a template
  std::uint64_t size = 0;
  std::string values;  // the sample values, halved bytes, at most 2048
};

struct Preview {
  std::vector<TemplateScan> templates;  // '1Template.pch' to '4Template.pch'
  std::vector<PreviewWarning> warnings;
  std::optional<InputScan> input;
  // A refusal that ends the run before any patch, such as a "temp" that
  // reaches a template; empty when there is none.
  std::string scratchRefusal;
};

// Reads the templates and, when named, the input file.
Preview previewRun(const std::optional<std::string>& inputName);

// What the run would do with one patch.
struct PatchPlan {
  enum class Outcome { Written, Fails, NotWritten } outcome;
  std::uint32_t firstValue = 0;  // counting from 1
  std::uint32_t valueCount = 0;
  std::string failure;  // for Fails
};

// The four patches of a run with `valueCount` values.
std::vector<PatchPlan> planPatches(const Preview& preview,
                                   std::uint32_t valueCount);

// The number of values at the start of `values` that lie within 2 of the
// first one.
std::uint32_t flatStart(const std::string& values);

}  // namespace quorbel
