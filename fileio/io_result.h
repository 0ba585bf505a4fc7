// The per-thread code of the last failed file or console operation, the
// message that each code gives, and the check that turns the code into the
// failure that ends the run.
#pragma once

#include <cstdint>
#include <string>

namespace quorbel {

// 0 while nothing has failed since the last check; otherwise an OS error
// number or one of the layer's own codes below. A later failure overwrites
// an earlier one, and a success never clears it.
extern thread_local std::int32_t IoResult;

inline constexpr std::int32_t kReadBeyondEnd = 100;     // short byte read
inline constexpr std::int32_t kShortWrite = 101;        // short byte write
inline constexpr std::int32_t kNotBound = 102;          // open before bindName
inline constexpr std::int32_t kNotOpen = 103;           // closed file
inline constexpr std::int32_t kNotOpenForInput = 104;   // text read
inline constexpr std::int32_t kNotOpenForOutput = 105;  // text write
// Has a message of its own, but no operation of the layer sets it.
inline constexpr std::int32_t kInvalidNumericInput = 106;

// The message for a code: a fixed text for the codes of the message table,
// "I/O error <code>" for every other.
std::string ioMessage(std::int32_t code);

// Raises an EInOutError for IoResult at the place of its call (the place
// right after the failed check) and resets IoResult to 0.
[[noreturn]] void raiseIoError();

// Returns normally when IoResult is 0; otherwise raises its EInOutError.
// Always inlined, unoptimised builds included, so that every check has a
// place of its own in the calling code.
[[gnu::always_inline]] inline void checkIo() {
  if (IoResult != 0) raiseIoError();
}

}  // namespace quorbel
