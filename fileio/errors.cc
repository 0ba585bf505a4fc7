#include "fileio/errors.h"

namespace quorbel {

// Not inlined, so that the return address is the place of the call.
[[gnu::noinline]] void raiseError(std::string message) {
  throw Exception(std::move(message), __builtin_return_address(0));
}

}  // namespace quorbel
