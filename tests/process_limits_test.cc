// The built program against the limits of its process: memory that runs
// out, a file-size limit while a patch is written, standard output on a
// full device, and a reader of standard output that has gone. Each run must
// end by itself with exit code 1, never by a signal or a hang, and never
// look like a success.
//
// From the environment, as for the end-to-end suite: QUORBEL_EXE, the
// program; QUORBEL_WRAPPER, words put before it (these cases need the
// limits of a native POSIX process and are skipped under a wrapper).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "tests/run_program.h"

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

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

// The place in a report depends on the build: it reads as ######## here.
std::string maskPlace(const std::string& output) {
  static const std::regex place("( at )[0-9A-F]{8}(\\.\n)");
  return std::regex_replace(output, place, "$1########$2");
}

std::string crlf(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

const std::string kDialogue = crlf(
    {"Quorbel", "Enter input filename:", "Enter a name for your new patch:"});

class ProcessLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = environment("QUORBEL_EXE");
    ASSERT_FALSE(program_.empty()) << "QUORBEL_EXE is unset";
    if (!environment("QUORBEL_WRAPPER").empty()) {
      GTEST_SKIP() << "process limits need the native program";
    }
    std::string pattern =
        (fs::temp_directory_path() / "quorbel-limits-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    if (!folder_.empty()) fs::remove_all(folder_);
  }

  void put(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }

  std::string read(const std::string& name) const {
    std::ifstream file(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  std::string report(const std::string& className,
                     const std::string& message) const {
    return "Exception " + className + " in module " +
           fs::path(program_).filename().string() + " at ########.\n" +
           message + ".\r\n";
  }

  // A request that types the two answers.
  RunRequest request(const std::string& inputName,
                     const std::string& patchName) const {
    RunRequest request;
    request.command = {program_};
    request.workingDirectory = folder_.string();
    request.standardInput = inputName + "\n" + patchName + "\n";
    return request;
  }

  std::string program_;
  fs::path folder_;
};

TEST_F(ProcessLimitsTest, OutOfMemoryEndsWithItsOwnReport) {
  if (kAddressSanitizer) {
    GTEST_SKIP() << "the address sanitizer needs more address space";
  }
  put("sample.raw", "\x10\x20");
  // One line (no carriage return anywhere) far larger than the address
  // space the program gets; sparse, so it takes no room on disk.
  constexpr std::uint64_t kLimit = 64u << 20;
  {
    std::ofstream(folder_ / "1Template.pch");
    fs::resize_file(folder_ / "1Template.pch", 2 * kLimit);
  }
  RunRequest run = request("sample.raw", "mem");
  run.addressSpaceLimit = kLimit;
  run.timeout = std::chrono::seconds(60);
  RunOutcome outcome = runCommand(run);
  EXPECT_EQ(describe(outcome), "exit code 1") << outcome.standardError;
  EXPECT_EQ(maskPlace(outcome.standardOutput),
            kDialogue + report("EOutOfMemory", "Out of memory"));
  EXPECT_EQ(read("1mem.pch"), "");
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
  RunRequest run = request("sample.raw", "big");
  run.fileSizeLimit = kLimit;
  RunOutcome outcome = runCommand(run);
  EXPECT_EQ(describe(outcome), "exit code 1") << outcome.standardError;
  EXPECT_EQ(maskPlace(outcome.standardOutput),
            kDialogue + report("EInOutError", "I/O error 112"));
  EXPECT_EQ(read("1big.pch"), lines.substr(0, kLimit));
  EXPECT_EQ(read("1Template.pch"), lines);
  EXPECT_FALSE(fs::exists(folder_ / "2big.pch"));
}

TEST_F(ProcessLimitsTest, FullConsoleEndsTheRunAtOnce) {
  RunRequest run = request("sample.raw", "full");
  run.standardOutputPath = "/dev/full";
  RunOutcome outcome = runCommand(run);
  EXPECT_EQ(describe(outcome), "exit code 1") << outcome.standardError;
  // The first line already fails, before any file is touched.
  EXPECT_TRUE(fs::is_empty(folder_));
}

// The reader goes before anything is written; the run writes more than one
// buffer of 128 bytes to standard output while it still runs.
class LostReaderTest : public ProcessLimitsTest {
 protected:
  RunOutcome runWithoutReader(RunRequest run) {
    run.closeOutputAfter = 0;
    return runCommand(run);
  }
};

TEST_F(LostReaderTest, FailureReportAfterTheDialogue) {
  RunOutcome outcome = runWithoutReader(request("missing.raw", "lost"));
  EXPECT_EQ(describe(outcome), "exit code 1") << outcome.standardError;
  EXPECT_EQ(outcome.standardOutput, "");
}

TEST_F(LostReaderTest, CompletionLineOfAFinishedJob) {
  // The truncation notice and "Finished!" take the console past 128 bytes.
  put("sample.raw", std::string(3000, '\x42'));
  for (int n = 1; n <= 4; ++n) {
    put(std::to_string(n) + "Template.pch", "Type=91\r\nP1=0\r\nP16=15\r\n");
  }
  RunOutcome outcome = runWithoutReader(request("sample.raw", "lost"));
  EXPECT_EQ(describe(outcome), "exit code 1") << outcome.standardError;
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(read(std::to_string(n) + "lost.pch"),
              "Type=91\r\nP1=33\r\nP16=15\r\n");
  }
  EXPECT_FALSE(fs::exists(folder_ / "temp"));
}

}  // namespace
}  // namespace quorbel::testing
