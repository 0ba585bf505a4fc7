// The program's entry: start-up, the run's body, and the shutdown, with the
// failure report as the handler of last resort in between.
#pragma once

#include <cstdint>

namespace quorbel {

// Runs the program's body between start-up and shutdown and returns the exit
// code: 0 after a normal end, 1 after a failure report. Start-up binds the
// console files; the shutdown closes them, writing out what standard output
// still buffers (a failure there is not reported).
std::int32_t runProgram(void (*body)());

}  // namespace quorbel
