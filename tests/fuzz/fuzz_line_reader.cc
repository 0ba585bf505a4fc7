// Fuzzes the text line reader: any bytes, delivered by OS reads of random
// sizes, must read as exactly the lines the reference splitter finds, with
// no failure. The first input byte seeds the read sizes; its top bit reads
// the bytes as standard input on a terminal whose lines end at a line feed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fileio/io_result.h"
#include "fileio/text_file.h"
#include "tests/fake_os.h"
#include "tests/fuzz/short_transfers.h"
#include "tests/reference_rules.h"

namespace quorbel::fuzzing {
namespace {

std::vector<std::string> readLines(CheckedFile& file) {
  std::vector<std::string> lines;
  std::string line;
  while (!textfile::atEnd(file)) {
    textfile::readText(file, line);
    textfile::skipLine(file);
    require(IoResult == 0, "a line read failed");
    require(line.find('\r') == std::string::npos, "a line holds a CR");
    lines.push_back(line);
  }
  require(IoResult == 0, "the end test failed");
  return lines;
}

std::vector<std::string> readerLines(const std::string& data, std::uint8_t seed,
                                     bool console) {
  testing::FakeOs fake;
  Os base = fake.table();
  base.lineFeedEndsConsoleLine = console;
  ShortTransfers shortReads(base, seed);
  OsOverride guard(shortReads.table());
  IoResult = 0;
  if (console) {
    fake.standardInput().data = data;
    bindName(StandardInput, "");
    return readLines(StandardInput);
  }
  fake.addFile("lines", data);
  CheckedFile file;
  bindName(file, "lines");
  textfile::openRead(file);
  require(IoResult == 0, "open failed");
  std::vector<std::string> lines = readLines(file);
  close(file);
  require(IoResult == 0, "close failed");
  return lines;
}

}  // namespace
}  // namespace quorbel::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorbel::fuzzing;
  if (size == 0) return 0;
  bool console = (data[0] & 0x80) != 0;
  std::uint8_t seed = data[0] & 0x7F;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  require(readerLines(text, seed, console) ==
              quorbel::testing::referenceLines(text, console),
          "the lines read differ from the reference");
  return 0;
}
