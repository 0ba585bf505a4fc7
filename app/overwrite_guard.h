// The run creates "temp" and the patch files, emptying any file that is
// already there, and reads "temp" back while it reads the templates. Before
// it does either, it makes sure that no name reaches a file it must keep (a
// template, the input, "temp") under another name: a path through another
// folder, or a link.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorbel {

struct ProtectedFile {
  enum class Role { Template, Scratch, Input };
  std::string name;
  Role role;
};

// The files a run must keep: the four templates, "temp", and the input file
// named as typed.
std::vector<ProtectedFile> protectedFiles(std::string_view inputName);

// Before "temp" is created: raises a refusal when it reaches the input file
// or a template, or when it is a link (which would be written through).
void refuseScratchFile(std::span<const ProtectedFile> kept);

// Before a template is read: raises the refusal of a "temp" that reaches
// it. A template that is a link to "temp" reaches it only once the run has
// made "temp".
void refuseTemplateThatIsScratch(const std::string& templateName);

// The words of that refusal, for a preview of the run.
std::string templateIsScratchRefusal(const std::string& templateName);

// Raises a refusal naming both files, ended by `advice`, when the file
// `name` that `writer` would create exists and is one of the kept files.
void refuseToOverwrite(std::string_view writer, const std::string& name,
                       std::span<const ProtectedFile> kept,
                       std::string_view advice);

}  // namespace quorbel
