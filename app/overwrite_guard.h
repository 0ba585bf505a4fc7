// The run creates "temp" and the patch files, emptying any file that is
// already there. Before it does, it makes sure that the name does not reach
// a file it must keep (a template, the input, "temp") under another name: a
// path through another folder, or a link.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorbel {

struct ProtectedFile {
  std::string name;
  std::string_view description;  // "the template", "the input file", ...
};

// The files a run must keep, in this order: the four templates, "temp", and
// the input file named as typed.
std::vector<ProtectedFile> protectedFiles(std::string_view inputName);

// Before "temp" is created: raises a refusal when it reaches the input file
// or a template.
void refuseScratchFile(const std::vector<ProtectedFile>& kept);

// Raises a refusal naming both files, ended by `advice`, when the file
// `name` that `writer` would create exists and is one of the kept files.
void refuseToOverwrite(std::string_view writer, const char* name,
                       std::span<const ProtectedFile> kept,
                       std::string_view advice);

}  // namespace quorbel
