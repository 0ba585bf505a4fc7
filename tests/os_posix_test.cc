// The POSIX table against the real file system: a directory is never opened
// as a file, whatever access is asked.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fileio/os.h"

namespace quorbel {
namespace {

struct DirectoryOpen {
  OsAccess access;
  OsExistence existence;
};

class PosixDirectoryOpenTest : public ::testing::TestWithParam<DirectoryOpen> {
};

TEST_P(PosixDirectoryOpenTest, IsRefusedWithAccessDenied) {
  // One folder per case: the cases may run in parallel.
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("quorbel_os_posix_test_" +
       std::to_string(static_cast<int>(GetParam().access)) +
       std::to_string(static_cast<int>(GetParam().existence)));
  std::filesystem::create_directories(folder);
  OsResult<OsHandle> opened =
      defaultOs().open(folder.c_str(), GetParam().access, OsSharing::ReadWrite,
                       GetParam().existence);
  EXPECT_EQ(opened.error, kAccessDenied);
  std::filesystem::remove(folder);
}

INSTANTIATE_TEST_SUITE_P(
    EveryAccess, PosixDirectoryOpenTest,
    ::testing::Values(
        DirectoryOpen{OsAccess::Read, OsExistence::MustExist},
        DirectoryOpen{OsAccess::ReadWrite, OsExistence::MustExist},
        DirectoryOpen{OsAccess::Write, OsExistence::CreateOrEmpty},
        DirectoryOpen{OsAccess::ReadWrite, OsExistence::CreateOrEmpty}));

}  // namespace
}  // namespace quorbel
