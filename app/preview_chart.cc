#include "app/preview_chart.h"

#include <algorithm>

namespace quorbel {
namespace {

constexpr std::size_t kChartColumns = 72;
constexpr int kChartRows = 12;
// "127 |" and the like, before the chart's columns.
constexpr std::size_t kChartMargin = 5;

std::string withoutTrailingBlanks(std::string line) {
  line.erase(line.find_last_not_of(' ') + 1);
  return line;
}

}  // namespace

std::vector<std::string> chartLines(const std::string& values,
                                    const std::vector<PatchPlan>& patches) {
  const std::size_t columns = std::min(kChartColumns, values.size());
  auto firstOf = [&](std::size_t column) {
    return column * values.size() / columns;
  };
  auto rowOf = [](char value) { return value * kChartRows / 128; };
  std::vector<std::string> lines;
  lines.push_back("Values 1 to " + std::to_string(values.size()) + ", up to " +
                  std::to_string((values.size() + columns - 1) / columns) +
                  " to a column; the numbers mark where each patch starts:");
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
    lines.push_back(withoutTrailingBlanks(line));
  }
  lines.push_back("    +" + std::string(columns, '-'));
  lines.push_back(patchMarks(values.size(), columns, patches));
  return lines;
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

}  // namespace quorbel
