// An OS table for fuzz targets that passes every call on to another table
// but lets each read and write move a pseudo-random number of bytes, as a
// pipe or a slow device may: at least one, never more than asked.
#pragma once

#include <cstdint>

#include "fileio/os.h"

namespace quorbel::fuzzing {

class ShortTransfers {
 public:
  // The seed picks both the sequence and the largest transfer (1..256).
  ShortTransfers(const Os& inner, std::uint8_t seed);
  ShortTransfers(const ShortTransfers&) = delete;
  ShortTransfers& operator=(const ShortTransfers&) = delete;

  const Os& table() const { return table_; }

 private:
  std::uint32_t nextCount(std::uint32_t asked);

  Os table_;
  std::uint32_t state_;
  std::uint32_t largest_;
};

// Ends the process with the message when a property does not hold, so that
// the fuzzer (or the corpus replay) reports the input.
void require(bool holds, const char* what);

}  // namespace quorbel::fuzzing
