#include "app/template_rewriter.h"

#include "app/names_and_limits.h"
#include "app/template_rules.h"
#include "fileio/byte_file.h"
#include "fileio/io_result.h"
#include "fileio/text_file.h"

namespace quorbel {

void rewriteTemplates(const std::string& baseName,
                      const std::vector<ProtectedFile>& kept) {
  CheckedFile scratch;
  CheckedFile patch;
  CheckedFile source;
  bindName(scratch, kScratchFileName);
  bytefile::openRead(scratch, 1);
  checkIo();

  RegionState regions;
  std::string line;
  for (int number = 1; number <= kPatchCount; ++number) {
    // A template that became "temp" when the run made it would be read
    // in place of the template; patches written before it stay.
    refuseTemplateThatIsScratch(templateName(number));
    const std::string patchName = std::to_string(number) + baseName;
    bindName(patch, patchName);
    // A patch must not overwrite a file the run still reads or that holds
    // the user's sample.
    refuseToOverwrite("Patch file", patchName, kept,
                      "choose another patch name");
    textfile::create(patch);
    checkIo();
    bindName(source, templateName(number));
    textfile::openRead(source);
    checkIo();

    for (;;) {
      bool end = textfile::atEnd(source);
      checkIo();
      if (end) break;
      textfile::readLine(source, line);
      // The end of "temp" is asked only for a line that would take a value.
      if (takesValue(regions, line)) {
        bool exhausted = bytefile::atEnd(scratch);
        checkIo();
        if (!exhausted) {
          SampleValue value = 0;
          bytefile::readRecords(scratch, &value, 1);
          checkIo();
          setParameterValue(line, value);
        }
      }
      textfile::writeLine(patch, line);
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
