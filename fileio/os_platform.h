// The platform's own calls, with the contracts of os.h: os_posix.cc or
// os_win32.cc defines them, and os.cc assembles them into defaultOs().
#pragma once

#include "fileio/os.h"

namespace quorbel::platform {

OsResult<OsHandle> openFile(const char* name, OsAccess access,
                            OsSharing sharing, OsExistence existence);
OsResult<std::uint32_t> readFile(OsHandle handle, void* buffer,
                                 std::uint32_t count);
OsResult<std::uint32_t> writeFile(OsHandle handle, const void* buffer,
                                  std::uint32_t count);
std::int32_t closeFile(OsHandle handle);
OsResult<std::uint64_t> fileSize(OsHandle handle);
OsResult<std::uint64_t> filePosition(OsHandle handle);
DeviceType deviceType(OsHandle handle);
OsHandle standardHandle(StandardStream stream);
bool deleteFile(const char* name);
OsResult<FileIdentity> fileIdentity(const char* name);
OsResult<FileStatus> fileStatus(const char* name, bool followLink);
OsResult<std::string> linkTarget(const char* name);
std::size_t programFileName(char* buffer, std::size_t capacity);
std::uint32_t imageOffset(const void* address);
[[noreturn]] void exitProcess(std::int32_t exitCode);
extern const bool kLineFeedEndsConsoleLine;

}  // namespace quorbel::platform
