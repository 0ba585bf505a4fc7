// The record's life common to byte and text files: bindName, close, and
// the start of every open.
#include "fileio/checked_file.h"

#include <cstring>
#include <string>

#include "fileio/io_result.h"
#include "fileio/text_file.h"

namespace quorbel {

CheckedFile StandardInput;
CheckedFile StandardOutput;
std::uint8_t DefaultOpenMode = 2;

std::string_view boundName(std::string_view name) {
  return name.substr(0, kMaxNameLength);
}

void bindName(CheckedFile& file, std::string_view name) {
  file.nameTooLong = name.size() > kMaxNameLength;
  name = boundName(name);
  std::memcpy(file.name, name.data(), name.size());
  file.name[name.size()] = '\0';
  file.state = FileState::Closed;
  file.size = kTextBufferSize;
  file.bufferPosition = 0;
  file.bufferEnd = 0;
  file.bufferReference = file.buffer;
  file.openOrCreate = textfile::openOrCreate;
  file.fillOrWriteOut = nullptr;
  file.writeOutAtLineEnd = nullptr;
  file.releaseHandle = nullptr;
}

void close(CheckedFile& file) {
  std::int32_t error = 0;
  switch (file.state) {
    case FileState::Input:
      error = file.releaseHandle(file);
      break;
    case FileState::Output:
    case FileState::InputOutput:
      // A failed write-out leaves the file open, its text still buffered.
      error = file.fillOrWriteOut(file);
      if (error == 0) error = file.releaseHandle(file);
      break;
    default:
      if (&file != &StandardInput) IoResult = kNotOpen;
      return;
  }
  if (error != 0) IoResult = error;
}

bool deleteFile(std::string_view name) {
  return os().deleteFile(std::string(name).c_str());
}

std::optional<FileIdentity> identityOf(std::string_view name) {
  if (name.size() > kMaxNameLength) return std::nullopt;
  OsResult<FileIdentity> identity =
      os().fileIdentity(std::string(name).c_str());
  if (identity.error != 0) return std::nullopt;
  return identity.value;
}

std::optional<FileStatus> statusOf(std::string_view name, bool followLink) {
  if (name.size() > kMaxNameLength) return std::nullopt;
  OsResult<FileStatus> status =
      os().fileStatus(std::string(name).c_str(), followLink);
  if (status.error != 0) return std::nullopt;
  return status.value;
}

bool startOpen(CheckedFile& file) {
  if (isOpen(file)) close(file);
  if (file.state != FileState::Unbound) return true;
  IoResult = kNotBound;
  return false;
}

std::int32_t doNothing(CheckedFile&) { return 0; }

std::int32_t openHandle(CheckedFile& file, OsAccess access, OsSharing sharing,
                        OsExistence existence) {
  if (file.name[0] == '\0') {
    file.handle = os().standardHandle(existence == OsExistence::MustExist
                                          ? StandardStream::Input
                                          : StandardStream::Output);
    file.releaseHandle = doNothing;
    return 0;
  }
  OsResult<OsHandle> opened =
      file.nameTooLong ? OsResult<OsHandle>{kFileNameTooLong, 0}
                       : os().open(file.name, access, sharing, existence);
  if (opened.error != 0) {
    file.state = FileState::Closed;
    return opened.error;
  }
  file.handle = opened.value;
  file.releaseHandle = [](CheckedFile& named) {
    named.state = FileState::Closed;
    return os().close(named.handle);
  };
  return 0;
}

}  // namespace quorbel
