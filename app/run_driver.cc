#include "app/run_driver.h"

#include "app/sample_extractor.h"
#include "app/template_rewriter.h"
#include "fileio/io_result.h"
#include "fileio/text_file.h"

namespace quorbel {

void readLine(CheckedFile& file, std::string& line) {
  textfile::readText(file, line);
  textfile::skipLine(file);
  checkIo();
}

void writeLine(CheckedFile& file, std::string_view line) {
  textfile::writeText(file, line);
  textfile::writeLineEnd(file);
  checkIo();
}

std::string patchBaseName(std::string typed) {
  if (typed.find(".pch") == std::string::npos) typed += ".pch";
  return typed;
}

void RunDriver() {
  writeLine(StandardOutput, "Quorbel");
  writeLine(StandardOutput, "Enter input filename:");
  std::string inputName;
  readLine(StandardInput, inputName);
  writeLine(StandardOutput, "Enter a name for your new patch:");
  std::string patchName;
  readLine(StandardInput, patchName);

  SampleExtractor(inputName);
  TemplateRewriter(patchBaseName(patchName), inputName);

  // A scratch file that cannot be deleted simply stays.
  deleteFile(kScratchFileName);
  writeLine(StandardOutput, "Finished!");
}

}  // namespace quorbel
