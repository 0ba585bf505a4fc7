// Runs a program as a child process for tests: standard input fed from
// bytes, standard output captured (or sent to a file), optional resource
// limits, a reader that goes away early, and a timeout. POSIX only; the
// command may start with wrapper words (such as an emulator) before the
// executable.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorbel::testing {

struct RunRequest {
  // Wrapper words, if any, then the executable, then its arguments. The
  // first word is looked up on PATH when it holds no slash.
  std::vector<std::string> command;
  // Empty: the test's own working directory.
  std::string workingDirectory;
  // Fed through a pipe, which is then closed: the program sees its end.
  std::string standardInput;
  // When set, standard output goes to this file (opened for writing,
  // created if missing, not emptied: "/dev/full" works) and nothing is
  // captured.
  std::optional<std::string> standardOutputPath;
  // When set, the pipe's read end is closed once this many bytes have been
  // captured, so later writes of the program find no reader.
  std::optional<std::size_t> closeOutputAfter;
  // Limits applied in the child before the exec; 0 leaves a limit alone.
  std::uint64_t addressSpaceLimit = 0;  // RLIMIT_AS, bytes
  std::uint64_t fileSizeLimit = 0;      // RLIMIT_FSIZE, bytes
  // The child's process group is killed when it runs longer.
  std::chrono::milliseconds timeout{std::chrono::seconds(20)};
};

struct RunOutcome {
  // The exit code, when the program exited (127: it could not be started).
  std::optional<int> exitCode;
  // The terminating signal, when a signal ended it.
  std::optional<int> signal;
  bool timedOut = false;
  std::string standardOutput;
  std::string standardError;
};

// Runs the request to its end. Failures of the test machinery itself (no
// pipe, no fork) are thrown as std::runtime_error.
RunOutcome runCommand(const RunRequest& request);

// "exit code 1", "signal 9", "timed out": for test failure messages.
std::string describe(const RunOutcome& outcome);

}  // namespace quorbel::testing
