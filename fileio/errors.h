// The error classes, the only class hierarchy of the program. A failure
// that no caller catches ends the run with the failure report, which prints
// the class name: the names are part of the program's output.
#pragma once

#include <cstdint>
#include <string>

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

// Raises a plain Exception with the message at the place of the call.
[[noreturn]] void raiseError(std::string message);

}  // namespace quorbel
