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
    bind(StandardInput, "");
    bind(StandardOutput, "");
  }
  ~CheckedFileTest() override { IoResult = 0; }

  // All lines of a text file as the run reads them.
  std::vector<std::string> readAllLines(const std::string& name) {
    CheckedFile file;
    bind(file, name);
    textfile::openRead(file);
    std::vector<std::string> lines;
    std::string line;
    while (!textfile::atEnd(file)) {
      textfile::readText(file, line);
      textfile::skipLine(file);
      lines.push_back(line);
    }
    EXPECT_EQ(IoResult, 0);
    close(file);
    return lines;
  }

  FakeOs fake;

 private:
  OsOverride guard_;
};

TEST_F(CheckedFileTest, LineEndsAtCarriageReturnOnly) {
  fake.addFile("t", "A\rB\r\nC\nD");
  EXPECT_EQ(readAllLines("t"),
            (std::vector<std::string>{"A", "B", "C\nD"}));
}

}  // namespace
}  // namespace quorbel
