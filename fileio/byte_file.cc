#include "fileio/byte_file.h"

#include "fileio/io_result.h"

namespace quorbel::bytefile {
namespace {

// What others may do with a byte file meanwhile, by bits 4 to 6 of
// DefaultOpenMode.
constexpr OsSharing kSharing[] = {OsSharing::ReadWrite, OsSharing::None,
                                  OsSharing::Read,      OsSharing::Write,
                                  OsSharing::ReadWrite, OsSharing::ReadWrite,
                                  OsSharing::ReadWrite, OsSharing::ReadWrite};

// One OS transfer of count records, when the state allows it (103
// otherwise). The whole records moved go into the count result when one is
// asked for; otherwise fewer than count sets `shortCode`.
template <typename Transfer>
void transferRecords(CheckedFile& file, bool allowed, std::uint32_t count,
                     std::uint32_t* countResult, std::int32_t shortCode,
                     Transfer osTransfer) {
  if (!allowed) {
    IoResult = kNotOpen;
    return;
  }
  OsResult<std::uint32_t> moved = osTransfer(count * file.size);
  if (moved.error != 0) {
    IoResult = moved.error;
    return;
  }
  std::uint32_t whole = moved.value / file.size;
  if (countResult != nullptr) {
    *countResult = whole;
  } else if (whole != count) {
    IoResult = shortCode;
  }
}

void open(CheckedFile& file, std::uint32_t recordSize, OsAccess access,
          OsExistence existence) {
  if (!startOpen(file)) return;
  file.size = recordSize;
  file.fillOrWriteOut = doNothing;
  file.writeOutAtLineEnd = nullptr;
  // A named file is open in the direction of its access, the console both
  // ways.
  constexpr FileState kStates[] = {FileState::Input, FileState::Output,
                                   FileState::InputOutput};
  file.state = file.name[0] == '\0' ? FileState::InputOutput
                                    : kStates[static_cast<int>(access)];
  std::int32_t error =
      openHandle(file, access, kSharing[(DefaultOpenMode >> 4) & 7], existence);
  if (error != 0) IoResult = error;
}

}  // namespace

void openRead(CheckedFile& file, std::uint32_t recordSize) {
  static constexpr OsAccess kAccess[] = {OsAccess::Read, OsAccess::Write,
                                         OsAccess::ReadWrite,
                                         OsAccess::ReadWrite};
  open(file, recordSize, kAccess[DefaultOpenMode & 3], OsExistence::MustExist);
}

void openReadOnly(CheckedFile& file, std::uint32_t recordSize) {
  open(file, recordSize, OsAccess::Read, OsExistence::MustExist);
}

void create(CheckedFile& file, std::uint32_t recordSize) {
  open(file, recordSize, OsAccess::ReadWrite, OsExistence::CreateOrEmpty);
}

void readRecords(CheckedFile& file, void* records, std::uint32_t count,
                 std::uint32_t* countResult) {
  transferRecords(file, isOpen(file), count, countResult, kReadBeyondEnd,
                  [&](std::uint32_t bytes) {
                    return os().read(file.handle, records, bytes);
                  });
}

void writeRecords(CheckedFile& file, const void* records, std::uint32_t count,
                  std::uint32_t* countResult) {
  bool writable =
      file.state == FileState::Output || file.state == FileState::InputOutput;
  transferRecords(file, writable, count, countResult, kShortWrite,
                  [&](std::uint32_t bytes) {
                    return os().write(file.handle, records, bytes);
                  });
}

bool atEnd(CheckedFile& file) {
  if (!isOpen(file)) {
    IoResult = kNotOpen;
    return true;
  }
  OsResult<std::uint64_t> size = os().fileSize(file.handle);
  if (size.error != 0) {
    IoResult = size.error;
    return true;
  }
  OsResult<std::uint64_t> position = os().filePosition(file.handle);
  if (position.error != 0) {
    IoResult = position.error;
    return true;
  }
  // Full 64-bit sizes: a file of 4 GiB or more is not taken as short.
  return position.value >= size.value;
}

}  // namespace quorbel::bytefile
