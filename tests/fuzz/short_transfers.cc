#include "tests/fuzz/short_transfers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace quorbel::fuzzing {

ShortTransfers::ShortTransfers(const Os& inner, std::uint8_t seed)
    : table_(inner), state_(seed * 2654435761u + 1), largest_(seed + 1u) {
  table_.read = [this, read = inner.read](OsHandle handle, void* buffer,
                                          std::uint32_t count) {
    return read(handle, buffer, nextCount(count));
  };
  table_.write = [this, write = inner.write](
                     OsHandle handle, const void* buffer, std::uint32_t count) {
    return write(handle, buffer, nextCount(count));
  };
}

std::uint32_t ShortTransfers::nextCount(std::uint32_t asked) {
  // xorshift32: cheap, and the same seed gives the same run.
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  std::uint32_t count = 1 + state_ % largest_;
  return std::min(asked, count);
}

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

}  // namespace quorbel::fuzzing
