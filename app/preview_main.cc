// quorbel-preview [INPUT]: shows what a run of quorbel in the current folder
// would do, and writes nothing.
#include <cstdio>
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
    "nothing. A name that starts with '-' can be written ./-name.\n"
    "Exit code 0: nothing warned; 1: a warning; 2: a file the run needs\n"
    "cannot be read, the run would fail, or a usage error.\n";

void write(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

// A report that does not reach its reader is no success.
int finish(int exitCode) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return exitCode;
  write(stderr, "quorbel-preview: standard output cannot be written\n");
  return quorbel::kCannotPreview;
}

int usageError(const std::string& problem) {
  write(stderr, "quorbel-preview: " + problem + "\n" + kUsage);
  return quorbel::kCannotPreview;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that has gone fails the write instead of ending the program.
  quorbel::prepareProcess();
  if (argc > 2) return usageError("more than one INPUT");
  std::optional<std::string> input;
  if (argc == 2) input = argv[1];
  if (input == "--help") {
    write(stdout, kUsage);
    return finish(quorbel::kNothingWarned);
  }
  // The run reads standard input for an empty name, which a preview cannot
  // foresee.
  if (input && input->empty()) {
    return usageError("an empty INPUT, for which a run reads standard input");
  }
  if (input && input->starts_with('-')) return usageError("unknown option");
  quorbel::Preview preview = quorbel::previewRun(input);
  quorbel::Forecast forecast = quorbel::forecastRun(preview);
  write(stdout, quorbel::previewReport(preview, forecast));
  write(stderr, quorbel::failureLine(forecast));
  return finish(forecast.exitCode);
}
