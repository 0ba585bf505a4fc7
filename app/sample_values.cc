#include "app/sample_values.h"

#include "fileio/byte_file.h"
#include "fileio/io_result.h"

namespace quorbel {

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
