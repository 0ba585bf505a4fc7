// previewRun: the templates, the input and "temp" read or looked at as the
// run would meet them, under an OS table that writes nothing.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "app/line_end_tap.h"
#include "app/names_and_limits.h"
#include "app/overwrite_guard.h"
#include "app/preview.h"
#include "app/read_only_os.h"
#include "app/sample_values.h"
#include "app/template_rules.h"
#include "app/template_warnings.h"
#include "fileio/byte_file.h"
#include "fileio/errors.h"
#include "fileio/io_result.h"
#include "fileio/text_file.h"

namespace quorbel {
namespace {

// A first run of this many values within 2 of the first one is warned of.
constexpr std::uint32_t kFlatValuesWarned = 64;
// Links followed at most, as the OS follows them.
constexpr int kMaxLinkHops = 40;

// Whether the name, which reaches no file yet, is a link that leads to
// "temp" in this folder, which the run makes before it reads templates.
bool leadsToScratch(const std::string& name) {
  const std::optional<FileIdentity> here = identityOf(".");
  std::string path = name;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    // Up to and including the last slash; empty for this folder.
    std::string folder;
    if (std::size_t slash = path.find_last_of('/'); slash != path.npos) {
      folder = path.substr(0, slash + 1);
    }
    std::optional<FileStatus> status = statusOf(path, false);
    if (!status) {
      if (path.compare(folder.size(), path.npos, kScratchFileName) != 0) {
        return false;
      }
      return identityOf(folder.empty() ? std::string_view(".")
                                       : std::string_view(folder)) == here;
    }
    // A name on the way that is neither missing nor a link would make the
    // template's name reach a file, which it does not: only a change of the
    // folder meanwhile leads here.
    if (status->kind != FileKind::Link) return false;  // GCOVR_EXCL_BR_LINE
    OsResult<std::string> target = os().linkTarget(path.c_str());
    // A POSIX link always has a target; Windows reads none, and stops here.
    if (target.error != 0) return false;  // GCOVR_EXCL_BR_LINE
    if (target.value.starts_with('/')) {
      path = target.value;
    } else {
      path = folder + target.value;
    }
  }
  return false;
}

// Reads the templates in order, the region state carried from one to the
// next as in the run, and collects what they hold and their warnings.
struct TemplateScanner {
  std::vector<PreviewWarning>& warnings;
  LineEndTap& tap;
  RegionState regions;
  // Where the region still open began.
  std::string openedIn;
  std::uint32_t openedAt = 0;

  void readLines(CheckedFile& source, TemplateScan& scan) {
    if (regions.inRegion) scan.regions.push_back({0, 0});
    std::string line;
    for (;;) {
      bool end = textfile::atEnd(source);
      checkIo();
      if (end) return;
      textfile::readLine(source, line);
      ++scan.lines;
      bool wasInRegion = regions.inRegion;
      bool takes = takesValue(regions, line);
      if (!wasInRegion && regions.inRegion) {
        scan.regions.push_back({scan.lines, 0});
        openedIn = scan.name;
        openedAt = scan.lines;
      }
      if (wasInRegion && !regions.inRegion) {
        scan.regions.back().endLine = scan.lines;
      }
      if (takes) ++scan.room;
      appendLineWarnings(warnings, scan, line, regions.inRegion, takes);
    }
  }

  TemplateScan scanTemplate(int number) {
    TemplateScan scan;
    scan.name = templateName(number);
    // Reading a pipe or a device may never end: only files are read.
    std::optional<FileStatus> status = statusOf(scan.name, true);
    if (status &&
        (status->kind == FileKind::Pipe || status->kind == FileKind::Device)) {
      scan.notAFile = true;
      return scan;
    }
    CheckedFile source;
    bindName(source, scan.name);
    try {
      textfile::openRead(source);
      checkIo();
      tap = {&scan, source.handle, 0, false};
      readLines(source, scan);
      tap.finish();
      scan.size = os().fileSize(source.handle).value;
      close(source);
      checkIo();
    } catch (const EInOutError& error) {
      scan.whyUnreadable = error.message();
    } catch (const std::bad_alloc&) {
      scan.whyUnreadable = EOutOfMemory().message();
    }
    tap.scan = nullptr;
    if (scan.whyUnreadable.empty()) {
      appendFileWarnings(warnings, scan);
    } else if (!status && leadsToScratch(scan.name)) {
      scan.whyUnreadable = templateIsScratchRefusal(scan.name);
    }
    return scan;
  }

  // All four, and at their end the region that none of them closed.
  std::vector<TemplateScan> scanAll() {
    std::vector<TemplateScan> scans;
    for (int number = 1; number <= kPatchCount; ++number) {
      scans.push_back(scanTemplate(number));
    }
    if (regions.inRegion) {
      warnings.push_back(regionStillOpen(openedIn, openedAt));
    }
    return scans;
  }
};

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
  LineEndTap tap;
  const Os readOnly = readOnlyOs(os());
  const Os table = withLineEndTap(readOnly, tap);
  OsOverride guard(table);
  IoResult = 0;
  TemplateScanner templates{preview.warnings, tap, {}, {}, 0};
  preview.templates = templates.scanAll();
  if (inputName) preview.input = scanInput(*inputName);
  preview.scratch =
      scanScratch(protectedFiles(inputName.value_or("")), preview.warnings);
  return preview;
}

}  // namespace quorbel
