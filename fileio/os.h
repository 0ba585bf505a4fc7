// The one door to the operating system. Everything the file layer asks of
// the OS goes through the table of calls below: defaultOs() holds the
// platform's own calls (os_posix.cc or os_win32.cc), and tests swap in their
// own table (an in-memory file system, or one that fails a chosen call) with
// OsOverride.
//
// Every call that can fail reports an error number in Windows' numbering
// (named below); other conditions pass through with the platform's number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quorbel {

// An OS file handle: a descriptor on POSIX, a HANDLE on Windows.
using OsHandle = std::intptr_t;

// The error numbers that the program or its tests name.
inline constexpr std::int32_t kFileNotFound = 2;
inline constexpr std::int32_t kPathNotFound = 3;
inline constexpr std::int32_t kTooManyOpenFiles = 4;
inline constexpr std::int32_t kAccessDenied = 5;
inline constexpr std::int32_t kInvalidHandle = 6;
// A position asked of a pipe.
inline constexpr std::int32_t kIllegalSeek = 29;
inline constexpr std::int32_t kSharingViolation = 32;
// A read whose writer has gone.
inline constexpr std::int32_t kBrokenPipe = 109;
inline constexpr std::int32_t kDiskFull = 112;
inline constexpr std::int32_t kFileNameTooLong = 206;
// A write whose reader has gone.
inline constexpr std::int32_t kPipeClosing = 232;
inline constexpr std::int32_t kDeviceError = 1117;

enum class OsAccess : std::uint8_t { Read, Write, ReadWrite };
// What other openers of the same file may do meanwhile. Windows enforces it;
// POSIX has no such thing and ignores it.
enum class OsSharing : std::uint8_t { None, Read, Write, ReadWrite };
enum class OsExistence : std::uint8_t { MustExist, CreateOrEmpty };
enum class DeviceType : std::uint8_t { Unknown, Disk, Character, Pipe };
enum class StandardStream : std::uint8_t { Input, Output };

// What a name in a folder is. Device stands for every other kind (a
// character or block device, a socket).
enum class FileKind : std::uint8_t { File, Folder, Link, Pipe, Device };

struct FileStatus {
  FileKind kind = FileKind::File;
  // False when the permissions refuse this process writing what the name
  // reaches (through a link, its target); an open may still fail for
  // another reason.
  bool writable = true;
};

// A file's identity: two names reach the same file exactly when the
// identities are equal (device and inode; volume serial and file index).
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The outcome of a call: an error number (0 for success) and, on success,
// the call's value (a handle, a byte count, a size or a position).
template <typename T>
struct OsResult {
  std::int32_t error = 0;
  T value{};
};

struct Os {
  // Opens or creates the named file. CreateOrEmpty creates a missing file
  // and empties an existing one to length 0. The position starts at 0.
  std::function<OsResult<OsHandle>(const char* name, OsAccess, OsSharing,
                                   OsExistence)>
      open;
  // One read of up to count bytes; the value is the count delivered, 0 at
  // the end of the data.
  std::function<OsResult<std::uint32_t>(OsHandle, void* buffer,
                                        std::uint32_t count)>
      read;
  // One write of up to count bytes; the value is the count accepted, which
  // may be less than asked.
  std::function<OsResult<std::uint32_t>(OsHandle, const void* buffer,
                                        std::uint32_t count)>
      write;
  // Releases the handle; the returned number is 0 on success.
  std::function<std::int32_t(OsHandle)> close;
  std::function<OsResult<std::uint64_t>(OsHandle)> fileSize;
  std::function<OsResult<std::uint64_t>(OsHandle)> filePosition;
  // Unknown when the type cannot be told or the query fails.
  std::function<DeviceType(OsHandle)> deviceType;
  std::function<OsHandle(StandardStream)> standardHandle;
  // True when the OS deleted the file.
  std::function<bool(const char* name)> deleteFile;
  // The identity of the named file, which must exist.
  std::function<OsResult<FileIdentity>(const char* name)> fileIdentity;
  // What the name is; with followLink false, a link at its end is itself
  // the answer (Link), dangling or not. A missing name is an error.
  std::function<OsResult<FileStatus>(const char* name, bool followLink)>
      fileStatus;
  // Where the link points, as written in it.
  std::function<OsResult<std::string>(const char* name)> linkTarget;
  // Writes the running program's own file name, directory included, into
  // the buffer and returns its length (at most capacity). Allocates nothing:
  // it serves the failure report, which may run when memory is exhausted.
  std::function<std::size_t(char* buffer, std::size_t capacity)>
      programFileName;
  // The offset of a code address from the start of the program's image, so
  // that a place in the code reads the same from run to run.
  std::function<std::uint32_t(const void* address)> imageOffset;
  // Ends the process at once with the exit code.
  std::function<void(std::int32_t exitCode)> exitProcess;
  // True where a terminal ends a typed line with a bare line feed, so that
  // standard input also ends a line there.
  bool lineFeedEndsConsoleLine = false;
};

// The platform's own table, made once.
const Os& defaultOs();

// Readies the process at start-up: a write to a pipe whose reader has gone,
// or past a file-size limit, then fails instead of ending it by a signal.
void prepareProcess();

// The table in force: defaultOs() unless an OsOverride is alive.
const Os& os();

// Puts another table in force for the guard's lifetime (tests only).
class OsOverride {
 public:
  explicit OsOverride(const Os& replacement);
  ~OsOverride();
  OsOverride(const OsOverride&) = delete;
  OsOverride& operator=(const OsOverride&) = delete;

 private:
  const Os* previous_;
};

}  // namespace quorbel
