#include "app/overwrite_guard.h"

#include <optional>

#include "app/template_rewriter.h"
#include "fileio/checked_file.h"
#include "fileio/failure_report.h"

namespace quorbel {

void refuseToOverwrite(const char* name, std::string_view description,
                       const std::vector<ProtectedFile>& protectedFiles,
                       std::string_view advice) {
  // A file that does not exist yet overwrites nothing: one look-up suffices.
  std::optional<FileIdentity> target = identityOf(name);
  if (!target) return;
  for (const ProtectedFile& kept : protectedFiles) {
    if (identityOf(kept.name.c_str()) == target) {
      raiseError(std::string(description) + " \"" + name +
                 "\" would overwrite " + std::string(kept.description) + " \"" +
                 kept.name + "\"; " + std::string(advice));
    }
  }
}

std::vector<ProtectedFile> protectedTemplates() {
  std::vector<ProtectedFile> templates;
  for (int number = 1; number <= kPatchCount; ++number) {
    templates.push_back({templateName(number), "the template"});
  }
  return templates;
}

}  // namespace quorbel
