#include "app/preview_report.h"

#include <algorithm>
#include <string>

#include "app/names_and_limits.h"
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

std::string lineEnds(const TemplateScan& scan) {
  std::string kind = scan.crLfEnds == 0
                         ? (scan.loneCrEnds == 0 ? "none" : "lone CR")
                         : (scan.loneCrEnds == 0 ? "CR LF" : "mixed");
  if (scan.bareLineFeeds == 0) return kind;
  return kind + ", and " + counted(scan.bareLineFeeds, "bare line feed") +
         " that end no line";
}

void printTemplate(std::ostream& out, const TemplateScan& scan,
                   const std::string& before, const std::string& after) {
  if (!scan.failure.empty()) {
    out << scan.name << ": cannot be read: " << sentence(scan.failure) << '\n';
    return;
  }
  out << scan.name << ": " << counted(scan.size, "byte") << ", "
      << counted(scan.lines, "line") << ", line ends " << lineEnds(scan)
      << '\n';
  for (const Region& region : scan.regions) {
    out << "  region "
        << (region.startLine == 0
                ? "carried over from " + before
                : "from line " + std::to_string(region.startLine));
    if (region.endLine != 0) {
      out << " to line " << region.endLine << '\n';
    } else {
      out << ", open at the end: it goes on into " << after << '\n';
    }
  }
  if (scan.ctrlZOffset) {
    out << "  Ctrl-Z at byte " << *scan.ctrlZOffset + 1 << " (line "
        << scan.ctrlZLine() << ") ends the data\n";
  }
  out << "  room for " << counted(scan.room, "value") << '\n';
}

void printPatch(std::ostream& out, int number, const PatchPlan& plan) {
  out << "Patch " << number << ": ";
  switch (plan.outcome) {
    case PatchPlan::Outcome::Written:
      out << counted(plan.valueCount, "value");
      if (plan.valueCount > 0) {
        out << ", " << plan.firstValue << " to "
            << plan.firstValue + plan.valueCount - 1;
      }
      break;
    case PatchPlan::Outcome::Fails:
      out << "the run would fail: " << sentence(plan.failure);
      break;
    case PatchPlan::Outcome::NotWritten:
      out << "not written";
      break;
  }
  out << '\n';
}

// The values in order, at most 72 columns by 12 rows: each column spans
// the lowest to the highest of its share of the values, and the patch
// numbers under it mark where each patch starts.
void printChart(std::ostream& out, const std::string& values,
                const std::vector<PatchPlan>& plans) {
  constexpr std::size_t kColumns = 72;
  constexpr int kRows = 12;
  const std::size_t columns = std::min(kColumns, values.size());
  auto firstOf = [&](std::size_t column) {
    return column * values.size() / columns;
  };
  auto rowOf = [](char value) { return value * kRows / 128; };
  out << "Values 1 to " << values.size() << ", up to "
      << (values.size() + columns - 1) / columns
      << " to a column; the numbers mark where each patch starts:\n";
  for (int row = kRows - 1; row >= 0; --row) {
    std::string line = row == kRows - 1 ? "127 |"
                       : row == 0       ? "  0 |"
                                        : "    |";
    for (std::size_t column = 0; column < columns; ++column) {
      auto [low, high] =
          std::minmax_element(values.begin() + firstOf(column),
                              values.begin() + firstOf(column + 1));
      line += rowOf(*low) <= row && row <= rowOf(*high) ? '#' : ' ';
    }
    out << line.substr(0, line.find_last_not_of(' ') + 1) << '\n';
  }
  out << "    +" << std::string(columns, '-') << '\n';
  std::string marks(5 + columns, ' ');
  for (std::size_t number = 1; number <= plans.size(); ++number) {
    const PatchPlan& plan = plans[number - 1];
    if (plan.outcome != PatchPlan::Outcome::Written || plan.valueCount == 0) {
      continue;
    }
    std::size_t column = 0;
    while (firstOf(column + 1) <= plan.firstValue - 1) ++column;
    marks[5 + column] = static_cast<char>('0' + number);
  }
  out << marks.substr(0, marks.find_last_not_of(' ') + 1) << '\n';
}

void printWarning(std::ostream& out, const PreviewWarning& warning) {
  out << "Warning: " << warning.file;
  if (warning.line != 0) out << ':' << warning.line;
  out << ": " << warning.text << '\n';
}

}  // namespace

int printPreview(const Preview& preview, std::ostream& out,
                 std::ostream& errors) {
  const auto& templates = preview.templates;
  for (std::size_t i = 0; i < templates.size(); ++i) {
    std::string before = i == 0 ? "" : templates[i - 1].name;
    std::string after = i + 1 < templates.size()
                            ? templates[i + 1].name
                            : "the end of the last template";
    printTemplate(out, templates[i], before, after);
  }
  for (const PreviewWarning& warning : preview.warnings) {
    printWarning(out, warning);
  }
  bool warned = !preview.warnings.empty();
  if (!preview.scratchRefusal.empty()) {
    printWarning(out, {kScratchFileName, 0,
                       "the run would fail before writing any patch: " +
                           sentence(preview.scratchRefusal)});
    warned = true;
  }

  const InputScan* input = preview.input ? &*preview.input : nullptr;
  std::string failedFile;
  std::string failure;
  if (input != nullptr && !input->failure.empty()) {
    out << "Input " << input->name
        << ": cannot be read: " << sentence(input->failure) << '\n';
    failedFile = input->name;
    failure = input->failure;
  }
  const std::string values =
      input != nullptr && input->failure.empty() ? input->values : "";
  // Without an input, the patches of the longest one tell which templates
  // a run may need.
  std::vector<PatchPlan> plans = planPatches(
      preview, input != nullptr ? static_cast<std::uint32_t>(values.size())
                                : kSampleLimit);
  for (std::size_t i = 0; i < plans.size() && failure.empty(); ++i) {
    if (plans[i].outcome == PatchPlan::Outcome::Fails) {
      failedFile = templates[i].name;
      failure = plans[i].failure;
    }
  }

  std::uint32_t patches = 0;
  std::uint32_t used = 0;
  if (input != nullptr && input->failure.empty()) {
    out << "Input " << input->name << ": " << counted(input->size, "byte")
        << ", " << counted(values.size(), "value");
    if (input->size > values.size()) {
      out << " (a run reads only the first " << kSampleLimit << " bytes)";
    }
    out << '\n';
    for (std::size_t i = 0; i < plans.size(); ++i) {
      printPatch(out, static_cast<int>(i + 1), plans[i]);
      if (plans[i].outcome != PatchPlan::Outcome::Written) continue;
      ++patches;
      used += plans[i].valueCount;
    }
    if (used > 0) printChart(out, values.substr(0, used), plans);
    // A recording's silence is no single value: it wavers a little.
    std::uint32_t flat = flatStart(values);
    if (flat >= 64) {
      printWarning(out, {input->name, 0,
                         "the first " + std::to_string(flat) +
                             " values lie within 2 of the first one, " +
                             std::to_string(values[0]) +
                             ": most likely silence at the start of a "
                             "recording, which makes a flat line"});
      warned = true;
    }
  }

  if (input != nullptr) {
    out << "Summary: patches written " << patches << ", values used " << used
        << ", values unused " << values.size() - used << ".\n";
  } else {
    std::uint32_t room = 0;
    std::uint32_t readable = 0;
    for (const TemplateScan& scan : templates) {
      if (!scan.failure.empty()) continue;
      room += scan.room;
      ++readable;
    }
    out << "Summary: room for " << room << " values in " << readable
        << " templates.\n";
  }
  if (!failure.empty()) {
    errors << "quorbel-preview: " << failedFile << ": " << sentence(failure)
           << '\n';
    return kCannotPreview;
  }
  return warned ? kWarned : kNothingWarned;
}

}  // namespace quorbel
