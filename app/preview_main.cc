// quorbel-preview [INPUT]: shows what a run of quorbel in the current folder
// would do, and writes nothing.
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "app/preview.h"
#include "app/preview_report.h"
#include "fileio/os.h"

namespace {

constexpr char kUsage[] =
    "usage: quorbel-preview [INPUT]\n"
    "Shows what a run of quorbel in this folder would do with the templates\n"
    "1Template.pch to 4Template.pch and the input file INPUT: which lines\n"
    "take values, where the values land, and what may surprise. Writes\n"
    "nothing. Exit code 0: nothing warned; 1: a warning; 2: a file the run\n"
    "needs cannot be read, or a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::cout << kUsage;
    return quorbel::kNothingWarned;
  }
  // The run reads standard input for an empty name, which a preview cannot
  // foresee; and a name starting with '-' is taken for an option.
  if (argc > 2 || (argc == 2 && (argv[1][0] == '\0' || argv[1][0] == '-'))) {
    std::cerr << "quorbel-preview: "
              << (argc > 2 ? "more than one INPUT" : "unknown option") << "\n"
              << kUsage;
    return quorbel::kCannotPreview;
  }
  quorbel::prepareProcess();
  std::optional<std::string> input;
  if (argc == 2) input = argv[1];
  quorbel::Preview preview = quorbel::previewRun(input);
  return quorbel::printPreview(preview, std::cout, std::cerr);
}
