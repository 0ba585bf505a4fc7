#include "app/template_scan.h"

#include <new>

#include "app/line_end_tap.h"
#include "app/names_and_limits.h"
#include "app/overwrite_guard.h"
#include "app/template_rules.h"
#include "app/template_warnings.h"
#include "fileio/errors.h"
#include "fileio/io_result.h"
#include "fileio/text_file.h"

namespace quorbel {
namespace {

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

}  // namespace

std::vector<TemplateScan> scanTemplates(std::vector<PreviewWarning>& warnings) {
  // Counts what the lines no longer show as the bytes arrive.
  LineEndTap tap;
  const Os tapped = withLineEndTap(os(), tap);
  OsOverride guard(tapped);
  TemplateScanner scanner{warnings, tap, {}, {}, 0};
  return scanner.scanAll();
}

}  // namespace quorbel
