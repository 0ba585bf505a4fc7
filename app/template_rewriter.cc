#include "app/template_rewriter.h"

#include <algorithm>

#include "app/overwrite_guard.h"
#include "app/run_driver.h"
#include "fileio/byte_file.h"
#include "fileio/io_result.h"
#include "fileio/text_file.h"

namespace quorbel {
namespace {

constexpr std::size_t kMaxValueTextRemoved = 999;

char foldCase(char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

}  // namespace

std::string templateName(int number) {
  return std::to_string(number) + "Template.pch";
}

bool equalsMarker(std::string_view line, std::string_view marker) {
  return std::equal(line.begin(), line.end(), marker.begin(), marker.end(),
                    [](char a, char b) { return foldCase(a) == foldCase(b); });
}

void setParameterValue(std::string& line, SampleValue value) {
  std::size_t equals = line.find('=');
  std::size_t start = equals == std::string::npos ? 0 : equals + 1;
  line.erase(start, kMaxValueTextRemoved);
  line += std::to_string(value);
}

void TemplateRewriter(const std::string& baseName,
                      const std::string& inputName) {
  CheckedFile scratch;
  CheckedFile patch;
  CheckedFile source;
  bind(scratch, kScratchFileName);
  bytefile::openRead(scratch, 1);
  checkIo();

  // A patch must not overwrite a file the run still reads or that holds the
  // user's sample; patches written before it stay.
  std::vector<ProtectedFile> kept = protectedTemplates();
  kept.push_back({kScratchFileName, "the scratch file"});
  kept.push_back({inputName.substr(0, kMaxNameLength), "the input file"});

  bool inRegion = false;
  std::string line;
  for (int number = 1; number <= kPatchCount; ++number) {
    bind(patch, std::to_string(number) + baseName);
    refuseToOverwrite(patch.name, "Patch file", kept,
                      "choose another patch name");
    textfile::create(patch);
    checkIo();
    bind(source, templateName(number));
    textfile::openRead(source);
    checkIo();

    for (;;) {
      bool end = textfile::atEnd(source);
      checkIo();
      if (end) break;
      readLine(source, line);
      if (equalsMarker(line, "Type=91")) inRegion = true;
      if (equalsMarker(line, "P16=15")) inRegion = false;
      if (inRegion && !line.empty() && line[0] == 'P') {
        bool exhausted = bytefile::atEnd(scratch);
        checkIo();
        if (!exhausted) {
          SampleValue value = 0;
          bytefile::readRecords(scratch, &value, 1);
          checkIo();
          setParameterValue(line, value);
        }
      }
      writeLine(patch, line);
    }

    close(patch);
    checkIo();
    close(source);
    checkIo();
    bool exhausted = bytefile::atEnd(scratch);
    checkIo();
    if (exhausted) break;
  }

  close(scratch);
  checkIo();
}

}  // namespace quorbel
