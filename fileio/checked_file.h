// Checked files: one plain record per file, owned by the procedure that
// uses it, for byte files (fixed record size, unbuffered) and text files
// (a 128-byte buffer inside the record, line-oriented). No operation returns
// a failure: each records it in IoResult and the caller runs checkIo right
// after it. Opening and closing allocate nothing, and no destructor ever
// touches the OS, so unwinding after a failure neither flushes nor closes.
//
// This header holds the record and the operations common to both kinds;
// byte_file.h and text_file.h hold the kinds' own operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fileio/os.h"

namespace quorbel {

// Input, Output and InputOutput are the open states (see isOpen).
enum class FileState { Unbound, Closed, Input, Output, InputOutput };

inline constexpr std::uint32_t kTextBufferSize = 128;
inline constexpr std::size_t kMaxNameLength = 259;
// Byte 26 (Ctrl-Z) ends a text file; it is never consumed.
inline constexpr char kEndMarker = 26;

struct CheckedFile;

// An operation slot: returns an OS error number, or 0 on success.
using FileSlot = std::int32_t (*)(CheckedFile&);

struct CheckedFile {
  CheckedFile() = default;
  // The record points into itself (bufferReference), so it is never copied.
  CheckedFile(const CheckedFile&) = delete;
  CheckedFile& operator=(const CheckedFile&) = delete;

  OsHandle handle = 0;
  FileState state = FileState::Unbound;
  // Text files: the buffer size, always 128. Byte files: the record size.
  std::uint32_t size = 0;
  // Text files only: the index of the next character to take or to put, and
  // the number of valid characters when reading.
  std::uint32_t bufferPosition = 0;
  std::uint32_t bufferEnd = 0;
  char* bufferReference = nullptr;
  // The table of operations. Set by bindName: opens the text file for input
  // or creates it for output, as its state says.
  FileSlot openOrCreate = nullptr;
  // The rest are set by the open. Input: fills the buffer from the OS.
  // Output: writes the buffer out. A byte file has nothing to do.
  FileSlot fillOrWriteOut = nullptr;
  // Run after each line end written: writes the buffer out on a console,
  // does nothing elsewhere. Never run for input.
  FileSlot writeOutAtLineEnd = nullptr;
  // Releases the handle of a named file; never the console's.
  FileSlot releaseHandle = nullptr;
  char name[kMaxNameLength + 1] = {};
  // The name given to bindName was longer than kMaxNameLength: every open
  // fails as the OS fails a name too long, rather than reach the file that
  // the cut name happens to name.
  bool nameTooLong = false;
  char buffer[kTextBufferSize] = {};
};

// The console, bound to the empty name at start-up and opened on first use.
extern CheckedFile StandardInput;
extern CheckedFile StandardOutput;

// Low two bits: the access of a byte file opened for reading (0 read,
// 1 write, 2 or 3 read and write). Bits 4 to 6: the sharing of every byte
// file opened or created (0: others may read and write).
extern std::uint8_t DefaultOpenMode;

// The name as bindName keeps it: its first 259 characters.
std::string_view boundName(std::string_view name);

// Ties the name to the record and makes it a closed text file. The empty
// name means the console. Cannot fail; a name longer than 259 characters
// is kept cut, and every open of it then fails (206).
void bindName(CheckedFile& file, std::string_view name);

// Writes out what a file open for output still buffers, then releases the
// handle; the console's handles are never released.
void close(CheckedFile& file);

// True when the OS deleted the file. Leaves IoResult alone.
bool deleteFile(std::string_view name);

// The identity of the named file, which tells it apart from every other
// file whatever name reaches it (a path through another folder, a link);
// none when it does not exist or its name is too long to open. Leaves
// IoResult alone.
std::optional<FileIdentity> identityOf(std::string_view name);

// What the named file is (see FileStatus); none as for identityOf.
std::optional<FileStatus> statusOf(std::string_view name, bool followLink);

inline bool isOpen(const CheckedFile& file) {
  return file.state >= FileState::Input;
}

// For the kinds' opens: closes a file that is still open, and refuses a
// record that was never bound (102). True when the open may go on.
bool startOpen(CheckedFile& file);

// For the kinds' opens: the console's standard input (MustExist) or output
// for the empty name, whose handle is never released; otherwise the named
// file.
// After a refusal the file is closed and the OS's error number returned.
std::int32_t openHandle(CheckedFile& file, OsAccess access, OsSharing sharing,
                        OsExistence existence);

// The slot of a step that has nothing to do.
std::int32_t doNothing(CheckedFile& file);

}  // namespace quorbel
