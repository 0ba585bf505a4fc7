#include "fileio/io_result.h"

#include "fileio/errors.h"
#include "fileio/os.h"

namespace quorbel {
namespace {

struct IoMessage {
  std::int32_t code;
  const char* message;
};

// Searched in this order.
constexpr IoMessage kIoMessageTable[] = {
    {kFileNotFound, "File not found"},
    {kPathNotFound, "Invalid filename"},
    {kTooManyOpenFiles, "Too many open files"},
    {kAccessDenied, "File access denied"},
    {kReadBeyondEnd, "Read beyond end of file"},
    {kShortWrite, "Disk full"},
    {kInvalidNumericInput, "Invalid numeric input"},
};

}  // namespace

thread_local std::int32_t IoResult = 0;

std::string ioMessage(std::int32_t code) {
  for (const IoMessage& row : kIoMessageTable) {
    if (row.code == code) return row.message;
  }
  return "I/O error " + std::to_string(code);
}

// Not inlined, so that the return address is the place of the check.
[[gnu::noinline]] void raiseIoError() {
  std::int32_t code = IoResult;
  EInOutError error(ioMessage(code), code, __builtin_return_address(0));
  IoResult = 0;
  throw error;
}

}  // namespace quorbel
