// The preview's OS table over the in-memory OS: whatever is asked of it,
// no file is created, emptied, written or deleted, and reading goes on.
#include "app/read_only_os.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fake_os.h"

namespace quorbel {
namespace {

using testing::FakeOs;

TEST(ReadOnlyOsTest, RefusesEveryChangeAndReads) {
  FakeOs fake;
  fake.addFile("kept", "data");
  const Os table = readOnlyOs(fake.table());
  const struct {
    const char* name;
    OsAccess access;
    OsExistence existence;
  } refused[] = {
      {"kept", OsAccess::Read, OsExistence::CreateOrEmpty},
      {"new", OsAccess::ReadWrite, OsExistence::CreateOrEmpty},
      {"kept", OsAccess::Write, OsExistence::MustExist},
      {"kept", OsAccess::ReadWrite, OsExistence::MustExist},
  };
  for (const auto& open : refused) {
    SCOPED_TRACE(open.name);
    OsResult<OsHandle> opened =
        table.open(open.name, open.access, OsSharing::Read, open.existence);
    EXPECT_EQ(opened.error, kAccessDenied);
  }
  EXPECT_FALSE(table.deleteFile("kept"));

  OsResult<OsHandle> opened = table.open(
      "kept", OsAccess::Read, OsSharing::Read, OsExistence::MustExist);
  ASSERT_EQ(opened.error, 0);
  char bytes[8] = {};
  OsResult<std::uint32_t> read = table.read(opened.value, bytes, sizeof bytes);
  EXPECT_EQ(std::string(bytes, read.value), "data");
  // Nothing is written, whatever the handle.
  OsResult<std::uint32_t> written = table.write(opened.value, "x", 1);
  EXPECT_EQ(written.error, kAccessDenied);
  EXPECT_EQ(written.value, 0u);
  EXPECT_EQ(table.close(opened.value), 0);

  EXPECT_EQ(fake.contents("kept"), "data");
  EXPECT_FALSE(fake.exists("new"));
}

}  // namespace
}  // namespace quorbel
