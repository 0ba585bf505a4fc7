#include "fileio/failure_report.h"

#include <algorithm>
#include <cstdio>

#include "fileio/checked_file.h"
#include "fileio/io_result.h"
#include "fileio/os.h"
#include "fileio/text_file.h"

namespace quorbel {
namespace {

constexpr std::size_t kMaxModuleNameLength = 260;
constexpr std::size_t kMaxReportLength = 1024;

std::string_view withoutDirectory(std::string_view path) {
  std::size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? path
                                             : path.substr(separator + 1);
}

// The report's text, cut to 1024 characters, without its final CR LF.
// Writes into text and returns the length; allocates nothing.
std::size_t formatFailureReport(const Exception& error, const void* place,
                                char (&text)[kMaxReportLength + 1]) {
  char path[kMaxModuleNameLength * 4];
  std::size_t pathLength = os().programFileName(path, sizeof path);
  std::string_view module = withoutDirectory(std::string_view(path, pathLength))
                                .substr(0, kMaxModuleNameLength);
  const std::string& message = error.message();
  int length = std::snprintf(
      text, sizeof text, "Exception %s in module %.*s at %08X.\n%s%s",
      error.className(), static_cast<int>(module.size()), module.data(),
      static_cast<unsigned>(os().imageOffset(place)), message.c_str(),
      needsFullStop(message) ? "." : "");
  // snprintf fails only on an encoding error, which none of these
  // conversions can meet.
  if (length < 0) return 0;  // GCOVR_EXCL_BR_LINE
  return std::min(static_cast<std::size_t>(length), kMaxReportLength);
}

}  // namespace

bool needsFullStop(std::string_view message) {
  return !message.empty() && message.back() != '.';
}

void reportFailure(const Exception& error, const void* place) {
  char text[kMaxReportLength + 1];
  std::size_t length = formatFailureReport(error, place, text);
  textfile::writeText(StandardOutput, std::string_view(text, length));
  textfile::writeLineEnd(StandardOutput);
  // No checkIo here: a report that cannot be written must not raise a
  // second one. The exit code tells the failure all the same.
  IoResult = 0;
}

}  // namespace quorbel
