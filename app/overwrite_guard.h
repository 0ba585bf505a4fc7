// The run creates "temp" and the patch files, emptying any file that is
// already there. Before it does, it makes sure that the name does not reach
// a file it must keep (a template, the input, "temp") under another name: a
// path through another folder, or a link.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorbel {

struct ProtectedFile {
  std::string name;
  std::string_view description;  // "the template", "the input file", ...
};

// Raises a refusal naming both files when the file `name`, described as
// `description`, exists and is one of the protected files. `advice` ends the
// message.
void refuseToOverwrite(const char* name, std::string_view description,
                       const std::vector<ProtectedFile>& protectedFiles,
                       std::string_view advice);

// The four templates, which the run reads.
std::vector<ProtectedFile> protectedTemplates();

}  // namespace quorbel
