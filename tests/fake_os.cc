#include "tests/fake_os.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace quorbel::testing {
namespace {

constexpr OsHandle kStandardInput = 0;
constexpr OsHandle kStandardOutput = 1;
// Windows' answer for a name that is no link.
constexpr std::int32_t kInvalidParameter = 87;

}  // namespace

FakeOs::FakeOs()
    : standardInput_(std::make_shared<FakeFile>()),
      standardOutput_(std::make_shared<FakeFile>()) {
  standardInput_->type = DeviceType::Pipe;
  standardOutput_->type = DeviceType::Pipe;
  handles_[kStandardInput] = {standardInput_, 0, true, "<stdin>"};
  handles_[kStandardOutput] = {standardOutput_, 0, true, "<stdout>"};

  table_.open = [this](const char* name, OsAccess access, OsSharing,
                       OsExistence existence) -> OsResult<OsHandle> {
    record("open", name);
    if (faultHits("open", kFileNotFound)) return {faultErrorReported_, 0};
    auto found = files_.find(name);
    if (found == files_.end()) {
      if (existence == OsExistence::MustExist || name[0] == '\0') {
        return {kFileNotFound, 0};
      }
      found = files_.emplace(name, std::make_shared<FakeFile>()).first;
    }
    FakeFile& file = *found->second;
    if (file.readOnly && access != OsAccess::Read) return {kAccessDenied, 0};
    if (existence == OsExistence::CreateOrEmpty) file.data.clear();
    OsHandle handle = nextHandle_++;
    handles_[handle] = {found->second, 0, false, name};
    return {0, handle};
  };

  table_.read = [this](OsHandle handle, void* buffer,
                       std::uint32_t count) -> OsResult<std::uint32_t> {
    record("read", handle, count);
    bool hit = faultHits("read", kDeviceError);
    if (hit && fault_ == Fault::Fail) return {faultErrorReported_, 0};
    auto open = handles_.find(handle);
    if (open == handles_.end()) return {kInvalidHandle, 0};
    OpenFile& of = open->second;
    const std::string& data = of.file->data;
    std::uint64_t left =
        of.position < data.size() ? data.size() - of.position : 0;
    std::uint32_t n = static_cast<std::uint32_t>(
        std::min<std::uint64_t>({left, count, of.file->readLimit}));
    if (hit) n = count > 1 ? (n + 1) / 2 : 0;
    std::memcpy(buffer, data.data() + of.position, n);
    of.position += n;
    return {0, n};
  };

  table_.write = [this](OsHandle handle, const void* buffer,
                        std::uint32_t count) -> OsResult<std::uint32_t> {
    record("write", handle, count);
    bool hit = faultHits("write", kDiskFull);
    if (hit && fault_ == Fault::Fail) return {faultErrorReported_, 0};
    auto open = handles_.find(handle);
    if (open == handles_.end()) return {kInvalidHandle, 0};
    OpenFile& of = open->second;
    std::uint32_t n = hit ? count / 2 : count;  // none of a single byte
    std::string& data = of.file->data;
    if (of.standard) of.position = data.size();
    if (data.size() < of.position + n) data.resize(of.position + n);
    data.replace(of.position, n, static_cast<const char*>(buffer), n);
    of.position += n;
    return {0, n};
  };

  table_.close = [this](OsHandle handle) -> std::int32_t {
    record("close", handle);
    if (faultHits("close", kDeviceError)) return faultErrorReported_;
    return handles_.erase(handle) == 1 ? 0 : kInvalidHandle;
  };

  table_.fileSize = [this](OsHandle handle) -> OsResult<std::uint64_t> {
    record("fileSize", handle);
    if (faultHits("fileSize", kDeviceError)) return {faultErrorReported_, 0};
    auto open = handles_.find(handle);
    if (open == handles_.end()) return {kInvalidHandle, 0};
    return {0, open->second.file->data.size()};
  };

  table_.filePosition = [this](OsHandle handle) -> OsResult<std::uint64_t> {
    record("filePosition", handle);
    if (faultHits("filePosition", kDeviceError)) {
      return {faultErrorReported_, 0};
    }
    auto open = handles_.find(handle);
    if (open == handles_.end()) return {kInvalidHandle, 0};
    return {0, open->second.position};
  };

  table_.deviceType = [this](OsHandle handle) -> DeviceType {
    record("deviceType", handle);
    if (faultHits("deviceType", 0)) return DeviceType::Unknown;
    auto open = handles_.find(handle);
    return open == handles_.end() ? DeviceType::Unknown
                                  : open->second.file->type;
  };

  table_.standardHandle = [](StandardStream stream) -> OsHandle {
    return stream == StandardStream::Input ? kStandardInput : kStandardOutput;
  };

  table_.deleteFile = [this](const char* name) -> bool {
    record("deleteFile", name);
    if (faultHits("deleteFile", 0)) return false;
    return files_.erase(name) == 1;
  };

  table_.fileIdentity = [this](const char* name) -> OsResult<FileIdentity> {
    record("fileIdentity", name);
    if (faultHits("fileIdentity", kFileNotFound)) {
      return {faultErrorReported_, {}};
    }
    auto found = files_.find(name);
    if (found == files_.end()) return {kFileNotFound, {}};
    return {0, {1, reinterpret_cast<std::uintptr_t>(found->second.get())}};
  };

  // Every file is a plain file here; a name given twice is a hard link.
  table_.fileStatus = [this](const char* name, bool) -> OsResult<FileStatus> {
    record("fileStatus", name);
    if (faultHits("fileStatus", kFileNotFound)) {
      return {faultErrorReported_, {}};
    }
    auto found = files_.find(name);
    if (found == files_.end()) return {kFileNotFound, {}};
    return {0, {FileKind::File, !found->second->readOnly}};
  };

  table_.linkTarget = [](const char*) -> OsResult<std::string> {
    return {kInvalidParameter, {}};
  };

  table_.programFileName = [](char* buffer, std::size_t capacity) {
    static constexpr char kName[] = "/usr/local/bin/quorbel";
    std::size_t length = std::min(capacity, sizeof kName - 1);
    std::memcpy(buffer, kName, length);
    return length;
  };

  table_.imageOffset = [](const void*) -> std::uint32_t { return 0x1A2B; };

  table_.exitProcess = [](std::int32_t) {
    ADD_FAILURE() << "the program tried to end the test process";
  };
  table_.lineFeedEndsConsoleLine = false;
}

std::shared_ptr<FakeFile> FakeOs::addFile(const std::string& name,
                                          std::string data) {
  auto file = std::make_shared<FakeFile>();
  file->data = std::move(data);
  files_[name] = file;
  return file;
}

void FakeOs::link(const std::string& name, const std::string& existingName) {
  files_[name] = files_.at(existingName);
}

bool FakeOs::exists(const std::string& name) const {
  return files_.count(name) == 1;
}

std::string FakeOs::contents(const std::string& name) const {
  auto found = files_.find(name);
  if (found == files_.end()) {
    ADD_FAILURE() << "no file named " << name;
    return "";
  }
  return found->second->data;
}

void FakeOs::injectFault(std::uint32_t call, Fault fault, bool persistent) {
  faultCall_ = call;
  fault_ = fault;
  persistent_ = persistent;
}

void FakeOs::record(const char* call, OsHandle handle, std::uint32_t count) {
  if (!recording_) return;
  auto open = handles_.find(handle);
  callLog_.push_back(
      {call, open == handles_.end() ? "<closed>" : open->second.name, count});
}

void FakeOs::record(const char* call, const char* name) {
  if (recording_) callLog_.push_back({call, name, 0});
}

bool FakeOs::faultHits(const char* call, std::int32_t fittingError) {
  ++calls_;
  bool transfer =
      std::strcmp(call, "read") == 0 || std::strcmp(call, "write") == 0;
  if (fault_ == Fault::Short && !transfer) return false;
  bool hit = faultCall_ != 0 &&
             (calls_ == faultCall_ || (persistent_ && calls_ > faultCall_));
  if (!hit) return false;
  if (!faultFired_) faultedCall_ = call;
  faultFired_ = true;
  faultErrorReported_ = faultError_ != 0 ? faultError_ : fittingError;
  if (fault_ == Fault::Short) faultErrorReported_ = 0;
  return true;
}

}  // namespace quorbel::testing
