// Which operating-system table is in force.
#include "fileio/os.h"

namespace quorbel {
namespace {
const Os* replacement = nullptr;
}  // namespace

const Os& os() { return replacement != nullptr ? *replacement : defaultOs(); }

OsOverride::OsOverride(const Os& table) : previous_(replacement) {
  replacement = &table;
}

OsOverride::~OsOverride() { replacement = previous_; }

}  // namespace quorbel
