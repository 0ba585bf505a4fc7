#include "app/sample_extractor.h"

#include "app/run_driver.h"
#include "app/template_rewriter.h"
#include "fileio/byte_file.h"
#include "fileio/failure_report.h"
#include "fileio/io_result.h"

namespace quorbel {

void SampleExtractor(const std::string& inputName) {
  CheckedFile input;
  CheckedFile scratch;
  bind(input, inputName);
  bytefile::openRead(input, 1);
  checkIo();
  // Creating "temp" would empty such an input before it is read.
  if (sameFile(input.name, kScratchFileName)) {
    raiseError("Input file \"" + std::string(input.name) +
               "\" is the scratch file \"temp\" that the run overwrites; "
               "rename or copy it first");
  }
  // A "temp" left behind as a link to a template would empty it.
  for (int number = 1; number <= kPatchCount; ++number) {
    std::string name = templateName(number);
    if (sameFile(kScratchFileName, name.c_str())) {
      raiseError("The scratch file \"temp\" would overwrite the template \"" +
                 name + "\"; delete \"temp\" first");
    }
  }
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
