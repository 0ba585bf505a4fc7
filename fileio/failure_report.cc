#include "fileio/failure_report.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string_view>

#include "fileio/checked_file.h"
#include "fileio/io_result.h"
#include "fileio/os.h"
#include "fileio/text_file.h"

namespace quorbel {

namespace {

struct IoMessage {
  std::int32_t code;
  const char* message;
};

constexpr IoMessage kIoMessageTable[] = {
    {kFileNotFound, "File not found"},
    {kPathNotFound, "Invalid filename"},
    {kTooManyOpenFiles, "Too many open files"},
    {kAccessDenied, "File access denied"},
    {kReadBeyondEnd, "Read beyond end of file"},
    {kShortWrite, "Disk full"},
    {kInvalidNumericInput, "Invalid numeric input"},
};

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
  if (length < 0) return 0;
  return std::min(static_cast<std::size_t>(length), kMaxReportLength);
}

}  // namespace

std::string ioMessage(std::int32_t code) {
  for (const IoMessage& row : kIoMessageTable) {
    if (row.code == code) return row.message;
  }
  return "I/O error " + std::to_string(code);
}

bool needsFullStop(std::string_view message) {
  return !message.empty() && message.back() != '.';
}

[[gnu::noinline]] void raiseError(std::string message) {
  throw Exception(std::move(message), __builtin_return_address(0));
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

std::int32_t runProgram(void (*body)()) {
  prepareProcess();
  bind(StandardInput, "");
  bind(StandardOutput, "");
  DefaultOpenMode = 2;
  IoResult = 0;
  const EOutOfMemory outOfMemory;
  std::int32_t exitCode = 0;
  try {
    body();
  } catch (const Exception& error) {
    reportFailure(error, error.place());
    exitCode = 1;
  } catch (const std::bad_alloc&) {
    // The place of the failed request is lost with the unwinding; the
    // start of this procedure stands in for it.
    reportFailure(outOfMemory, reinterpret_cast<const void*>(&runProgram));
    exitCode = 1;
  }
  close(StandardInput);
  close(StandardOutput);
  IoResult = 0;
  return exitCode;
}

}  // namespace quorbel
