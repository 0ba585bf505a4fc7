#include "app/overwrite_guard.h"

#include <algorithm>
#include <optional>

#include "app/names_and_limits.h"
#include "fileio/checked_file.h"
#include "fileio/errors.h"

namespace quorbel {
namespace {

constexpr std::string_view kScratchWriter = "The scratch file";
constexpr std::string_view kDeleteScratch = "delete \"temp\" first";

std::string_view describe(ProtectedFile::Role role) {
  // Indexed by ProtectedFile::Role.
  constexpr std::string_view kRoles[] = {"the template", "the scratch file",
                                         "the input file"};
  return kRoles[static_cast<int>(role)];
}

std::vector<ProtectedFile> withRole(std::span<const ProtectedFile> kept,
                                    ProtectedFile::Role role) {
  std::vector<ProtectedFile> files;
  std::copy_if(kept.begin(), kept.end(), std::back_inserter(files),
               [role](const ProtectedFile& file) { return file.role == role; });
  return files;
}

std::string overwriteRefusal(std::string_view writer, const std::string& name,
                             const ProtectedFile& file,
                             std::string_view advice) {
  return std::string(writer) + " \"" + name + "\" would overwrite " +
         std::string(describe(file.role)) + " \"" + file.name + "\"; " +
         std::string(advice);
}

}  // namespace

std::vector<ProtectedFile> protectedFiles(std::string_view inputName) {
  std::vector<ProtectedFile> kept;
  for (int number = 1; number <= kPatchCount; ++number) {
    kept.push_back({templateName(number), ProtectedFile::Role::Template});
  }
  kept.push_back({kScratchFileName, ProtectedFile::Role::Scratch});
  kept.push_back(
      {std::string(boundName(inputName)), ProtectedFile::Role::Input});
  return kept;
}

void refuseScratchFile(std::span<const ProtectedFile> kept) {
  refuseToOverwrite(kScratchWriter, kScratchFileName,
                    withRole(kept, ProtectedFile::Role::Input),
                    "rename or copy the input file first");
  refuseToOverwrite(kScratchWriter, kScratchFileName,
                    withRole(kept, ProtectedFile::Role::Template),
                    kDeleteScratch);
  std::optional<FileStatus> scratch = statusOf(kScratchFileName, false);
  if (scratch && scratch->kind == FileKind::Link) {
    raiseError(std::string(kScratchWriter) + " \"" + kScratchFileName +
               "\" is a link to another file; " + std::string(kDeleteScratch));
  }
}

void refuseTemplateThatIsScratch(const std::string& templateName) {
  const ProtectedFile kept{templateName, ProtectedFile::Role::Template};
  refuseToOverwrite(kScratchWriter, kScratchFileName, {&kept, 1},
                    kDeleteScratch);
}

std::string templateIsScratchRefusal(const std::string& templateName) {
  return overwriteRefusal(kScratchWriter, kScratchFileName,
                          {templateName, ProtectedFile::Role::Template},
                          kDeleteScratch);
}

void refuseToOverwrite(std::string_view writer, const std::string& name,
                       std::span<const ProtectedFile> kept,
                       std::string_view advice) {
  // A file that does not exist yet overwrites nothing: one look-up suffices.
  std::optional<FileIdentity> target = identityOf(name);
  if (!target) return;
  for (const ProtectedFile& file : kept) {
    if (identityOf(file.name) == target) {
      raiseError(overwriteRefusal(writer, name, file, advice));
    }
  }
}

}  // namespace quorbel
