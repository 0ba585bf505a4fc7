// The built program against the limits of its process: memory that runs
// out, a file-size limit while a patch is written, standard output on a
// full device, and a reader of standard output that has gone. Each run must
// end by itself with exit code 1, never by a signal or a hang, and never
// look like a success. These cases need the limits of a native POSIX
// process and are skipped under a wrapper.
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/end_to_end_fixture.h"

namespace quorbel::testing {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

class ProcessLimitsTest : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    if (settings().command.size() > 1) {
      GTEST_SKIP() << "process limits need the native program";
    }
  }
};

TEST_F(ProcessLimitsTest, OutOfMemoryEndsWithItsOwnReport) {
  if (kAddressSanitizer) {
    GTEST_SKIP() << "the address sanitizer needs more address space";
  }
  put("sample.raw", "\x10\x20");
  // One line (no carriage return anywhere) far larger than the address
  // space the program gets; sparse, so it takes no room on disk.
  constexpr std::uint64_t kLimit = 64u << 20;
  std::ofstream(path("1Template.pch")).close();
  fs::resize_file(path("1Template.pch"), 2 * kLimit);
  options.addressSpaceLimit = kLimit;
  options.timeout = std::chrono::seconds(60);
  RunOutcome outcome = run("sample.raw", "mem");
  EXPECT_EQ(describe(outcome), "exit code 1") << outcome.standardError;
  EXPECT_EQ(outcome.standardOutput,
            kDialogue + report("EOutOfMemory", "Out of memory"));
  EXPECT_EQ(fs::file_size(path("1mem.pch")), 0u);
}

// The preview holds no more of a template's line than the run does.
TEST_F(ProcessLimitsTest, PreviewOfALongLineNeedsNoMoreMemoryThanTheRun) {
  if (kAddressSanitizer) {
    GTEST_SKIP() << "the address sanitizer needs more address space";
  }
  // A line of 100 MB with a blank in it; sparse, so it takes no room.
  put("in.raw", "");
  std::ofstream(path("1Template.pch")) << "Name= ";
  fs::resize_file(path("1Template.pch"), 100u << 20);
  RunRequest request;
  request.command = settings().previewCommand;
  request.command.push_back("in.raw");
  request.workingDirectory = path("").string();
  request.addressSpaceLimit = 210000u << 10;
  request.timeout = std::chrono::seconds(60);
  RunOutcome preview = runCommand(request);
  EXPECT_EQ(describe(preview), "exit code 0") << preview.standardError;
}

TEST_F(ProcessLimitsTest, FileSizeLimitCutsThePatchAndEndsTheRun) {
  // No region: the patch is the template, which already ends its lines
  // with CR LF; it must hold exactly the bytes up to the limit.
  std::string lines;
  for (int i = 0; i < 600; ++i) {
    lines += "Line=" + std::to_string(i) + "\r\n";
  }
  put("sample.raw", "\x10\x20");
  put("1Template.pch", lines);
  constexpr std::uint64_t kLimit = 3000;
  ASSERT_GT(lines.size(), kLimit);
  options.fileSizeLimit = kLimit;
  RunOutcome outcome = run("sample.raw", "big");
  expected["temp"] = "\x08\x10";
  expected["1big.pch"] = lines.substr(0, kLimit);
  expectRun(outcome, kDialogue + report("EInOutError", diskFull()), 1);
}

TEST_F(ProcessLimitsTest, FullConsoleEndsTheRunAtOnce) {
  options.standardOutputPath = "/dev/full";
  // The first line already fails, before any file is touched.
  expectRun(run("sample.raw", "full"), "", 1);
}

// The reader goes before anything is written; the run writes more than one
// buffer of 128 bytes to standard output while it still runs.
class LostReaderTest : public ProcessLimitsTest {
 protected:
  LostReaderTest() { options.closeOutputAfter = 0; }
};

TEST_F(LostReaderTest, FailureReportAfterTheDialogue) {
  expectRun(run("missing.raw", "lost"), "", 1);
}

TEST_F(LostReaderTest, CompletionLineOfAFinishedJob) {
  // The truncation notice and "Finished!" take the console past 128 bytes.
  put("sample.raw", std::string(3000, '\x42'));
  for (int n = 1; n <= 4; ++n) {
    put(std::to_string(n) + "Template.pch", "Type=91\r\nP1=0\r\nP16=15\r\n");
    expected[std::to_string(n) + "lost.pch"] = "Type=91\r\nP1=33\r\nP16=15\r\n";
  }
  expectRun(run("sample.raw", "lost"), "", 1);
}

}  // namespace
}  // namespace quorbel::testing
