#include "app/sample_extractor.h"

#include "app/names_and_limits.h"
#include "app/sample_values.h"
#include "fileio/byte_file.h"
#include "fileio/io_result.h"
#include "fileio/text_file.h"

namespace quorbel {

void extractSamples(const std::string& inputName,
                    const std::vector<ProtectedFile>& kept) {
  CheckedFile input;
  CheckedFile scratch;
  bindName(input, inputName);
  bytefile::openRead(input, 1);
  checkIo();
  refuseScratchFile(kept);
  bindName(scratch, kScratchFileName);
  bytefile::create(scratch, 1);
  checkIo();

  bool truncated = readSampleValues(input, [&scratch](SampleValue value) {
    bytefile::writeRecords(scratch, &value, 1);
    checkIo();
  });
  if (truncated) {
    textfile::writeLine(
        StandardOutput,
        "Input file length greater than 2048 bytes... Truncating.");
  }

  close(input);
  checkIo();
  close(scratch);
  checkIo();
}

}  // namespace quorbel
