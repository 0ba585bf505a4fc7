// An in-memory operating system for tests: named files, a scripted standard
// input, a captured standard output, and faults on purpose. Every call made
// through its table is counted; the call with a chosen number (or every
// call from it on) fails with an error number that fits the call, or moves
// fewer bytes than asked.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "fileio/os.h"

namespace quorbel::testing {

struct FakeFile {
  std::string data;
  bool readOnly = false;
  DeviceType type = DeviceType::Disk;
  // A read delivers at most this many bytes (a pipe or a terminal may
  // deliver less than asked).
  std::uint32_t readLimit = UINT32_MAX;
};

enum class Fault : std::uint8_t {
  Fail,  // the call fails with the error number that fits it
  // A read or write moves fewer bytes than asked: about half, none of a
  // single byte. Other calls are counted but never hit.
  Short,
};

class FakeOs {
 public:
  FakeOs();
  FakeOs(const FakeOs&) = delete;
  FakeOs& operator=(const FakeOs&) = delete;

  // The table that routes every call to this object.
  const Os& table() const { return table_; }

  // Files by name; a name given twice to one FakeFile is a link.
  std::shared_ptr<FakeFile> addFile(const std::string& name,
                                    std::string data = "");
  void link(const std::string& name, const std::string& existingName);
  bool exists(const std::string& name) const;
  // The file's contents; fails the test when it does not exist.
  std::string contents(const std::string& name) const;
  const std::map<std::string, std::shared_ptr<FakeFile>>& files() const {
    return files_;
  }
  std::size_t openHandles() const { return handles_.size(); }

  FakeFile& standardInput() { return *standardInput_; }
  FakeFile& standardOutput() { return *standardOutput_; }

  // Makes call number `call` (counting from 1) fail; with `persistent`,
  // every call after it fails too.
  void injectFault(std::uint32_t call, Fault fault = Fault::Fail,
                   bool persistent = false);
  // Overrides the error number of an injected failure.
  void setFaultError(std::int32_t error) { faultError_ = error; }
  std::uint32_t calls() const { return calls_; }
  bool faultFired() const { return faultFired_; }
  // The name of the call that the fault hit ("open", "write", ...).
  const std::string& faultedCall() const { return faultedCall_; }
  // The error number reported by the fault, 0 for a short transfer.
  std::int32_t faultErrorReported() const { return faultErrorReported_; }

 private:
  struct OpenFile {
    std::shared_ptr<FakeFile> file;
    std::uint64_t position = 0;
    bool standard = false;
  };

  // Counts the call; true when it is the one to fail.
  bool faultHits(const char* call, std::int32_t fittingError);

  Os table_;
  std::map<std::string, std::shared_ptr<FakeFile>> files_;
  std::map<OsHandle, OpenFile> handles_;
  std::shared_ptr<FakeFile> standardInput_;
  std::shared_ptr<FakeFile> standardOutput_;
  OsHandle nextHandle_ = 10;

  std::uint32_t calls_ = 0;
  std::uint32_t faultCall_ = 0;
  Fault fault_ = Fault::Fail;
  bool persistent_ = false;
  bool faultFired_ = false;
  std::int32_t faultError_ = 0;
  std::int32_t faultErrorReported_ = 0;
  std::string faultedCall_;
};

}  // namespace quorbel::testing
