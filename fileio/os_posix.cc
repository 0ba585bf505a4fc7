// The platform calls over POSIX. Error numbers are mapped into
// the Windows numbering that the rest of the program speaks, so that a
// failure report reads the same on every platform.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "fileio/os_platform.h"

namespace quorbel {
namespace {

// POSIX conditions in our numbering; any other passes through as it is.
// EIO is not 5, which would read "File access denied".
// clang-format off
constexpr struct {
  int posix;
  std::int32_t ours;
} kErrorNumbers[] = {
    {ENOENT, kFileNotFound},     {ENOTDIR, kPathNotFound},
    {ELOOP, kPathNotFound},      {EMFILE, kTooManyOpenFiles},
    {ENFILE, kTooManyOpenFiles}, {EACCES, kAccessDenied},
    {EPERM, kAccessDenied},      {EISDIR, kAccessDenied},
    {EROFS, kAccessDenied},      {ENOSPC, kDiskFull},
    {EDQUOT, kDiskFull},         {EFBIG, kDiskFull},
    {EBADF, kInvalidHandle},     {ETXTBSY, kSharingViolation},
    {EPIPE, kPipeClosing},       {ENAMETOOLONG, kFileNameTooLong},
    {EIO, kDeviceError},         {ESPIPE, kIllegalSeek}};
// clang-format on

// Reads errno at once, before any other call can change it.
std::int32_t lastError() {
  int error = errno;
  for (const auto& mapping : kErrorNumbers) {
    if (mapping.posix == error) return mapping.ours;
  }
  return error;
}

// Indexed by OsAccess.
constexpr int kAccessFlags[] = {O_RDONLY, O_WRONLY, O_RDWR};

int openFlags(OsAccess access, OsExistence existence) {
  int flags = O_CLOEXEC | kAccessFlags[static_cast<int>(access)];
  if (existence == OsExistence::CreateOrEmpty) flags |= O_CREAT | O_TRUNC;
  return flags;
}

// Makes the call again while a signal interrupts it; its result is then
// negative on failure, with errno set.
template <typename Call>
auto restarting(Call call) {
  for (;;) {
    auto result = call();
    // The programs install no signal handler, so on Linux no call of theirs
    // is interrupted: the retry serves a process that does install one.
    if (result >= 0 || errno != EINTR) return result;  // GCOVR_EXCL_BR_LINE
  }
}

// A read or write as the table reports it: the count moved, or the error.
OsResult<std::uint32_t> transferred(ssize_t count) {
  if (count < 0) return {lastError(), 0};
  return {0, static_cast<std::uint32_t>(count)};
}

}  // namespace

namespace platform {

OsResult<OsHandle> openFile(const char* name, OsAccess access, OsSharing,
                            OsExistence existence) {
  int fd = restarting(
      [&] { return ::open(name, openFlags(access, existence), 0666); });
  if (fd < 0) return {lastError(), 0};
  // A directory opens for reading on POSIX; as a file it is refused. An
  // open with write access fails on a directory by itself (EISDIR).
  struct stat info;
  if (access == OsAccess::Read && ::fstat(fd, &info) == 0 &&
      S_ISDIR(info.st_mode)) {
    ::close(fd);
    return {kAccessDenied, 0};
  }
  return {0, fd};
}

OsResult<std::uint32_t> readFile(OsHandle handle, void* buffer,
                                 std::uint32_t count) {
  return transferred(restarting(
      [&] { return ::read(static_cast<int>(handle), buffer, count); }));
}

OsResult<std::uint32_t> writeFile(OsHandle handle, const void* buffer,
                                  std::uint32_t count) {
  return transferred(restarting(
      [&] { return ::write(static_cast<int>(handle), buffer, count); }));
}

std::int32_t closeFile(OsHandle handle) {
  // After EINTR the descriptor is already released on Linux: no retry. The
  // programs never meet EINTR (see restarting).
  int closed = ::close(static_cast<int>(handle));
  if (closed == 0 || errno == EINTR) return 0;  // GCOVR_EXCL_BR_LINE
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

OsResult<FileStatus> fileStatus(const char* name, bool followLink) {
  struct stat info;
  if ((followLink ? ::stat(name, &info) : ::lstat(name, &info)) != 0) {
    return {lastError(), {}};
  }
  FileStatus status;
  if (S_ISDIR(info.st_mode)) status.kind = FileKind::Folder;
  if (S_ISLNK(info.st_mode)) status.kind = FileKind::Link;
  if (S_ISFIFO(info.st_mode)) status.kind = FileKind::Pipe;
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ||
      S_ISSOCK(info.st_mode)) {
    status.kind = FileKind::Device;
  }
  // A busy program file (ETXTBSY) is busy only while it runs: not refused.
  status.writable = ::access(name, W_OK) == 0 || lastError() != kAccessDenied;
  return {0, status};
}

OsResult<std::string> linkTarget(const char* name) {
  std::string target(256, '\0');
  for (;;) {
    ssize_t length = ::readlink(name, target.data(), target.size());
    if (length < 0) return {lastError(), {}};
    if (static_cast<std::size_t>(length) < target.size()) {
      target.resize(static_cast<std::size_t>(length));
      return {0, target};
    }
    target.resize(target.size() * 2);
  }
}

std::size_t programFileName(char* buffer, std::size_t capacity) {
  ssize_t n = ::readlink("/proc/self/exe", buffer, capacity);
  // Without /proc, the name the program was started by. Every machine the
  // tests run on has /proc.
  if (n > 0) return static_cast<std::size_t>(n);  // GCOVR_EXCL_BR_LINE
  // GCOVR_EXCL_START
  std::size_t length = std::min(std::strlen(program_invocation_name), capacity);
  std::memcpy(buffer, program_invocation_name, length);
  return length;
  // GCOVR_EXCL_STOP
}

std::uint32_t imageOffset(const void* address) {
  auto place = reinterpret_cast<std::uintptr_t>(address);
  Dl_info info;
  // Only addresses in the program's own code are asked, whose image dladdr
  // always finds.
  if (::dladdr(address, &info) != 0 &&  // GCOVR_EXCL_BR_LINE
      info.dli_fbase != nullptr) {      // GCOVR_EXCL_BR_LINE
    place -= reinterpret_cast<std::uintptr_t>(info.dli_fbase);
  }
  return static_cast<std::uint32_t>(place);
}

[[noreturn]] void exitProcess(std::int32_t exitCode) { std::exit(exitCode); }

extern const bool kLineFeedEndsConsoleLine = true;

}  // namespace platform

// A reader that has gone, or a file-size limit, must fail the write rather
// than kill the process: the failure is reported like any other.
void prepareProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace quorbel
