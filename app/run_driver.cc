#include "app/run_driver.h"

#include "app/names_and_limits.h"
#include "app/overwrite_guard.h"
#include "app/sample_extractor.h"
#include "app/template_rewriter.h"
#include "fileio/text_file.h"

namespace quorbel {

std::string patchBaseName(std::string typed) {
  if (typed.find(".pch") == std::string::npos) typed += ".pch";
  return typed;
}

void driveRun() {
  textfile::writeLine(StandardOutput, "Quorbel");
  textfile::writeLine(StandardOutput, "Enter input filename:");
  std::string inputName;
  textfile::readLine(StandardInput, inputName);
  textfile::writeLine(StandardOutput, "Enter a name for your new patch:");
  std::string patchName;
  textfile::readLine(StandardInput, patchName);

  const std::vector<ProtectedFile> kept = protectedFiles(inputName);
  extractSamples(inputName, kept);
  rewriteTemplates(patchBaseName(patchName), kept);

  // A scratch file that cannot be deleted simply stays.
  deleteFile(kScratchFileName);
  textfile::writeLine(StandardOutput, "Finished!");
}

}  // namespace quorbel
