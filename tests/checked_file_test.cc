// The checked file layer over the in-memory OS: line rules, Ctrl-Z, buffer
// and flush behaviour, states and codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileio/byte_file.h"
#include "fileio/io_result.h"
#include "fileio/text_file.h"
#include "tests/fake_os.h"

namespace quorbel {
namespace {

using testing::FakeOs;

class CheckedFileTest : public ::testing::Test {
 protected:
  CheckedFileTest() : guard_(fake.table()) {
    IoResult = 0;
    bindName(StandardInput, "");
    bindName(StandardOutput, "");
  }
  ~CheckedFileTest() override { IoResult = 0; }

  // All lines of a text file as the run reads them, one check per line.
  std::vector<std::string> readAllLines(CheckedFile& file) {
    std::vector<std::string> lines;
    std::string line;
    while (!textfile::atEnd(file)) {
      textfile::readText(file, line);
      textfile::skipLine(file);
      lines.push_back(line);
      EXPECT_EQ(IoResult, 0);
    }
    return lines;
  }

  std::vector<std::string> readAllLines(const std::string& name) {
    CheckedFile file;
    bindName(file, name);
    textfile::openRead(file);
    std::vector<std::string> lines = readAllLines(file);
    close(file);
    EXPECT_EQ(IoResult, 0);
    return lines;
  }

  // Takes the code of the last failure, as checkIo would.
  std::int32_t takeResult() {
    std::int32_t code = IoResult;
    IoResult = 0;
    return code;
  }

  FakeOs fake;

 private:
  OsOverride guard_;
};

using Lines = std::vector<std::string>;

TEST_F(CheckedFileTest, LineRules) {
  struct Case {
    std::string bytes;
    Lines lines;
  };
  const Case cases[] = {
      // A line ends at CR; CR LF is one end; a bare LF is an ordinary byte.
      {"A\rB\r\nC\nD", {"A", "B", "C\nD"}},
      {"x\x1Ay", {"x"}},           // Ctrl-Z ends the file
      {"last", {"last"}},          // no line end at the end
      {"", {}},                    // empty: at its end at once
      {"one\r\n", {"one"}},        // no extra empty line after CR LF
      {"\r\n\r\n", {"", ""}},      // empty lines
      {"a\r\rb", {"a", "", "b"}},  // CR CR is two ends
      {"a\r\x1A\r\nb", {"a"}},     // Ctrl-Z right after a CR stays
      {"\x1A", {}},                // Ctrl-Z first
      {"a\n\r\n", {"a\n"}},        // LF before CR LF belongs to the line
  };
  for (const Case& c : cases) {
    fake.addFile("t", c.bytes);
    EXPECT_EQ(readAllLines("t"), c.lines) << ::testing::PrintToString(c.bytes);
  }
}

TEST_F(CheckedFileTest, LinesAcrossBufferFills) {
  for (std::size_t length : {127u, 128u, 129u, 255u, 256u, 1000u}) {
    std::string first(length, 'a');
    std::string second(length, 'b');
    fake.addFile("t", first + "\r\n" + second + "\r\n");
    EXPECT_EQ(readAllLines("t"), (Lines{first, second})) << length;
  }
  // CR as the 128th byte, its LF the first of the next fill.
  std::string line(127, 'x');
  fake.addFile("t", line + "\r\nnext");
  EXPECT_EQ(readAllLines("t"), (Lines{line, "next"}));
  // Ctrl-Z as the first byte of the second fill.
  fake.addFile("t", std::string(128, 'y') + "\x1Ahidden\r\n");
  EXPECT_EQ(readAllLines("t"), (Lines{std::string(128, 'y')}));
}

TEST_F(CheckedFileTest, ShortReadsDoNotChangeTheLines) {
  std::string bytes = "alpha\r\nbeta\rgam\nma\r\n\r\ndelta";
  for (std::uint32_t limit : {1u, 2u, 3u, 7u}) {
    fake.addFile("t", bytes)->readLimit = limit;
    EXPECT_EQ(readAllLines("t"),
              (Lines{"alpha", "beta", "gam\nma", "", "delta"}))
        << limit;
  }
}

TEST_F(CheckedFileTest, EndOfDataIsStoredAndNotAskedAgain) {
  fake.addFile("t", "a");
  CheckedFile file;
  bindName(file, "t");
  textfile::openRead(file);
  EXPECT_EQ(readAllLines(file), Lines{"a"});
  std::uint32_t calls = fake.calls();
  EXPECT_TRUE(textfile::atEnd(file));
  std::string line = "stale";
  textfile::readText(file, line);
  textfile::skipLine(file);
  EXPECT_EQ(line, "");
  EXPECT_EQ(fake.calls(), calls);
  EXPECT_EQ(takeResult(), 0);
}

TEST_F(CheckedFileTest, BrokenPipeOnReadIsTheEndOfData) {
  fake.addFile("t", "abc");
  fake.setFaultError(kBrokenPipe);
  CheckedFile file;
  bindName(file, "t");
  textfile::openRead(file);
  fake.injectFault(fake.calls() + 1);
  EXPECT_TRUE(textfile::atEnd(file));
  EXPECT_EQ(takeResult(), 0);
}

TEST_F(CheckedFileTest, FailedReadDeliversTheEndAndAsksAgainNextTime) {
  fake.addFile("t", "abc");
  CheckedFile file;
  bindName(file, "t");
  textfile::openRead(file);
  fake.injectFault(fake.calls() + 1);
  EXPECT_TRUE(textfile::atEnd(file));
  EXPECT_EQ(takeResult(), kDeviceError);
  EXPECT_FALSE(textfile::atEnd(file));
  EXPECT_EQ(readAllLines(file), Lines{"abc"});
}

TEST_F(CheckedFileTest,
       StandardInputEndsAnswersAtBareLineFeedWhereTerminalsDo) {
  Os table = fake.table();
  table.lineFeedEndsConsoleLine = true;
  OsOverride guard(table);
  fake.standardInput().data = "in.raw\nbass\r\nlast\rx";
  fake.addFile("named", "a\nb\r");
  EXPECT_EQ(readAllLines(StandardInput),
            (Lines{"in.raw", "bass", "last", "x"}));
  // Named files keep the carriage-return rule.
  EXPECT_EQ(readAllLines("named"), Lines{"a\nb"});
}

TEST_F(CheckedFileTest, StandardInputKeepsTheCarriageReturnRuleElsewhere) {
  fake.standardInput().data = "a\nb\r\nc";
  EXPECT_EQ(readAllLines(StandardInput), (Lines{"a\nb", "c"}));
}

TEST_F(CheckedFileTest, ConsoleFilesOpenOnFirstUse) {
  fake.standardInput().data = "answer\r\n";
  std::string line;
  textfile::readText(StandardInput, line);
  EXPECT_EQ(line, "answer");
  textfile::writeText(StandardOutput, "hi");
  textfile::writeLineEnd(StandardOutput);
  EXPECT_EQ(takeResult(), 0);
  // Another record bound to the empty name is not opened on demand.
  CheckedFile other;
  bindName(other, "");
  textfile::readText(other, line);
  EXPECT_EQ(takeResult(), kNotOpenForInput);
  textfile::writeText(other, "x");
  EXPECT_EQ(takeResult(), kNotOpenForOutput);
  // Closing the console releases nothing and keeps it open.
  close(StandardOutput);
  EXPECT_EQ(StandardOutput.state, FileState::Output);
  EXPECT_EQ(fake.openHandles(), 2u);
  EXPECT_EQ(fake.standardOutput().data, "hi\r\n");
}

TEST_F(CheckedFileTest, WrittenTextReachesTheFileByDeviceType) {
  struct Case {
    DeviceType type;
    bool lineEndReaches;
  };
  for (Case c :
       {Case{DeviceType::Character, true}, Case{DeviceType::Disk, false},
        Case{DeviceType::Pipe, false}}) {
    auto target = fake.addFile("out");
    target->type = c.type;
    CheckedFile file;
    bindName(file, "out");
    textfile::create(file);
    textfile::writeText(file, std::string(98, 'a'));
    textfile::writeLineEnd(file);
    EXPECT_EQ(target->data.size(), c.lineEndReaches ? 100u : 0u);
    textfile::writeText(file, std::string(28, 'b'));
    EXPECT_EQ(target->data.size(), c.lineEndReaches ? 100u : 128u);
    textfile::writeText(file, "tail");
    close(file);
    EXPECT_EQ(target->data,
              std::string(98, 'a') + "\r\n" + std::string(28, 'b') + "tail");
    EXPECT_EQ(takeResult(), 0);
  }
}

TEST_F(CheckedFileTest, EmptyLineIsJustTheLineEnd) {
  CheckedFile file;
  bindName(file, "out");
  textfile::create(file);
  textfile::writeText(file, "");
  textfile::writeLineEnd(file);
  close(file);
  EXPECT_EQ(fake.contents("out"), "\r\n");
}

TEST_F(CheckedFileTest, ShortWritesAreCompletedNotDropped) {
  CheckedFile file;
  bindName(file, "out");
  textfile::create(file);
  fake.injectFault(fake.calls() + 1, testing::Fault::Short);
  std::string text(300, 'z');
  textfile::writeText(file, text);
  close(file);
  EXPECT_EQ(takeResult(), 0);
  EXPECT_EQ(fake.contents("out"), text);
}

TEST_F(CheckedFileTest, FailedWriteOutDropsItsBytesAndStopsTheString) {
  CheckedFile file;
  bindName(file, "out");
  textfile::create(file);
  fake.injectFault(fake.calls() + 1);
  textfile::writeText(file, std::string(200, 'a'));
  EXPECT_EQ(takeResult(), kDiskFull);
  EXPECT_EQ(file.bufferPosition, 0u);
  textfile::writeText(file, "b");
  close(file);
  EXPECT_EQ(fake.contents("out"), "b");
}

TEST_F(CheckedFileTest, FailedWriteOutAtCloseKeepsTheFileOpen) {
  CheckedFile file;
  bindName(file, "out");
  textfile::create(file);
  textfile::writeText(file, "pending");
  fake.injectFault(fake.calls() + 1);
  close(file);
  EXPECT_EQ(takeResult(), kDiskFull);
  EXPECT_EQ(file.state, FileState::Output);
  EXPECT_EQ(fake.openHandles(), 3u);
}

TEST_F(CheckedFileTest, CreateOnADeviceOfUnknownTypeIsRefused) {
  fake.addFile("dev")->type = DeviceType::Unknown;
  CheckedFile file;
  bindName(file, "dev");
  textfile::create(file);
  EXPECT_EQ(takeResult(), kNotOpenForOutput);
  EXPECT_EQ(file.state, FileState::Closed);
  EXPECT_EQ(fake.openHandles(), 2u);
  // Standard output on such a device: its handle is released too, and the
  // write that opened it reports 105.
  fake.standardOutput().type = DeviceType::Unknown;
  textfile::writeText(StandardOutput, "x");
  EXPECT_EQ(takeResult(), kNotOpenForOutput);
  EXPECT_EQ(fake.openHandles(), 1u);
}

TEST_F(CheckedFileTest, StatesAndCodes) {
  CheckedFile unbound;
  textfile::openRead(unbound);
  EXPECT_EQ(takeResult(), kNotBound);
  bytefile::create(unbound, 1);
  EXPECT_EQ(takeResult(), kNotBound);

  CheckedFile file;
  bindName(file, "missing");
  textfile::openRead(file);
  EXPECT_EQ(takeResult(), kFileNotFound);
  EXPECT_EQ(file.state, FileState::Closed);
  close(file);
  EXPECT_EQ(takeResult(), kNotOpen);

  fake.addFile("t", "line\r\n");
  bindName(file, "t");
  textfile::openRead(file);
  textfile::writeText(file, "x");
  EXPECT_EQ(takeResult(), kNotOpenForOutput);
  textfile::writeLineEnd(file);  // the flush step of an input file is quiet
  EXPECT_EQ(takeResult(), kNotOpenForOutput);
  close(file);
  EXPECT_EQ(takeResult(), 0);
  close(file);
  EXPECT_EQ(takeResult(), kNotOpen);
  std::string line;
  textfile::readText(file, line);
  EXPECT_EQ(takeResult(), kNotOpenForInput);
  EXPECT_TRUE(textfile::atEnd(file));
  EXPECT_EQ(takeResult(), kNotOpenForInput);
  textfile::writeLineEnd(file);
  EXPECT_EQ(takeResult(), kNotOpen);

  // Closing StandardInput that was never opened is no failure.
  close(StandardInput);
  EXPECT_EQ(takeResult(), 0);
}

TEST_F(CheckedFileTest, SecondOpenClosesTheFirst) {
  CheckedFile file;
  bindName(file, "out");
  textfile::create(file);
  textfile::writeText(file, "kept");
  textfile::openRead(file);
  EXPECT_EQ(takeResult(), 0);
  EXPECT_EQ(fake.openHandles(), 3u);
  EXPECT_EQ(readAllLines(file), Lines{"kept"});
  close(file);
  EXPECT_EQ(fake.openHandles(), 2u);
}

// A longer name is refused as the OS refuses a name too long, even where
// its first 259 characters name a file.
TEST_F(CheckedFileTest, NameLongerThan259CharactersOpensNothing) {
  const std::string longest(259, 'n');
  fake.addFile(longest, "kept");
  CheckedFile file;
  bindName(file, longest);
  bytefile::openRead(file, 1);
  EXPECT_EQ(takeResult(), 0);
  close(file);
  for (auto open : {+[](CheckedFile& f) { bytefile::openRead(f, 1); },
                    +[](CheckedFile& f) { bytefile::create(f, 1); },
                    +[](CheckedFile& f) { textfile::openRead(f); },
                    +[](CheckedFile& f) { textfile::create(f); }}) {
    bindName(file, longest + "n");
    EXPECT_EQ(file.name, longest);
    open(file);
    EXPECT_EQ(takeResult(), kFileNameTooLong);
    EXPECT_FALSE(isOpen(file));
  }
  EXPECT_EQ(fake.contents(longest), "kept");
  EXPECT_FALSE(identityOf(longest + "n"));
}

TEST_F(CheckedFileTest, ByteFileRecordsAndEnd) {
  fake.addFile("in", "\x01\xFF");
  CheckedFile file;
  bindName(file, "in");
  bytefile::openRead(file, 1);
  EXPECT_EQ(file.state, FileState::InputOutput);
  std::uint8_t bytes[2] = {};
  EXPECT_FALSE(bytefile::atEnd(file));
  bytefile::readRecords(file, &bytes[0], 1);
  bytefile::readRecords(file, &bytes[1], 1);
  EXPECT_EQ(takeResult(), 0);
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[1], 0xFF);
  EXPECT_TRUE(bytefile::atEnd(file));
  bytefile::readRecords(file, bytes, 1);
  EXPECT_EQ(takeResult(), kReadBeyondEnd);
  std::uint32_t count = 7;
  bytefile::readRecords(file, bytes, 1, &count);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(takeResult(), 0);
  close(file);
  EXPECT_TRUE(bytefile::atEnd(file));
  EXPECT_EQ(takeResult(), kNotOpen);
  bytefile::readRecords(file, bytes, 1);
  EXPECT_EQ(takeResult(), kNotOpen);
}

TEST_F(CheckedFileTest, ByteCreateEmptiesAndWritesThrough) {
  fake.addFile("temp", "old tail");
  CheckedFile file;
  bindName(file, "temp");
  bytefile::create(file, 1);
  EXPECT_TRUE(bytefile::atEnd(file));
  std::uint8_t value = 64;
  bytefile::writeRecords(file, &value, 1);
  EXPECT_EQ(fake.contents("temp"), "@");
  fake.injectFault(fake.calls() + 1, testing::Fault::Short);
  bytefile::writeRecords(file, &value, 1);
  EXPECT_EQ(takeResult(), kShortWrite);
  close(file);
  EXPECT_EQ(takeResult(), 0);
}

TEST_F(CheckedFileTest, ByteOpenAsksReadAndWriteAccess) {
  fake.addFile("locked", "x")->readOnly = true;
  CheckedFile file;
  bindName(file, "locked");
  bytefile::openRead(file, 1);
  EXPECT_EQ(takeResult(), kAccessDenied);
  EXPECT_EQ(file.state, FileState::Closed);
  // Access 0 asks read access only, and the file is then open for input.
  DefaultOpenMode = 0;
  bytefile::openRead(file, 1);
  DefaultOpenMode = 2;
  EXPECT_EQ(takeResult(), 0);
  EXPECT_EQ(file.state, FileState::Input);
  std::uint8_t value = 0;
  bytefile::writeRecords(file, &value, 1);
  EXPECT_EQ(takeResult(), kNotOpen);
}

TEST_F(CheckedFileTest, ByteEndTestComparesFullSizes) {
  Os table = fake.table();
  table.fileSize = [](OsHandle) {
    return OsResult<std::uint64_t>{0, 1ull << 32};
  };
  OsOverride guard(table);
  fake.addFile("big");
  CheckedFile file;
  bindName(file, "big");
  bytefile::openRead(file, 1);
  EXPECT_FALSE(bytefile::atEnd(file));
  EXPECT_EQ(takeResult(), 0);
}

TEST_F(CheckedFileTest, FailedEndQueryAnswersTrue) {
  fake.addFile("in", "abc");
  CheckedFile file;
  bindName(file, "in");
  bytefile::openRead(file, 1);
  for (std::uint32_t query = 1; query <= 2; ++query) {
    fake.injectFault(fake.calls() + query);
    EXPECT_TRUE(bytefile::atEnd(file));
    EXPECT_EQ(takeResult(), kDeviceError);
  }
}

TEST_F(CheckedFileTest, EmptyNameIsTheConsoleForByteFilesToo) {
  fake.standardInput().data = "Z";
  CheckedFile input;
  bindName(input, "");
  bytefile::openRead(input, 1);
  std::uint8_t byte = 0;
  bytefile::readRecords(input, &byte, 1);
  EXPECT_EQ(byte, 'Z');
  CheckedFile output;
  bindName(output, "");
  bytefile::create(output, 1);
  bytefile::writeRecords(output, &byte, 1);
  close(input);
  close(output);
  EXPECT_EQ(takeResult(), 0);
  EXPECT_EQ(fake.standardOutput().data, "Z");
  EXPECT_EQ(fake.openHandles(), 2u);
}

}  // namespace
}  // namespace quorbel
