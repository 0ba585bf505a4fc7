// One whole run, with every operating-system call it makes failed in turn.
//
// A reference run over the in-memory OS counts and records the calls. Then,
// for each call k, a fresh run fails call k (or every call from k on, or
// moves fewer bytes at call k) and must end the way that failure demands:
// the report that names the call's error and exit code 1, or a normal end
// where the failure is harmless. In every case the input and the templates
// stay byte-identical and every patch before the one being written is
// complete.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/names_and_limits.h"
#include "app/run_driver.h"
#include "fileio/io_result.h"
#include "fileio/program.h"
#include "tests/fake_os.h"

namespace quorbel {
namespace {

using testing::CallRecord;
using testing::FakeOs;
using testing::Fault;

constexpr char kInputName[] = "sample.raw";
constexpr std::size_t kInputLength = 2300;

std::string patchName(int number) {
  return std::to_string(number) + "lead.pch";
}

// count parameter lines "P<i>=<i mod 100>", each ended by CR LF.
std::string parameterLines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    text += "P" + std::to_string(i) + "=" + std::to_string(i % 100) + "\r\n";
  }
  return text;
}

// Four templates whose regions take about 2150 values, so that the sample
// runs out inside the fourth. Regions run on from one template into the
// next, lines cross the 128-byte buffer, and the odd lines of a real
// template (no "=", lower-case p, markers in other cases, a bare line feed,
// a lone CR, no final line end, a Ctrl-Z) all occur.
std::map<std::string, std::string> templates() {
  std::map<std::string, std::string> files;
  files[templateName(1)] =
      "[Header]\r\nVersion=3.0\r\nPname=outside a region\r\nType=91\r\n" +
      parameterLines(400) + "p7=lower case\r\n\r\nP\r\nPX 12\r\nP2=3=4\r\nP9=" +
      std::string(300, '9') + "\r\nP16=15\r\nName=bare\nfeed\r\ntype=91\r" +
      parameterLines(99) + "P5=no line end";
  files[templateName(2)] = parameterLines(300) + "P16=15 \r\n" +
                           parameterLines(50) + "p16=15\r\nPafter=1\r\n" +
                           "TYPE=91\r\n" + parameterLines(400) + "Type=91\r\n" +
                           parameterLines(100) + "P16=15\r\n[End]\r\n";
  files[templateName(3)] =
      "Type=91\r\n" + parameterLines(500) + "P16=15\r\nP1=outside\r\n";
  files[templateName(4)] = "Type=91\r\n" + parameterLines(300) +
                           "P16=15\r\nTail=1\r\n\x1AP1=never read\r\n";
  return files;
}

std::string sampleInput() {
  std::string input(kInputLength, '\0');
  for (std::size_t i = 0; i < input.size(); ++i) {
    input[i] = static_cast<char>((i * 37 + 11) % 256);
  }
  return input;
}

// What "temp" holds after the first phase.
std::string sampleValues() {
  std::string values = sampleInput().substr(0, 2048);
  for (char& c : values)
    c = static_cast<char>(static_cast<unsigned char>(c) >> 1);
  return values;
}

std::string report(const std::string& message) {
  return "Exception EInOutError in module quorbel at 00001A2B.\n" + message +
         ".\r\n";
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos;
       at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

struct Outcome {
  std::int32_t exitCode = 0;
  std::string output;
  std::map<std::string, std::string> files;
  bool faultFired = false;
  std::uint32_t calls = 0;
  std::vector<CallRecord> log;
};

struct FaultPlan {
  std::uint32_t call = 0;  // 0: no fault
  Fault fault = Fault::Fail;
  bool persistent = false;
};

// How a run with one failed call must end.
enum class Ending {
  Normal,        // as the reference run: the failure does no harm
  Report,        // the report for `message`, exit code 1
  ReportLost,    // exit code 1, but the console itself is gone
  ShutdownLoss,  // the shutdown's last write failed: exit code 0, output cut
};

struct Expectation {
  Ending ending = Ending::Normal;
  std::string message;
};

class FaultInjectionTest : public ::testing::Test {
 protected:
  FaultInjectionTest() : files_(templates()) {
    files_[kInputName] = sampleInput();
  }

  Outcome runJob(DeviceType console, FaultPlan plan, bool record = false) {
    FakeOs fake;
    for (const auto& [name, data] : files_) fake.addFile(name, data);
    fake.standardInput().data = std::string(kInputName) + "\r\nlead\r\n";
    fake.standardOutput().type = console;
    if (plan.call != 0)
      fake.injectFault(plan.call, plan.fault, plan.persistent);
    if (record) fake.recordCalls();
    Outcome run;
    {
      OsOverride guard(fake.table());
      run.exitCode = runProgram(driveRun);
    }
    run.output = fake.standardOutput().data;
    for (const auto& [name, file] : fake.files()) run.files[name] = file->data;
    run.faultFired = fake.faultFired();
    run.calls = fake.calls();
    run.log = fake.callLog();
    return run;
  }

  Outcome referenceRun(DeviceType console) {
    Outcome run = runJob(console, {}, true);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.output.ends_with("Finished!\r\n")) << run.output;
    for (int n = 1; n <= kPatchCount; ++n) {
      EXPECT_TRUE(run.files.count(patchName(n))) << n;
    }
    EXPECT_FALSE(run.files.count("temp"));
    EXPECT_EQ(run.log.size(), run.calls);
    return run;
  }

  // The input and the templates are never touched.
  void expectUserFilesIntact(const Outcome& run) {
    for (const auto& [name, data] : files_) {
      ASSERT_TRUE(run.files.count(name)) << name;
      EXPECT_TRUE(run.files.at(name) == data) << name << " changed";
    }
  }

  // Patches are made in order: each one before the last one present is
  // complete, and the last one holds the start of its reference. "temp"
  // holds the start of the sample values. Nothing else exists.
  void expectFilesAsFailureLeavesThem(const Outcome& run,
                                      const Outcome& reference) {
    expectUserFilesIntact(run);
    int last = 0;
    for (int n = 1; n <= kPatchCount; ++n) {
      if (run.files.count(patchName(n))) last = n;
    }
    for (int n = 1; n <= last; ++n) {
      const std::string name = patchName(n);
      ASSERT_TRUE(run.files.count(name)) << name << " missing before " << last;
      const std::string& full = reference.files.at(name);
      if (n < last) {
        EXPECT_TRUE(run.files.at(name) == full) << name << " incomplete";
      } else {
        EXPECT_TRUE(startsWith(full, run.files.at(name)))
            << name << " is not the start of the reference";
      }
    }
    if (run.files.count("temp")) {
      EXPECT_TRUE(startsWith(sampleValues(), run.files.at("temp")));
    }
    std::size_t expectedCount = files_.size() + static_cast<std::size_t>(last) +
                                run.files.count("temp");
    EXPECT_EQ(run.files.size(), expectedCount) << "stray files";
  }

  void expectReferenceResult(const Outcome& run, const Outcome& reference) {
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, reference.output);
    for (const auto& [name, data] : reference.files) {
      ASSERT_TRUE(run.files.count(name)) << name;
      EXPECT_TRUE(run.files.at(name) == data) << name << " differs";
    }
    // Only the deletion of "temp" may have failed.
    if (run.files.count("temp")) {
      EXPECT_EQ(run.files.at("temp"), sampleValues());
    }
    EXPECT_EQ(run.files.size(),
              reference.files.size() + run.files.count("temp"));
  }

  void expectEnding(const Outcome& run, const Outcome& reference,
                    const Expectation& expected) {
    switch (expected.ending) {
      case Ending::Normal:
        expectReferenceResult(run, reference);
        return;
      case Ending::Report:
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.output.ends_with(report(expected.message)))
            << "expected the report for " << expected.message << ", got\n"
            << run.output;
        EXPECT_EQ(occurrences(run.output, "Exception "), 1u);
        EXPECT_EQ(occurrences(run.output, "Finished!"), 0u);
        break;
      case Ending::ReportLost:
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(occurrences(run.output, "Exception "), 0u) << run.output;
        EXPECT_TRUE(startsWith(reference.output, run.output)) << run.output;
        break;
      case Ending::ShutdownLoss:
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_LT(run.output.size(), reference.output.size());
        EXPECT_TRUE(startsWith(reference.output, run.output)) << run.output;
        break;
    }
    expectFilesAsFailureLeavesThem(run, reference);
  }

  std::uint32_t failEachCall(DeviceType console);

  std::map<std::string, std::string> files_;
};

bool isShutdownWrite(const CallRecord& call, bool atShutdown) {
  return call.call == "write" && call.file == "<stdout>" && atShutdown;
}

// A call that fails outright, with the error number that fits it.
Expectation afterFailure(const CallRecord& call, bool atShutdown) {
  const std::string& name = call.call;
  // The deletion of "temp" is never checked; a failed identity or status
  // query only means the names are not known to reach one file, or "temp"
  // not known to be a link, which they do not and it is not.
  if (name == "deleteFile" || name == "fileIdentity" || name == "fileStatus") {
    return {};
  }
  if (isShutdownWrite(call, atShutdown)) return {Ending::ShutdownLoss, ""};
  if (name == "open") return {Ending::Report, ioMessage(kFileNotFound)};
  if (name == "write") return {Ending::Report, ioMessage(kDiskFull)};
  if (name == "deviceType") {
    // Standard output on a device of unknown type is released and refuses
    // text, so not even the report can reach it.
    if (call.file == "<stdout>") return {Ending::ReportLost, ""};
    return {Ending::Report, ioMessage(kNotOpenForOutput)};
  }
  return {Ending::Report, ioMessage(kDeviceError)};  // read, close, size...
}

// A read or write that moves fewer bytes than asked: none of a single
// byte, about half of more. Text transfers carry on with the rest; a byte
// file asks for one record and so reports the shortfall.
Expectation afterShortTransfer(const CallRecord& call, bool atShutdown) {
  if (call.count != 1) return {};
  if (call.call == "read") return {Ending::Report, ioMessage(kReadBeyondEnd)};
  if (call.call != "write") return {};
  if (isShutdownWrite(call, atShutdown)) return {Ending::ShutdownLoss, ""};
  return {Ending::Report, ioMessage(kShortWrite)};
}

// Fails each call of the reference run in turn; returns how many.
std::uint32_t FaultInjectionTest::failEachCall(DeviceType console) {
  const Outcome reference = referenceRun(console);
  const std::uint32_t callCount = reference.calls;
  std::uint32_t failed = 0;
  for (std::uint32_t k = 1; k <= callCount && !HasFailure(); ++k) {
    const CallRecord& call = reference.log[k - 1];
    SCOPED_TRACE("call " + std::to_string(k) + ": " + call.call + " " +
                 call.file);
    Outcome run = runJob(console, {k, Fault::Fail, false});
    EXPECT_TRUE(run.faultFired);
    ++failed;
    // Only a file or a pipe still holds text for the shutdown to write.
    bool atShutdown = k == callCount && console != DeviceType::Character;
    expectEnding(run, reference, afterFailure(call, atShutdown));
  }
  EXPECT_EQ(failed, callCount);
  return failed;
}

TEST_F(FaultInjectionTest, EveryCallFailedInTurn) {
  std::uint32_t failed = failEachCall(DeviceType::Pipe);
  EXPECT_GT(failed, 10000u);
  std::printf("[ fault    ] failed each of %u calls in turn\n", failed);
  RecordProperty("callsFailed", static_cast<int>(failed));
}

// On a console every line end reaches the device at once, so the last
// line, "Finished!", is written inside the run and its failure reported.
TEST_F(FaultInjectionTest, EveryCallFailedInTurnOnConsole) {
  std::uint32_t failed = failEachCall(DeviceType::Character);
  std::printf("[ fault    ] failed each of %u calls in turn (console)\n",
              failed);
}

TEST_F(FaultInjectionTest, EveryTransferShortInTurn) {
  const Outcome reference = referenceRun(DeviceType::Pipe);
  const std::uint32_t callCount = reference.calls;
  std::uint32_t shortened = 0;
  for (std::uint32_t k = 1; k <= callCount && !HasFailure(); ++k) {
    const CallRecord& call = reference.log[k - 1];
    // A short transfer hits a read or a write only: with any other call
    // chosen, the run would be the reference run again.
    if (call.call != "read" && call.call != "write") continue;
    SCOPED_TRACE("call " + std::to_string(k) + ": " + call.call + " " +
                 call.file + " of " + std::to_string(call.count));
    Outcome run = runJob(DeviceType::Pipe, {k, Fault::Short, false});
    if (run.faultFired) ++shortened;
    expectEnding(run, reference, afterShortTransfer(call, k == callCount));
  }
  EXPECT_GT(shortened, 5000u);
  std::printf("[ fault    ] shortened each of %u transfers in turn\n",
              shortened);
}

// From call k on, everything fails, the report's own write included: the
// run still ends, with exit code 1 and no report, unless only the
// shutdown's last write was hit.
TEST_F(FaultInjectionTest, EveryCallFromOneOnFails) {
  const Outcome reference = referenceRun(DeviceType::Pipe);
  const std::uint32_t callCount = reference.calls;
  std::uint32_t runs = 0;
  for (std::uint32_t k = 1; k <= callCount && !HasFailure(); ++k) {
    SCOPED_TRACE("calls from " + std::to_string(k));
    Outcome run = runJob(DeviceType::Pipe, {k, Fault::Fail, true});
    ++runs;
    Expectation expected{Ending::ReportLost, ""};
    if (k == callCount) expected.ending = Ending::ShutdownLoss;
    expectEnding(run, reference, expected);
  }
  EXPECT_EQ(runs, callCount);
  std::printf("[ fault    ] failed every call from k on, for each of %u k\n",
              runs);
}

}  // namespace
}  // namespace quorbel
