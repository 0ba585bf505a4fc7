// The platform's own OS table against the real file system, in a fresh
// folder: the contract that os.h states, which the in-memory OS of the
// other tests only imitates. Runs natively and, for Windows, under Wine.
#include "fileio/os.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace quorbel {
namespace {

namespace fs = std::filesystem;

class OsTest : public ::testing::Test {
 protected:
  OsTest() {
    std::random_device random;
    folder_ =
        fs::temp_directory_path() / ("quorbel-os-" + std::to_string(random()));
    fs::create_directory(folder_);
  }
  ~OsTest() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::string path(const std::string& name) const {
    return (folder_ / name).string();
  }
  void put(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  OsResult<OsHandle> open(const std::string& name, OsAccess access,
                          OsSharing sharing, OsExistence existence) const {
    return table.open(path(name).c_str(), access, sharing, existence);
  }
  OsResult<OsHandle> openToRead(const std::string& name) const {
    return open(name, OsAccess::Read, OsSharing::Read, OsExistence::MustExist);
  }

  const Os& table = defaultOs();

 private:
  fs::path folder_;
};

TEST_F(OsTest, TransfersSizeAndPosition) {
  OsResult<OsHandle> file = open("f", OsAccess::ReadWrite, OsSharing::ReadWrite,
                                 OsExistence::CreateOrEmpty);
  ASSERT_EQ(file.error, 0);
  OsResult<std::uint32_t> written = table.write(file.value, "hello", 5);
  EXPECT_EQ(written.error, 0);
  EXPECT_EQ(written.value, 5u);
  EXPECT_EQ(table.fileSize(file.value).value, 5u);
  EXPECT_EQ(table.filePosition(file.value).value, 5u);
  EXPECT_EQ(table.deviceType(file.value), DeviceType::Disk);
  EXPECT_EQ(table.close(file.value), 0);

  file = openToRead("f");
  ASSERT_EQ(file.error, 0);
  char buffer[16] = {};
  OsResult<std::uint32_t> read = table.read(file.value, buffer, sizeof buffer);
  EXPECT_EQ(read.error, 0);
  EXPECT_EQ(std::string(buffer, read.value), "hello");
  EXPECT_EQ(table.filePosition(file.value).value, 5u);
  // At the end: no bytes and no failure.
  read = table.read(file.value, buffer, sizeof buffer);
  EXPECT_EQ(read.error, 0);
  EXPECT_EQ(read.value, 0u);
  EXPECT_EQ(table.close(file.value), 0);
}

TEST_F(OsTest, CreateEmptiesAnExistingFile) {
  put("f", "old contents");
  OsResult<OsHandle> file =
      open("f", OsAccess::Write, OsSharing::Read, OsExistence::CreateOrEmpty);
  ASSERT_EQ(file.error, 0);
  EXPECT_EQ(table.fileSize(file.value).value, 0u);
  EXPECT_EQ(table.close(file.value), 0);
}

TEST_F(OsTest, FailuresCarryOurErrorNumbers) {
  put("file", "x");
  fs::create_directory(path("folder"));
  struct Case {
    const char* name;
    std::int32_t error;
  } cases[] = {
      {"missing", kFileNotFound},
      {"file/inside", kPathNotFound},
      // A folder is not a file to read.
      {"folder", kAccessDenied},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(openToRead(c.name).error, c.error);
  }
}

TEST_F(OsTest, IdentityTellsOneFileUnderTwoNames) {
  put("a", "1");
  put("b", "1");
  OsResult<FileIdentity> a = table.fileIdentity(path("a").c_str());
  ASSERT_EQ(a.error, 0);
  OsResult<FileIdentity> throughFolder =
      table.fileIdentity(path("./a").c_str());
  ASSERT_EQ(throughFolder.error, 0);
  EXPECT_EQ(a.value, throughFolder.value);
  EXPECT_FALSE(a.value == table.fileIdentity(path("b").c_str()).value);
  EXPECT_EQ(table.fileIdentity(path("missing").c_str()).error, kFileNotFound);
}

TEST_F(OsTest, DeleteSaysWhetherTheFileWent) {
  put("f", "x");
  EXPECT_TRUE(table.deleteFile(path("f").c_str()));
  EXPECT_FALSE(fs::exists(path("f")));
  EXPECT_FALSE(table.deleteFile(path("f").c_str()));
}

TEST_F(OsTest, ProgramNameAndPlacesInTheImage) {
  char name[1040];
  std::string program(name, table.programFileName(name, sizeof name));
  EXPECT_NE(program.find("quorbel_tests"), std::string::npos) << program;
  // Two places in one image lie as far apart as their offsets say, and
  // the code lies within the program's file.
  auto first = reinterpret_cast<const char*>(&defaultOs);
  auto second = reinterpret_cast<const char*>(&os);
  EXPECT_LT(table.imageOffset(first), fs::file_size(program));
  EXPECT_EQ(table.imageOffset(second) - table.imageOffset(first),
            static_cast<std::uint32_t>(second - first));
}

#ifdef _WIN32
// Only Windows enforces what an opener lets others do meanwhile.
TEST_F(OsTest, SharingIsEnforced) {
  put("f", "x");
  OsResult<OsHandle> reader = openToRead("f");
  ASSERT_EQ(reader.error, 0);
  OsResult<OsHandle> writer = open(
      "f", OsAccess::ReadWrite, OsSharing::ReadWrite, OsExistence::MustExist);
  EXPECT_EQ(writer.error, kSharingViolation);
  if (writer.error == 0) table.close(writer.value);
  OsResult<OsHandle> secondReader = openToRead("f");
  EXPECT_EQ(secondReader.error, 0);
  if (secondReader.error == 0) table.close(secondReader.value);
  table.close(reader.value);
}
#endif

}  // namespace
}  // namespace quorbel
