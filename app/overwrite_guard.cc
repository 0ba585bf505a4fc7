#include "app/overwrite_guard.h"

#include <optional>

#include "app/names_and_limits.h"
#include "fileio/checked_file.h"
#include "fileio/failure_report.h"

namespace quorbel {

std::vector<ProtectedFile> protectedFiles(std::string_view inputName) {
  std::vector<ProtectedFile> kept;
  for (int number = 1; number <= kPatchCount; ++number) {
    kept.push_back({templateName(number), "the template"});
  }
  kept.push_back({kScratchFileName, "the scratch file"});
  kept.push_back({std::string(boundName(inputName)), "the input file"});
  return kept;
}

void refuseScratchFile(const std::vector<ProtectedFile>& kept) {
  // The input file is the last of the kept files, the templates the first.
  std::span<const ProtectedFile> files(kept);
  refuseToOverwrite("The scratch file", kScratchFileName, files.last(1),
                    "rename or copy the input file first");
  refuseToOverwrite("The scratch file", kScratchFileName,
                    files.first(kPatchCount), "delete \"temp\" first");
}

void refuseToOverwrite(std::string_view writer, const char* name,
                       std::span<const ProtectedFile> kept,
                       std::string_view advice) {
  // A file that does not exist yet overwrites nothing: one look-up suffices.
  std::optional<FileIdentity> target = identityOf(name);
  if (!target) return;
  for (const ProtectedFile& file : kept) {
    if (identityOf(file.name.c_str()) == target) {
      raiseError(std::string(writer) + " \"" + name + "\" would overwrite " +
                 std::string(file.description) + " \"" + file.name + "\"; " +
                 std::string(advice));
    }
  }
}

}  // namespace quorbel
