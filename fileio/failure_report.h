// The failure report: the first failed operation, or memory running out,
// ends the run with a report on standard output and exit code 1.
//
//   Exception EInOutError in module quorbel at 0001A2B4.<LF>
//   File not found.<CR><LF>
//
// The place is the offset of the failed check from the start of the
// program's image. The error classes below are the only class hierarchy of
// the program; their class names are part of the report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorbel {

class Exception {
 public:
  explicit Exception(std::string message, const void* place = nullptr)
      : message_(std::move(message)), place_(place) {}
  virtual ~Exception() = default;

  virtual const char* className() const { return "Exception"; }
  const std::string& message() const { return message_; }
  // The code address at which the error was raised.
  const void* place() const { return place_; }

 private:
  std::string message_;
  const void* place_;
};

class EInOutError : public Exception {
 public:
  EInOutError(std::string message, std::int32_t code, const void* place)
      : Exception(std::move(message), place), code(code) {}
  const char* className() const override { return "EInOutError"; }

  std::int32_t code;
};

// Made once at start-up, so that reporting it needs no memory.
class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() : Exception("Out of memory") {}
  const char* className() const override { return "EOutOfMemory"; }
};

// The message for an IoResult code.
std::string ioMessage(std::int32_t code);

// True when the report adds a full stop after the message: it is not empty
// and does not end with one already.
bool needsFullStop(std::string_view message);

// Raises a plain Exception with the message at the place of the call.
[[noreturn]] void raiseError(std::string message);

// Writes the report for the error to standard output. A report that cannot
// be written is dropped: the run ends with exit code 1 all the same.
void reportFailure(const Exception& error, const void* place);

// Runs the program's body between start-up and shutdown and returns the exit
// code: 0 after a normal end, 1 after a failure report. Start-up binds the
// console files; the shutdown closes them, writing out what standard output
// still buffers (a failure there is not reported).
std::int32_t runProgram(void (*body)());

}  // namespace quorbel
