// The test utility that runs a program: outcomes, pipes, limits, timeout.
#include "tests/run_program.h"

#include <gtest/gtest.h>

#include <csignal>

namespace quorbel::testing {
namespace {

RunRequest shell(const std::string& script) {
  RunRequest request;
  request.command = {"/bin/sh", "-c", script};
  request.timeout = std::chrono::seconds(5);
  return request;
}

TEST(RunCommandTest, FeedsInputAndCapturesBothOutputsAndExitCode) {
  RunRequest request = shell("cat; echo oops >&2; exit 3");
  request.standardInput = std::string(200000, 'x') + "\r\n";
  RunOutcome outcome = runCommand(request);
  EXPECT_EQ(outcome.exitCode, 3);
  EXPECT_EQ(outcome.standardOutput, request.standardInput);
  EXPECT_EQ(outcome.standardError, "oops\n");
}

TEST(RunCommandTest, RunsInTheWorkingDirectory) {
  RunRequest request = shell("pwd");
  request.workingDirectory = "/";
  EXPECT_EQ(runCommand(request).standardOutput, "/\n");
}

TEST(RunCommandTest, ReportsTheTerminatingSignal) {
  RunOutcome outcome = runCommand(shell("kill -TERM $$"));
  EXPECT_EQ(outcome.signal, SIGTERM);
  EXPECT_FALSE(outcome.exitCode);
}

TEST(RunCommandTest, KillsAProgramThatRunsTooLong) {
  RunRequest request = shell("sleep 30");
  request.timeout = std::chrono::milliseconds(200);
  RunOutcome outcome = runCommand(request);
  EXPECT_TRUE(outcome.timedOut);
  EXPECT_EQ(describe(outcome), "timed out");
}

TEST(RunCommandTest, ClosesTheOutputAfterTheGivenCount) {
  // The shell's printf gets a broken pipe once the reader has gone.
  RunRequest request = shell("printf abc; sleep 0.2; printf def || exit 7");
  request.closeOutputAfter = 2;
  RunOutcome outcome = runCommand(request);
  EXPECT_EQ(outcome.standardOutput, "ab");
  EXPECT_EQ(outcome.signal, SIGPIPE);
}

TEST(RunCommandTest, SendsTheOutputToAFile) {
  RunRequest request = shell("echo lost || exit 9");
  request.standardOutputPath = "/dev/full";
  RunOutcome outcome = runCommand(request);
  EXPECT_EQ(outcome.exitCode, 9);
  EXPECT_EQ(outcome.standardOutput, "");
}

TEST(RunCommandTest, AppliesTheFileSizeLimit) {
  RunRequest request = shell(
      "f=$(mktemp); trap '' XFSZ; head -c 5000 /dev/zero > \"$f\"; s=$?; "
      "wc -c < \"$f\"; rm -f \"$f\"; exit $s");
  request.fileSizeLimit = 1000;
  RunOutcome outcome = runCommand(request);
  EXPECT_NE(outcome.exitCode, 0);
  EXPECT_EQ(outcome.standardOutput, "1000\n");
}

TEST(RunCommandTest, AppliesTheAddressSpaceLimit) {
  // A shell cannot even start in 1 MiB.
  RunRequest request = shell("exit 0");
  request.addressSpaceLimit = 1 << 20;
  EXPECT_NE(runCommand(request).exitCode, 0);
}

TEST(RunCommandTest, ReportsAProgramThatCannotStart) {
  RunRequest request;
  request.command = {"/nonexistent/program"};
  EXPECT_EQ(runCommand(request).exitCode, 127);
}

}  // namespace
}  // namespace quorbel::testing
