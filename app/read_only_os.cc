#include "app/read_only_os.h"

namespace quorbel {

Os readOnlyOs(const Os& base) {
  Os table = base;
  table.open = [&base](const char* name, OsAccess access, OsSharing sharing,
                       OsExistence existence) -> OsResult<OsHandle> {
    if (existence == OsExistence::CreateOrEmpty || access != OsAccess::Read) {
      return {kAccessDenied, 0};
    }
    return base.open(name, access, sharing, existence);
  };
  table.write = [](OsHandle, const void*, std::uint32_t) {
    return OsResult<std::uint32_t>{kAccessDenied, 0};
  };
  table.deleteFile = [](const char*) { return false; };
  return table;
}

}  // namespace quorbel
