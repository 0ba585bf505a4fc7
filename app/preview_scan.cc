// previewRun: the templates (template_scan.h), the input and "temp" read or
// looked at as the run would meet them, under an OS table that writes
// nothing.
#include <algorithm>
#include <cstdlib>

#include "app/names_and_limits.h"
#include "app/overwrite_guard.h"
#include "app/preview.h"
#include "app/read_only_os.h"
#include "app/sample_values.h"
#include "app/template_scan.h"
#include "fileio/byte_file.h"
#include "fileio/errors.h"
#include "fileio/io_result.h"

namespace quorbel {
namespace {

// A first run of this many values within 2 of the first one is warned of.
constexpr std::uint32_t kFlatValuesWarned = 64;

// The number of values at the start of `values` that lie within 2 of the
// first one.
std::uint32_t flatStart(const std::string& values) {
  if (values.empty()) return 0;
  auto far = std::find_if(values.begin(), values.end(), [&](char value) {
    return std::abs(value - values.front()) > 2;
  });
  return static_cast<std::uint32_t>(far - values.begin());
}

InputScan scanInput(const std::string& name) {
  InputScan scan;
  scan.name = name;
  std::optional<FileStatus> status = statusOf(name, true);
  if (status && status->kind == FileKind::Pipe) {
    // The run's open of a pipe never waits, as it asks to write it too;
    // its first end test fails, as a pipe has no position.
    scan.readFailure = ioMessage(kIllegalSeek);
    return scan;
  }
  if (status && !status->writable) scan.openFailure = ioMessage(kAccessDenied);
  CheckedFile input;
  bindName(input, name);
  try {
    // The run asks to write the input too, which the status above has
    // foreseen.
    bytefile::openReadOnly(input, 1);
    checkIo();
    scan.size = os().fileSize(input.handle).value;
    readSampleValues(input, [&scan](SampleValue value) {
      scan.values += static_cast<char>(value);
    });
    close(input);
    checkIo();
  } catch (const EInOutError& error) {
    scan.whyUnreadable = error.message();
  }
  // A recording's silence is no single value: it wavers a little.
  if (std::uint32_t flat = flatStart(scan.values); flat >= kFlatValuesWarned) {
    scan.warnings.push_back(
        {name, 0,
         "the first " + std::to_string(flat) + " values lie within 2 of the " +
             "first one, " + std::to_string(scan.values[0]) +
             ": most likely silence at the start of a recording, which "
             "makes a flat line"});
  }
  return scan;
}

// The failure of creating "temp", foreseen from what is there now.
std::string scratchCreateFailure(const std::optional<FileStatus>& scratch) {
  bool denied = false;
  if (!scratch) {
    std::optional<FileStatus> folder = statusOf(".", true);
    denied = folder && !folder->writable;
  } else {
    denied = scratch->kind == FileKind::Folder || !scratch->writable;
  }
  if (!denied) return "";
  return ioMessage(kAccessDenied);
}

ScratchScan scanScratch(std::span<const ProtectedFile> kept,
                        std::vector<PreviewWarning>& warnings) {
  ScratchScan scan;
  try {
    refuseScratchFile(kept);
  } catch (const Exception& refusal) {
    scan.createFailure = refusal.message();
  }
  std::optional<FileStatus> status = statusOf(kScratchFileName, false);
  if (scan.createFailure.empty()) {
    scan.createFailure = scratchCreateFailure(status);
  }
  std::string warning;
  if (!scan.createFailure.empty()) {
    warning =
        "the run would fail before writing any patch: " + scan.createFailure;
  } else if (!status) {
    return scan;
  } else if (status->kind == FileKind::Pipe) {
    scan.readFailure = ioMessage(kIllegalSeek);
    warning =
        "a pipe, which keeps no values: the run would fail reading "
        "them back in patch 1: " +
        scan.readFailure;
  } else if (status->kind == FileKind::Device) {
    warning = "a device, to which the run would write the values; delete it";
  } else {
    warning = "the run overwrites this file, and deletes it at the end";
  }
  warnings.push_back({kScratchFileName, 0, warning});
  return scan;
}

}  // namespace

Preview previewRun(const std::optional<std::string>& inputName) {
  Preview preview;
  const Os readOnly = readOnlyOs(os());
  OsOverride guard(readOnly);
  IoResult = 0;
  preview.templates = scanTemplates(preview.warnings);
  if (inputName) preview.input = scanInput(*inputName);
  preview.scratch =
      scanScratch(protectedFiles(inputName.value_or("")), preview.warnings);
  return preview;
}

}  // namespace quorbel
