#include "fileio/byte_file.h"

#include "fileio/io_result.h"

namespace quorbel::bytefile {
namespace {

OsSharing sharingOf(std::uint8_t mode) {
  switch ((mode >> 4) & 7) {
    case 1:
      return OsSharing::None;
    case 2:
      return OsSharing::Read;
    case 3:
      return OsSharing::Write;
    default:
      return OsSharing::ReadWrite;
  }
}

void open(CheckedFile& file, std::uint32_t recordSize, OsAccess access,
          OsExistence existence) {
  if (!startOpen(file)) return;
  file.size = recordSize;
  file.transferSlot = doNothing;
  file.flushSlot = nullptr;
  file.state = FileState::InputOutput;
  if (file.name[0] == '\0') {
    file.handle = os().standardHandle(existence == OsExistence::MustExist
                                          ? StandardStream::Input
                                          : StandardStream::Output);
    file.closeSlot = doNothing;
    return;
  }
  if (access == OsAccess::Read) file.state = FileState::Input;
  if (access == OsAccess::Write) file.state = FileState::Output;
  OsResult<OsHandle> opened =
      os().open(file.name, access, sharingOf(DefaultOpenMode), existence);
  if (opened.error != 0) {
    file.state = FileState::Closed;
    IoResult = opened.error;
    return;
  }
  file.handle = opened.value;
  file.closeSlot = closeHandle;
}

}  // namespace

void openRead(CheckedFile& file, std::uint32_t recordSize) {
  static constexpr OsAccess kAccess[] = {OsAccess::Read, OsAccess::Write,
                                         OsAccess::ReadWrite,
                                         OsAccess::ReadWrite};
  open(file, recordSize, kAccess[DefaultOpenMode & 3], OsExistence::MustExist);
}

void create(CheckedFile& file, std::uint32_t recordSize) {
  open(file, recordSize, OsAccess::ReadWrite, OsExistence::CreateOrEmpty);
}

void readRecords(CheckedFile& file, void* records, std::uint32_t count,
                 std::uint32_t* countResult) {
  if (!isOpen(file)) {
    IoResult = kNotOpen;
    return;
  }
  OsResult<std::uint32_t> read =
      os().read(file.handle, records, count * file.size);
  if (read.error != 0) {
    IoResult = read.error;
    return;
  }
  std::uint32_t whole = read.value / file.size;
  if (countResult != nullptr) {
    *countResult = whole;
  } else if (whole != count) {
    IoResult = kReadBeyondEnd;
  }
}

void writeRecords(CheckedFile& file, const void* records, std::uint32_t count,
                  std::uint32_t* countResult) {
  if (file.state != FileState::Output && file.state != FileState::InputOutput) {
    IoResult = kNotOpen;
    return;
  }
  OsResult<std::uint32_t> written =
      os().write(file.handle, records, count * file.size);
  if (written.error != 0) {
    IoResult = written.error;
    return;
  }
  std::uint32_t whole = written.value / file.size;
  if (countResult != nullptr) {
    *countResult = whole;
  } else if (whole != count) {
    IoResult = kShortWrite;
  }
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
