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
  refuseScratchFile(kept);
  bind(scratch, kScratchFileName);
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

bool readSampleValues(CheckedFile& input,
                      const std::function<void(SampleValue)>& take) {
  for (std::uint32_t count = 0;; ++count) {
    bool end = bytefile::atEnd(input);
    checkIo();
    if (end) return false;
    if (count == kSampleLimit) return true;
    std::uint8_t byte = 0;
    bytefile::readRecords(input, &byte, 1);
    checkIo();
    take(byte >> 1);
  }
}

}  // namespace quorbel
