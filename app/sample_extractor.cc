#include "app/sample_extractor.h"

#include "app/overwrite_guard.h"
#include "app/run_driver.h"
#include "fileio/byte_file.h"
#include "fileio/io_result.h"

namespace quorbel {

void SampleExtractor(const std::string& inputName) {
  CheckedFile input;
  CheckedFile scratch;
  bind(input, inputName);
  bytefile::openRead(input, 1);
  checkIo();
  // Creating "temp" empties whatever file it reaches.
  refuseToOverwrite(kScratchFileName, "The scratch file",
                    {{input.name, "the input file"}},
                    "rename or copy the input file first");
  refuseToOverwrite(kScratchFileName, "The scratch file", protectedTemplates(),
                    "delete \"temp\" first");
  bind(scratch, kScratchFileName);
  bytefile::create(scratch, 1);
  checkIo();

  std::uint32_t count = 0;
  for (;;) {
    bool end = bytefile::atEnd(input);
    checkIo();
    if (end) break;
    if (count == kSampleLimit) {
      writeLine(StandardOutput,
                "Input file length greater than 2048 bytes... Truncating.");
      break;
    }
    std::uint8_t byte = 0;
    bytefile::readRecords(input, &byte, 1);
    checkIo();
    SampleValue value = byte >> 1;
    bytefile::writeRecords(scratch, &value, 1);
    checkIo();
    ++count;
  }

  close(input);
  checkIo();
  close(scratch);
  checkIo();
}

}  // namespace quorbel
