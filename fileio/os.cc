// The platform's table, and which table is in force.
#include "fileio/os.h"

#include "fileio/os_platform.h"

namespace quorbel {
namespace {
const Os* replacement = nullptr;
}  // namespace

const Os& defaultOs() {
  static const Os table{
      .open = platform::openFile,
      .read = platform::readFile,
      .write = platform::writeFile,
      .close = platform::closeFile,
      .fileSize = platform::fileSize,
      .filePosition = platform::filePosition,
      .deviceType = platform::deviceType,
      .standardHandle = platform::standardHandle,
      .deleteFile = platform::deleteFile,
      .fileIdentity = platform::fileIdentity,
      .fileStatus = platform::fileStatus,
      .linkTarget = platform::linkTarget,
      .programFileName = platform::programFileName,
      .imageOffset = platform::imageOffset,
      .exitProcess = platform::exitProcess,
      .lineFeedEndsConsoleLine = platform::kLineFeedEndsConsoleLine,
  };
  return table;
}

const Os& os() { return replacement != nullptr ? *replacement : defaultOs(); }

OsOverride::OsOverride(const Os& table) : previous_(replacement) {
  replacement = &table;
}

OsOverride::~OsOverride() { replacement = previous_; }

}  // namespace quorbel
