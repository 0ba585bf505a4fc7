// The operating-system table over POSIX calls. Error numbers are mapped into
// the Windows numbering that the rest of the program speaks, so that a
// failure report reads the same on every platform.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "fileio/os.h"

namespace quorbel {
namespace {

constexpr std::int32_t kInvalidHandle = 6;
constexpr std::int32_t kSharingViolation = 32;
constexpr std::int32_t kFileNameTooLong = 206;
constexpr std::int32_t kPipeClosing = 232;
constexpr std::int32_t kDeviceError = 1117;

std::int32_t errorNumber(int posixError) {
  switch (posixError) {
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
    case ELOOP:
      return kPathNotFound;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return kAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kDiskFull;
    case EBADF:
      return kInvalidHandle;
    case ETXTBSY:
      return kSharingViolation;
    case ENAMETOOLONG:
      return kFileNameTooLong;
    case EPIPE:
      return kPipeClosing;
    case EIO:
      return kDeviceError;
    default:
      return posixError;
  }
}

// Reads errno at once, before any other call can change it.
std::int32_t lastError() { return errorNumber(errno); }

int openFlags(OsAccess access, OsExistence existence) {
  int flags = O_CLOEXEC;
  switch (access) {
    case OsAccess::Read:
      flags |= O_RDONLY;
      break;
    case OsAccess::Write:
      flags |= O_WRONLY;
      break;
    case OsAccess::ReadWrite:
      flags |= O_RDWR;
      break;
  }
  if (existence == OsExistence::CreateOrEmpty) flags |= O_CREAT | O_TRUNC;
  return flags;
}

OsResult<OsHandle> openFile(const char* name, OsAccess access, OsSharing,
                            OsExistence existence) {
  for (;;) {
    int fd = ::open(name, openFlags(access, existence), 0666);
    if (fd >= 0) {
      // A directory opens for reading on POSIX; as a file it is refused.
      // An open with write access fails on a directory by itself (EISDIR).
      struct stat info;
      if (access == OsAccess::Read && ::fstat(fd, &info) == 0 &&
          S_ISDIR(info.st_mode)) {
        ::close(fd);
        return {kAccessDenied, 0};
      }
      return {0, fd};
    }
    if (errno != EINTR) return {lastError(), 0};
  }
}

OsResult<std::uint32_t> readFile(OsHandle handle, void* buffer,
                                 std::uint32_t count) {
  for (;;) {
    ssize_t n = ::read(static_cast<int>(handle), buffer, count);
    if (n >= 0) return {0, static_cast<std::uint32_t>(n)};
    if (errno != EINTR) return {lastError(), 0};
  }
}

OsResult<std::uint32_t> writeFile(OsHandle handle, const void* buffer,
                                  std::uint32_t count) {
  for (;;) {
    ssize_t n = ::write(static_cast<int>(handle), buffer, count);
    if (n >= 0) return {0, static_cast<std::uint32_t>(n)};
    if (errno != EINTR) return {lastError(), 0};
  }
}

std::int32_t closeFile(OsHandle handle) {
  // After EINTR the descriptor is already released on Linux: no retry.
  if (::close(static_cast<int>(handle)) == 0 || errno == EINTR) return 0;
  return lastError();
}

OsResult<std::uint64_t> fileSize(OsHandle handle) {
  struct stat info;
  if (::fstat(static_cast<int>(handle), &info) != 0) return {lastError(), 0};
  return {0, static_cast<std::uint64_t>(info.st_size)};
}

OsResult<std::uint64_t> filePosition(OsHandle handle) {
  off_t position = ::lseek(static_cast<int>(handle), 0, SEEK_CUR);
  if (position < 0) return {lastError(), 0};
  return {0, static_cast<std::uint64_t>(position)};
}

DeviceType deviceType(OsHandle handle) {
  struct stat info;
  if (::fstat(static_cast<int>(handle), &info) != 0) return DeviceType::Unknown;
  if (S_ISCHR(info.st_mode)) return DeviceType::Character;
  if (S_ISREG(info.st_mode) || S_ISBLK(info.st_mode)) return DeviceType::Disk;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return DeviceType::Pipe;
  return DeviceType::Unknown;
}

OsHandle standardHandle(StandardStream stream) {
  return stream == StandardStream::Input ? STDIN_FILENO : STDOUT_FILENO;
}

bool deleteFile(const char* name) { return ::unlink(name) == 0; }

OsResult<FileIdentity> fileIdentity(const char* name) {
  struct stat info;
  if (::stat(name, &info) != 0) return {lastError(), {}};
  return {0,
          {static_cast<std::uint64_t>(info.st_dev),
           static_cast<std::uint64_t>(info.st_ino)}};
}

std::size_t programFileName(char* buffer, std::size_t capacity) {
  ssize_t n = ::readlink("/proc/self/exe", buffer, capacity);
  if (n > 0) return static_cast<std::size_t>(n);
  const char* fallback = program_invocation_name;
  std::size_t length = std::strlen(fallback);
  if (length > capacity) length = capacity;
  std::memcpy(buffer, fallback, length);
  return length;
}

std::uint32_t imageOffset(const void* address) {
  Dl_info info;
  if (::dladdr(address, &info) == 0 || info.dli_fbase == nullptr) {
    return static_cast<std::uint32_t>(
        reinterpret_cast<std::uintptr_t>(address));
  }
  return static_cast<std::uint32_t>(
      reinterpret_cast<std::uintptr_t>(address) -
      reinterpret_cast<std::uintptr_t>(info.dli_fbase));
}

[[noreturn]] void exitProcess(std::int32_t exitCode) { std::exit(exitCode); }

Os makePosixOs() {
  // A reader that has gone, or a file-size limit, must fail the write rather
  // than kill the process: the failure is reported like any other.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  Os table;
  table.open = openFile;
  table.read = readFile;
  table.write = writeFile;
  table.close = closeFile;
  table.fileSize = fileSize;
  table.filePosition = filePosition;
  table.deviceType = deviceType;
  table.standardHandle = standardHandle;
  table.deleteFile = deleteFile;
  table.fileIdentity = fileIdentity;
  table.programFileName = programFileName;
  table.imageOffset = imageOffset;
  table.exitProcess = exitProcess;
  table.lineFeedEndsConsoleLine = true;
  return table;
}

}  // namespace

const Os& defaultOs() {
  static const Os table = makePosixOs();
  return table;
}

}  // namespace quorbel
