#include "fileio/text_file.h"

#include <algorithm>
#include <cstring>

#include "fileio/io_result.h"

namespace quorbel::textfile {
namespace {

constexpr char kCarriageReturn = 13;
constexpr char kLineFeed = 10;

std::int32_t fill(CheckedFile& file) {
  file.bufferPosition = 0;
  file.bufferEnd = 0;
  OsResult<std::uint32_t> read =
      os().read(file.handle, file.bufferReference, file.size);
  // A pipe whose writer has gone simply has no more data.
  if (read.error == kBrokenPipe) return 0;
  if (read.error != 0) return read.error;
  file.bufferEnd = read.value;
  return 0;
}

std::int32_t writeOut(CheckedFile& file) {
  const char* pending = file.bufferReference;
  std::uint32_t count = file.bufferPosition;
  // The buffer is emptied whatever happens: after a failure its bytes are
  // dropped rather than written twice.
  file.bufferPosition = 0;
  while (count > 0) {
    // The OS may take fewer bytes than asked (a pipe, a disk filling up).
    OsResult<std::uint32_t> written = os().write(file.handle, pending, count);
    if (written.error != 0) return written.error;
    if (written.value == 0) return kShortWrite;
    pending += written.value;
    count -= written.value;
  }
  return 0;
}

// Standard input also ends a line at a bare line feed where the terminal
// ends typed lines that way.
bool lineFeedEndsLine(const CheckedFile& file) {
  return file.name[0] == '\0' && os().lineFeedEndsConsoleLine;
}

void open(CheckedFile& file, FileState direction) {
  if (!startOpen(file)) return;
  file.state = direction;
  if (std::int32_t error = file.openOrCreate(file); error != 0) {
    IoResult = error;
  }
}

// True when the file is open in `direction` (input or output). The
// console's own record for that direction is opened on first use; any other
// file, or the console when that open fails, gets 104 for input and 105
// for output, in place of the open's own code.
bool openFor(CheckedFile& file, FileState direction) {
  if (file.state == direction) return true;
  const bool input = direction == FileState::Input;
  if (&file == (input ? &StandardInput : &StandardOutput)) {
    open(file, direction);
    if (file.state == direction) return true;
  }
  IoResult = input ? kNotOpenForInput : kNotOpenForOutput;
  return false;
}

// Makes the next character available at the buffer position, filling the
// buffer when it is used up; when the OS has no more data, a Ctrl-Z is
// stored there, so every later read finds the end without asking again.
// False when there is no character: the file is not open for input (104)
// or the OS read failed (its code set, nothing stored).
bool nextCharacter(CheckedFile& file) {
  if (!openFor(file, FileState::Input)) return false;
  if (file.bufferPosition < file.bufferEnd) return true;
  if (std::int32_t error = file.fillOrWriteOut(file); error != 0) {
    IoResult = error;
    return false;
  }
  if (file.bufferEnd == 0) {
    file.bufferReference[0] = kEndMarker;
    file.bufferEnd = 1;
  }
  return true;
}

char currentCharacter(const CheckedFile& file) {
  return file.bufferReference[file.bufferPosition];
}

}  // namespace

std::int32_t openOrCreate(CheckedFile& file) {
  bool input = file.state == FileState::Input;
  file.bufferPosition = 0;
  file.bufferEnd = 0;
  file.writeOutAtLineEnd = doNothing;
  file.fillOrWriteOut = input ? fill : writeOut;
  std::int32_t error = input
                           ? openHandle(file, OsAccess::Read, OsSharing::Read,
                                        OsExistence::MustExist)
                           : openHandle(file, OsAccess::Write, OsSharing::Read,
                                        OsExistence::CreateOrEmpty);
  if (error != 0 || input) return error;
  DeviceType type = os().deviceType(file.handle);
  if (type == DeviceType::Unknown) {
    // Standard output's handle is released here too.
    os().close(file.handle);
    file.state = FileState::Closed;
    return kNotOpenForOutput;
  }
  // A console shows every line as soon as it ends.
  if (type == DeviceType::Character) file.writeOutAtLineEnd = writeOut;
  return 0;
}

void openRead(CheckedFile& file) { open(file, FileState::Input); }

void create(CheckedFile& file) { open(file, FileState::Output); }

void readText(CheckedFile& file, std::string& line) {
  line.clear();
  bool stopAtLineFeed = lineFeedEndsLine(file);
  while (nextCharacter(file)) {
    const char* start = file.bufferReference + file.bufferPosition;
    const char* end = file.bufferReference + file.bufferEnd;
    const char* stop = std::find_if(start, end, [stopAtLineFeed](char c) {
      return c == kCarriageReturn || c == kEndMarker ||
             (c == kLineFeed && stopAtLineFeed);
    });
    line.append(start, stop);
    file.bufferPosition += static_cast<std::uint32_t>(stop - start);
    if (stop != end) return;
  }
}

void skipLine(CheckedFile& file) {
  bool stopAtLineFeed = lineFeedEndsLine(file);
  while (nextCharacter(file)) {
    char c = currentCharacter(file);
    if (c == kEndMarker) return;
    ++file.bufferPosition;
    if (c == kCarriageReturn) {
      if (nextCharacter(file) && currentCharacter(file) == kLineFeed) {
        ++file.bufferPosition;
      }
      return;
    }
    if (c == kLineFeed && stopAtLineFeed) return;
  }
}

bool atEnd(CheckedFile& file) {
  return !nextCharacter(file) || currentCharacter(file) == kEndMarker;
}

void writeText(CheckedFile& file, std::string_view text) {
  if (!openFor(file, FileState::Output)) return;
  while (!text.empty()) {
    std::size_t room = file.size - file.bufferPosition;
    std::size_t count = std::min(room, text.size());
    std::memcpy(file.bufferReference + file.bufferPosition, text.data(), count);
    file.bufferPosition += static_cast<std::uint32_t>(count);
    text.remove_prefix(count);
    if (file.bufferPosition == file.size) {
      if (std::int32_t error = file.fillOrWriteOut(file); error != 0) {
        IoResult = error;
        return;
      }
    }
  }
}

void writeLineEnd(CheckedFile& file) {
  writeText(file, "\r\n");
  std::int32_t error = 0;
  switch (file.state) {
    case FileState::Output:
      error = file.writeOutAtLineEnd(file);
      break;
    case FileState::Input:
      break;
    default:
      error = kNotOpen;
      break;
  }
  if (error != 0) IoResult = error;
}

void readLine(CheckedFile& file, std::string& line) {
  readText(file, line);
  skipLine(file);
  checkIo();
}

void writeLine(CheckedFile& file, std::string_view line) {
  writeText(file, line);
  writeLineEnd(file);
  checkIo();
}

}  // namespace quorbel::textfile
