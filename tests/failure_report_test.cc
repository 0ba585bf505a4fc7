// The failure report and the shutdown, run in-process over the in-memory OS.
#include "fileio/failure_report.h"

#include <gtest/gtest.h>

#include <new>
#include <regex>
#include <string>
#include <vector>

#include "app/run_driver.h"
#include "fileio/errors.h"
#include "fileio/io_result.h"
#include "fileio/program.h"
#include "fileio/text_file.h"
#include "tests/fake_os.h"

namespace quorbel {
namespace {

using testing::FakeOs;

constexpr char kReportStart[] =
    "Exception EInOutError in module quorbel at 00001A2B.\n";

class FailureReportTest : public ::testing::Test {
 protected:
  FailureReportTest() : guard_(fake.table()) {}

  FakeOs fake;

 private:
  OsOverride guard_;
};

TEST(IoMessageTest, TableAndFallback) {
  EXPECT_EQ(ioMessage(kFileNotFound), "File not found");
  EXPECT_EQ(ioMessage(kPathNotFound), "Invalid filename");
  EXPECT_EQ(ioMessage(kTooManyOpenFiles), "Too many open files");
  EXPECT_EQ(ioMessage(kAccessDenied), "File access denied");
  EXPECT_EQ(ioMessage(kReadBeyondEnd), "Read beyond end of file");
  EXPECT_EQ(ioMessage(kShortWrite), "Disk full");
  EXPECT_EQ(ioMessage(kInvalidNumericInput), "Invalid numeric input");
  // Codes outside the table, the layer's own and the OS's alike.
  for (std::int32_t code : {kNotBound, kNotOpen, kDiskFull, kDeviceError}) {
    EXPECT_EQ(ioMessage(code), "I/O error " + std::to_string(code));
  }
  EXPECT_EQ(ioMessage(-7), "I/O error -7");
}

TEST_F(FailureReportTest, ReportIsExactAndEndsTheRunWithOne) {
  EXPECT_EQ(runProgram([] {
              IoResult = kSharingViolation;
              checkIo();
            }),
            1);
  EXPECT_EQ(fake.standardOutput().data,
            std::string(kReportStart) + "I/O error " +
                std::to_string(kSharingViolation) + ".\r\n");
  EXPECT_EQ(IoResult, 0);
}

TEST_F(FailureReportTest, FullStopOnlyWhereMissing) {
  runProgram([] { raiseError("Ends with a stop."); });
  runProgram([] { raiseError(""); });
  EXPECT_EQ(fake.standardOutput().data,
            "Exception Exception in module quorbel at 00001A2B.\n"
            "Ends with a stop.\r\n"
            "Exception Exception in module quorbel at 00001A2B.\n\r\n");
}

TEST_F(FailureReportTest, ReportIsCutTo1024Characters) {
  runProgram([] { raiseError(std::string(2000, 'm')); });
  const std::string& out = fake.standardOutput().data;
  ASSERT_EQ(out.size(), 1024u + 2);
  EXPECT_EQ(out.substr(1020), "mmmm\r\n");
}

TEST_F(FailureReportTest, ModuleIsTheFileNameWithoutDirectory) {
  Os table = fake.table();
  table.programFileName = [](char* buffer, std::size_t capacity) {
    std::string path = "Z:\\work\\bin\\quorbel.exe";
    return path.copy(buffer, capacity);
  };
  OsOverride guard(table);
  runProgram([] {
    IoResult = kFileNotFound;
    checkIo();
  });
  EXPECT_EQ(fake.standardOutput().data,
            "Exception EInOutError in module quorbel.exe at 00001A2B.\n"
            "File not found.\r\n");
}

TEST_F(FailureReportTest, OutOfMemoryHasItsOwnReport) {
  EXPECT_EQ(runProgram([] { throw std::bad_alloc(); }), 1);
  EXPECT_EQ(fake.standardOutput().data,
            "Exception EOutOfMemory in module quorbel at 00001A2B.\n"
            "Out of memory.\r\n");
}

TEST_F(FailureReportTest, PlaceTellsChecksApartAndIsStable) {
  Os table = fake.table();
  table.imageOffset = defaultOs().imageOffset;
  OsOverride guard(table);
  auto placeOf = [this](void (*body)()) {
    fake.standardOutput().data.clear();
    runProgram(body);
    return fake.standardOutput().data.substr(0, 52);
  };
  auto first = [] {
    IoResult = kAccessDenied;
    checkIo();
  };
  auto second = [] {
    IoResult = kInvalidHandle;
    checkIo();
  };
  EXPECT_EQ(placeOf(first), placeOf(first));
  EXPECT_NE(placeOf(first), placeOf(second));
  EXPECT_TRUE(std::regex_match(
      placeOf(first),
      std::regex("Exception EInOutError in module quorbel at [0-9A-F]{8}\\.")));
}

TEST_F(FailureReportTest, ShutdownWritesOutWhatStandardOutputBuffers) {
  EXPECT_EQ(runProgram([] {
              textfile::writeText(StandardOutput, "waiting");
              checkIo();
            }),
            0);
  EXPECT_EQ(fake.standardOutput().data, "waiting");
}

TEST_F(FailureReportTest, FailureAtShutdownIsNotReported) {
  fake.injectFault(2);  // the device type query, then the write at shutdown
  EXPECT_EQ(runProgram([] {
              textfile::writeText(StandardOutput, "lost");
              checkIo();
            }),
            0);
  EXPECT_EQ(fake.standardOutput().data, "");
}

TEST_F(FailureReportTest, ReportThatCannotBeWrittenStillEndsWithOne) {
  fake.standardOutput().type = DeviceType::Character;
  fake.injectFault(2, testing::Fault::Fail, true);  // every write fails
  EXPECT_EQ(runProgram([] {
              IoResult = kFileNotFound;
              checkIo();
            }),
            1);
  EXPECT_EQ(fake.standardOutput().data, "");
}

TEST_F(FailureReportTest, PromptsReachTheConsoleBeforeEachAnswerIsRead) {
  fake.standardOutput().type = DeviceType::Character;
  fake.standardInput().type = DeviceType::Character;
  fake.standardInput().readLimit = 9;  // a console gives one line a read
  fake.standardInput().data = "missing\r\nbass\r\n";
  Os table = fake.table();
  std::vector<std::string> shownAtRead;
  table.read = [&](OsHandle handle, void* buffer, std::uint32_t count) {
    if (handle == 0) shownAtRead.push_back(fake.standardOutput().data);
    return fake.table().read(handle, buffer, count);
  };
  OsOverride guard(table);
  EXPECT_EQ(runProgram(driveRun), 1);
  ASSERT_GE(shownAtRead.size(), 2u);
  EXPECT_EQ(shownAtRead.front(), "Quorbel\r\nEnter input filename:\r\n");
  EXPECT_EQ(shownAtRead.back(),
            "Quorbel\r\nEnter input filename:\r\n"
            "Enter a name for your new patch:\r\n");
  EXPECT_EQ(fake.standardOutput().data,
            shownAtRead.back() + kReportStart + "File not found.\r\n");
}

}  // namespace
}  // namespace quorbel
