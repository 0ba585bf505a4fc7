#include "app/run_driver.h"
#include "fileio/os.h"
#include "fileio/program.h"

int main() {
  std::int32_t exitCode = quorbel::runProgram(quorbel::driveRun);
  quorbel::os().exitProcess(exitCode);
  // Never reached: exitProcess ends the process.
  return exitCode;  // GCOVR_EXCL_LINE
}
