// The platform calls over kernel32. Windows' error numbers are the
// program's own numbering, so GetLastError passes through unchanged.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "fileio/os_platform.h"

namespace quorbel {
namespace {

HANDLE toHandle(OsHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// Reads the thread's last error at once, before any other call can change it.
std::int32_t lastError() { return static_cast<std::int32_t>(::GetLastError()); }

// Indexed by OsAccess and OsSharing.
constexpr DWORD kDesiredAccess[] = {GENERIC_READ, GENERIC_WRITE,
                                    GENERIC_READ | GENERIC_WRITE};
constexpr DWORD kShareMode[] = {0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE};

// Opened without access and with all sharing, so that a file held open by
// anyone, or a folder, can still be asked what it is. The caller closes the
// handle; INVALID_HANDLE_VALUE when the name reaches nothing.
HANDLE openForMetadata(const char* name) {
  return ::CreateFileA(
      name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

namespace platform {

OsResult<OsHandle> openFile(const char* name, OsAccess access,
                            OsSharing sharing, OsExistence existence) {
  HANDLE handle = ::CreateFileA(
      name, kDesiredAccess[static_cast<int>(access)],
      kShareMode[static_cast<int>(sharing)], nullptr,
      existence == OsExistence::CreateOrEmpty ? CREATE_ALWAYS : OPEN_EXISTING,
      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {lastError(), 0};
  return {0, reinterpret_cast<OsHandle>(handle)};
}

OsResult<std::uint32_t> readFile(OsHandle handle, void* buffer,
                                 std::uint32_t count) {
  DWORD read = 0;
  if (!::ReadFile(toHandle(handle), buffer, count, &read, nullptr)) {
    return {lastError(), 0};
  }
  return {0, read};
}

OsResult<std::uint32_t> writeFile(OsHandle handle, const void* buffer,
                                  std::uint32_t count) {
  DWORD written = 0;
  if (!::WriteFile(toHandle(handle), buffer, count, &written, nullptr)) {
    return {lastError(), 0};
  }
  return {0, written};
}

std::int32_t closeFile(OsHandle handle) {
  return ::CloseHandle(toHandle(handle)) ? 0 : lastError();
}

// The 64-bit forms, so that a file of 4 GiB or more is measured whole.
OsResult<std::uint64_t> fileSize(OsHandle handle) {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(toHandle(handle), &size)) return {lastError(), 0};
  return {0, static_cast<std::uint64_t>(size.QuadPart)};
}

OsResult<std::uint64_t> filePosition(OsHandle handle) {
  LARGE_INTEGER noMove;
  noMove.QuadPart = 0;
  LARGE_INTEGER position;
  if (!::SetFilePointerEx(toHandle(handle), noMove, &position, FILE_CURRENT)) {
    return {lastError(), 0};
  }
  return {0, static_cast<std::uint64_t>(position.QuadPart)};
}

DeviceType deviceType(OsHandle handle) {
  switch (::GetFileType(toHandle(handle))) {
    case FILE_TYPE_DISK:
      return DeviceType::Disk;
    case FILE_TYPE_CHAR:
      return DeviceType::Character;
    case FILE_TYPE_PIPE:
      return DeviceType::Pipe;
    default:
      return DeviceType::Unknown;
  }
}

OsHandle standardHandle(StandardStream stream) {
  return reinterpret_cast<OsHandle>(::GetStdHandle(
      stream == StandardStream::Input ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE));
}

bool deleteFile(const char* name) { return ::DeleteFileA(name) != 0; }

OsResult<FileIdentity> fileIdentity(const char* name) {
  HANDLE handle = openForMetadata(name);
  if (handle == INVALID_HANDLE_VALUE) return {lastError(), {}};
  BY_HANDLE_FILE_INFORMATION info;
  BOOL known = ::GetFileInformationByHandle(handle, &info);
  std::int32_t error = known ? 0 : lastError();
  ::CloseHandle(handle);
  if (error != 0) return {error, {}};
  return {0,
          {info.dwVolumeSerialNumber,
           (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
               info.nFileIndexLow}};
}

// Without following, a reparse point (a symbolic link or a junction) is
// Link. Following, the name is opened for its metadata, so the answer is
// about what the link reaches.
OsResult<FileStatus> fileStatus(const char* name, bool followLink) {
  DWORD attributes = ::GetFileAttributesA(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) return {lastError(), {}};
  FileStatus status;
  status.writable = (attributes & FILE_ATTRIBUTE_READONLY) == 0;
  if (!followLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    status.kind = FileKind::Link;
    return {0, status};
  }
  HANDLE handle = openForMetadata(name);
  if (handle == INVALID_HANDLE_VALUE) return {lastError(), {}};
  BY_HANDLE_FILE_INFORMATION info;
  DWORD type = ::GetFileType(handle);
  BOOL known = ::GetFileInformationByHandle(handle, &info);
  ::CloseHandle(handle);
  if (type == FILE_TYPE_PIPE) {
    status.kind = FileKind::Pipe;
  } else if (type != FILE_TYPE_DISK) {
    status.kind = FileKind::Device;
  } else if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    status.kind = FileKind::Folder;
  }
  return {0, status};
}

// Reading a reparse point's target needs the driver interface; a link
// stays unresolved instead.
OsResult<std::string> linkTarget(const char*) {
  return {ERROR_NOT_SUPPORTED, {}};
}

std::size_t programFileName(char* buffer, std::size_t capacity) {
  DWORD length =
      ::GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(capacity));
  // A name cut to the buffer's size comes back with the full capacity.
  return length < capacity ? length : capacity;
}

// The module's image starts at the base of the allocation that holds the
// address.
std::uint32_t imageOffset(const void* address) {
  auto place = reinterpret_cast<std::uintptr_t>(address);
  MEMORY_BASIC_INFORMATION region;
  if (::VirtualQuery(address, &region, sizeof region) != 0 &&
      region.AllocationBase != nullptr) {
    place -= reinterpret_cast<std::uintptr_t>(region.AllocationBase);
  }
  return static_cast<std::uint32_t>(place);
}

[[noreturn]] void exitProcess(std::int32_t exitCode) {
  ::ExitProcess(static_cast<UINT>(exitCode));
}

// The console delivers CR LF, which the carriage-return rule handles.
extern const bool kLineFeedEndsConsoleLine = false;

}  // namespace platform

// A failed write already fails as a write: nothing to prepare.
void prepareProcess() {}

}  // namespace quorbel
