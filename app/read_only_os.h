// The preview's promise to write nothing, kept by the OS table it runs
// under: the calls of another table, except that nothing can be created,
// written or deleted.
#pragma once

#include "fileio/os.h"

namespace quorbel {

// The calls of `base`, which must outlive the table, except that an open
// that would create, empty or write a file fails with access denied (5),
// as does every write, and no file is deleted.
Os readOnlyOs(const Os& base);

}  // namespace quorbel
