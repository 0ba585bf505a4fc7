#include "app/sample_extractor.h"

#include "app/names_and_limits.h"
#include "fileio/byte_file.h"
#include "fileio/io_result.h"
#include "fileio/text_file.h"

namespace quorbel {

void extractSamples(const std::string& inputName,
                    const std::vector<ProtectedFile>& kept) {
  CheckedFile input;
  CheckedFile scratch;
  bind(input, inputName);
  bytefile::openRead(input, 1);
  checkIo();
  // Creating "temp" empties whatever file it reaches: the input file (the
  // last of the kept files) or a template (the first ones).
  std::span<const ProtectedFile> files(kept);
  refuseToOverwrite("The scratch file", kScratchFileName, files.last(1),
                    "rename or copy the input file first");
  refuseToOverwrite("The scratch file", kScratchFileName,
                    files.first(kPatchCount), "delete \"temp\" first");
  bind(scratch, kScratchFileName);
  bytefile::create(scratch, 1);
  checkIo();

  std::uint32_t count = 0;
  for (;;) {
    bool end = bytefile::atEnd(input);
    checkIo();
    if (end) break;
    if (count == kSampleLimit) {
      textfile::writeLine(
          StandardOutput,
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
