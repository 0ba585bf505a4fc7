#include "fileio/io_result.h"

#include "fileio/failure_report.h"

namespace quorbel {

thread_local std::int32_t IoResult = 0;

// Not inlined, so that the return address is the place of the check.
[[gnu::noinline]] void raiseIoError() {
  std::int32_t code = IoResult;
  EInOutError error(ioMessage(code), code, __builtin_return_address(0));
  IoResult = 0;
  throw error;
}

}  // namespace quorbel
