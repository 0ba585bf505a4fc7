#include "fileio/program.h"

#include <new>

#include "fileio/checked_file.h"
#include "fileio/failure_report.h"
#include "fileio/io_result.h"
#include "fileio/os.h"

namespace quorbel {

std::int32_t runProgram(void (*body)()) {
  prepareProcess();
  bindName(StandardInput, "");
  bindName(StandardOutput, "");
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
