// The POSIX operating-system table against the real system: each condition
// that the failure report names, or that a run can meet, comes back as the
// error number the rest of the program expects; a directory is never opened
// as a file, whatever access is asked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "fileio/os.h"

namespace quorbel {
namespace {

namespace fs = std::filesystem;

class OsPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (fs::temp_directory_path() / "quorbel-os-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    std::ofstream(folder_ / "file") << "data";
    fs::create_directory(folder_ / "folder");
    fs::create_symlink("loop", folder_ / "loop");
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string path(const std::string& name) const {
    return (folder_ / name).string();
  }

  std::int32_t openError(const std::string& name, OsAccess access,
                         OsExistence existence = OsExistence::MustExist) {
    OsResult<OsHandle> opened =
        os_.open(name.c_str(), access, OsSharing::ReadWrite, existence);
    if (opened.error == 0) os_.close(opened.value);
    return opened.error;
  }

  // A pipe whose read end is already closed.
  int pipeWithoutReader() {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    return fds[1];
  }

  const Os& os_ = defaultOs();
  fs::path folder_;
};

TEST_F(OsPosixTest, OpenRefusalsCarryTheirNumbers) {
  EXPECT_EQ(openError(path("missing/file"), OsAccess::Read), kFileNotFound);
  EXPECT_EQ(openError(path("loop"), OsAccess::Read), kPathNotFound);
  EXPECT_EQ(openError(path(std::string(300, 'n')), OsAccess::Read),
            kFileNameTooLong);
  EXPECT_EQ(openError(path("file"), OsAccess::ReadWrite), 0);
}

// A condition the table of error numbers does not name keeps the
// platform's own number: reading the target of a name that is no link.
TEST_F(OsPosixTest, NumberMissingFromTheTablePassesThrough) {
  EXPECT_EQ(os_.linkTarget(path("file").c_str()).error, EINVAL);
}

TEST_F(OsPosixTest, RunningProgramCannotBeOpenedForWriting) {
  std::int32_t error = openError("/proc/self/exe", OsAccess::Write);
  if (error == 0) GTEST_SKIP() << "this kernel lets a running program change";
  EXPECT_EQ(error, kSharingViolation);
}

TEST_F(OsPosixTest, TooManyOpenFiles) {
  int probe = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(probe, 0);
  ::close(probe);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  // The lowest free descriptor is `probe`: a limit there refuses the next.
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(probe);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  std::int32_t error = openError(path("file"), OsAccess::Read);
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(error, kTooManyOpenFiles);
}

TEST_F(OsPosixTest, WriteRefusalsCarryTheirNumbers) {
  OsResult<OsHandle> full =
      os_.open("/dev/full", OsAccess::Write, OsSharing::ReadWrite,
               OsExistence::MustExist);
  ASSERT_EQ(full.error, 0);
  EXPECT_EQ(os_.write(full.value, "x", 1).error, kDiskFull);
  os_.close(full.value);

  // After the start-up step a reader that has gone is an error, not a
  // signal.
  prepareProcess();
  int pipe = pipeWithoutReader();
  EXPECT_EQ(os_.write(pipe, "x", 1).error, kPipeClosing);
  ::close(pipe);
}

TEST_F(OsPosixTest, FileSizeLimitIsADiskFull) {
  OsResult<OsHandle> file =
      os_.open(path("limited").c_str(), OsAccess::ReadWrite,
               OsSharing::ReadWrite, OsExistence::CreateOrEmpty);
  ASSERT_EQ(file.error, 0);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = 10;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  // The first write stops at the limit; the next one is refused, and after
  // the start-up step that is no signal: the process lives on.
  prepareProcess();
  OsResult<std::uint32_t> first = os_.write(file.value, "0123456789abcdef", 16);
  OsResult<std::uint32_t> second = os_.write(file.value, "abcdef", 6);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  os_.close(file.value);
  EXPECT_EQ(first.error, 0);
  EXPECT_EQ(first.value, 10u);
  EXPECT_EQ(second.error, kDiskFull);
}

TEST_F(OsPosixTest, CallsOnAHandleThatIsNotOpen) {
  int pipe = pipeWithoutReader();
  ::close(pipe);
  char byte;
  EXPECT_EQ(os_.read(pipe, &byte, 1).error, kInvalidHandle);
  EXPECT_EQ(os_.write(pipe, "x", 1).error, kInvalidHandle);
  EXPECT_EQ(os_.fileSize(pipe).error, kInvalidHandle);
  EXPECT_EQ(os_.filePosition(pipe).error, kInvalidHandle);
  EXPECT_EQ(os_.close(pipe), kInvalidHandle);
  EXPECT_EQ(os_.deviceType(pipe), DeviceType::Unknown);
}

TEST_F(OsPosixTest, DeviceTypes) {
  auto typeOf = [this](const std::string& name) {
    int fd = ::open(name.c_str(), O_RDONLY);
    DeviceType type = os_.deviceType(fd);
    ::close(fd);
    return type;
  };
  EXPECT_EQ(typeOf(path("file")), DeviceType::Disk);
  EXPECT_EQ(typeOf("/dev/null"), DeviceType::Character);
  EXPECT_EQ(typeOf(path("folder")), DeviceType::Unknown);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  EXPECT_EQ(os_.deviceType(fds[0]), DeviceType::Pipe);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST_F(OsPosixTest, IdentityFollowsLinks) {
  fs::create_hard_link(folder_ / "file", folder_ / "hard");
  fs::create_symlink("file", folder_ / "soft");
  auto identity = [this](const std::string& name) {
    return os_.fileIdentity(path(name).c_str());
  };
  EXPECT_EQ(identity("hard").value, identity("file").value);
  EXPECT_EQ(identity("soft").value, identity("file").value);
  EXPECT_FALSE(identity("folder").value == identity("file").value);
}

TEST_F(OsPosixTest, ProgramFileNameIsCutToTheBuffer) {
  char full[4096];
  std::size_t length = os_.programFileName(full, sizeof full);
  ASSERT_GT(length, 4u);
  EXPECT_EQ(fs::path(std::string(full, length)),
            fs::read_symlink("/proc/self/exe"));
  char cut[4];
  EXPECT_EQ(os_.programFileName(cut, sizeof cut), sizeof cut);
  EXPECT_EQ(std::string(cut, sizeof cut), std::string(full, sizeof cut));
}

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
