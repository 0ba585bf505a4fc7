#include "app/preview.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "app/names_and_limits.h"
#include "app/overwrite_guard.h"
#include "app/sample_values.h"
#include "app/template_rules.h"
#include "fileio/byte_file.h"
#include "fileio/failure_report.h"
#include "fileio/io_result.h"
#include "fileio/text_file.h"

namespace quorbel {
namespace {

// Follows the bytes of the template being scanned as its text file takes
// them from the OS, for what the lines no longer show: their line ends and
// a Ctrl-Z.
struct RawBytes {
  TemplateScan* scan = nullptr;  // none between templates
  OsHandle handle = 0;
  std::uint64_t offset = 0;
  bool carriageReturn = false;  // the last byte was a CR

  void take(const char* bytes, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count && !scan->ctrlZOffset; ++i) {
      char c = bytes[i];
      if (carriageReturn) {
        carriageReturn = false;
        ++(c == '\n' ? scan->crLfEnds : scan->loneCrEnds);
        if (c == '\n') {
          ++offset;
          continue;
        }
      }
      if (c == kEndMarker) scan->ctrlZOffset = offset;
      if (c == '\r') carriageReturn = true;
      if (c == '\n') ++scan->bareLineFeeds;
      ++offset;
    }
  }

  void finish() {
    if (carriageReturn) ++scan->loneCrEnds;
  }
};

// The platform's calls, except that nothing can be created, written or
// deleted, and the bytes read from the template being scanned go to `raw`.
Os readOnlyOs(RawBytes& raw) {
  Os table = defaultOs();
  table.open = [](const char* name, OsAccess access, OsSharing sharing,
                  OsExistence existence) -> OsResult<OsHandle> {
    if (existence == OsExistence::CreateOrEmpty) return {kAccessDenied, 0};
    return defaultOs().open(name, access, sharing, existence);
  };
  table.read = [&raw](OsHandle handle, void* buffer, std::uint32_t count) {
    OsResult<std::uint32_t> read = defaultOs().read(handle, buffer, count);
    if (raw.scan != nullptr && handle == raw.handle && read.error == 0) {
      raw.take(static_cast<const char*>(buffer), read.value);
    }
    return read;
  };
  table.write = [](OsHandle, const void*, std::uint32_t) {
    return OsResult<std::uint32_t>{kAccessDenied, 0};
  };
  table.deleteFile = [](const char*) { return false; };
  return table;
}

std::string quoted(const std::string& line) {
  constexpr std::size_t kShown = 40;
  if (line.size() <= kShown) return "\"" + line + "\"";
  return "\"" + line.substr(0, kShown) + "...\"";
}

bool isParameterKey(const std::string& key) {
  return key.size() > 1 && key[0] == 'P' &&
         std::all_of(key.begin() + 1, key.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// Reads the templates in order, the region state carried from one to the
// next as in the run, and collects what they hold and their warnings.
struct Scanner {
  Preview& preview;
  RawBytes& raw;
  RegionState regions;
  // Where the region still open began.
  PreviewWarning openedAt;

  void warn(const TemplateScan& scan, std::uint32_t line, std::string text) {
    preview.warnings.push_back({scan.name, line, std::move(text)});
  }

  // The warnings the line just read earns.
  void checkLine(const TemplateScan& scan, const std::string& line,
                 bool takesValue) {
    // A line with a blank or a tab is no marker, but may look like one.
    if (line.find_first_of(" \t") != std::string::npos) {
      std::string squeezed = line;
      std::erase_if(squeezed, [](char c) { return c == ' ' || c == '\t'; });
      for (std::string_view marker : {kRegionStart, kRegionEnd}) {
        if (!equalsMarker(squeezed, marker)) continue;
        warn(scan, scan.lines,
             quoted(line) + " is no marker: only \"" + std::string(marker) +
                 "\" itself, without blanks or tabs, " +
                 (marker == kRegionStart ? "starts" : "ends") + " a region");
      }
    }
    if (!takesValue) return;
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
      warn(scan, scan.lines,
           quoted(line) +
               " takes a value, which replaces the whole line: it starts "
               "with P inside a region and has no \"=\"");
    } else if (!isParameterKey(line.substr(0, equals))) {
      warn(scan, scan.lines,
           quoted(line) +
               " takes a value: inside a region every line that starts "
               "with P does");
    }
    std::size_t valueText = line.size() - valueStart(line);
    if (valueText > kMaxValueTextReplaced) {
      warn(scan, scan.lines,
           "the value text has " + std::to_string(valueText) +
               " characters: a value replaces only the first " +
               std::to_string(kMaxValueTextReplaced) +
               ", and the run keeps the other " +
               std::to_string(valueText - kMaxValueTextReplaced));
    }
  }

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
        openedAt = {scan.name, scan.lines, ""};
      }
      if (wasInRegion && !regions.inRegion) {
        scan.regions.back().endLine = scan.lines;
      }
      if (takes) ++scan.room;
      checkLine(scan, line, takes);
    }
  }

  TemplateScan scanTemplate(int number) {
    TemplateScan scan;
    scan.name = templateName(number);
    CheckedFile source;
    bind(source, scan.name);
    try {
      textfile::openRead(source);
      checkIo();
      raw = {&scan, source.handle, 0, false};
      readLines(source, scan);
      raw.finish();
      scan.size = os().fileSize(source.handle).value;
      close(source);
      checkIo();
    } catch (const EInOutError& error) {
      scan.failure = error.message();
    } catch (const std::bad_alloc&) {
      scan.failure = EOutOfMemory().message();
    }
    raw.scan = nullptr;
    if (!scan.failure.empty()) return scan;
    if (scan.bareLineFeeds > 0 && scan.crLfEnds + scan.loneCrEnds == 0) {
      warn(scan, 1,
           "line feeds but no carriage return: the run reads the whole file "
           "as one line");
    }
    if (scan.ctrlZOffset && scan.size > *scan.ctrlZOffset + 1) {
      warn(scan, scan.ctrlZLine(),
           "the Ctrl-Z at byte " + std::to_string(*scan.ctrlZOffset + 1) +
               " ends the template: the " +
               std::to_string(scan.size - *scan.ctrlZOffset - 1) +
               " bytes after it are never read");
    }
    return scan;
  }
};

InputScan scanInput(const std::string& name) {
  InputScan scan;
  scan.name = name;
  CheckedFile input;
  bind(input, name);
  try {
    bytefile::openRead(input, 1);
    checkIo();
    scan.size = os().fileSize(input.handle).value;
    readSampleValues(input, [&scan](SampleValue value) {
      scan.values += static_cast<char>(value);
    });
    close(input);
    checkIo();
  } catch (const EInOutError& error) {
    scan.failure = error.message();
  }
  return scan;
}

}  // namespace

Preview previewRun(const std::optional<std::string>& inputName) {
  Preview preview;
  RawBytes raw;
  Os table = readOnlyOs(raw);
  OsOverride readOnly(table);
  IoResult = 0;
  Scanner scanner{preview, raw, {}, {}};
  for (int number = 1; number <= kPatchCount; ++number) {
    preview.templates.push_back(scanner.scanTemplate(number));
  }
  if (scanner.regions.inRegion) {
    PreviewWarning& opened = scanner.openedAt;
    opened.text =
        "the region that starts here is still open at the end of the last "
        "template";
    preview.warnings.push_back(opened);
  }
  if (inputName) preview.input = scanInput(*inputName);
  try {
    refuseScratchFile(protectedFiles(inputName.value_or("")));
  } catch (const Exception& refusal) {
    preview.scratchRefusal = refusal.message();
  }
  return preview;
}

std::vector<PatchPlan> planPatches(const Preview& preview,
                                   std::uint32_t valueCount) {
  std::vector<PatchPlan> plans;
  bool ended = !preview.scratchRefusal.empty();
  std::uint32_t given = 0;
  for (const TemplateScan& scan : preview.templates) {
    // Each patch after the first needs values left over from the ones
    // before.
    if (ended || (!plans.empty() && given == valueCount)) {
      plans.push_back({PatchPlan::Outcome::NotWritten, 0, 0, ""});
    } else if (!scan.failure.empty()) {
      plans.push_back({PatchPlan::Outcome::Fails, 0, 0, scan.failure});
      ended = true;
    } else {
      std::uint32_t count = std::min(scan.room, valueCount - given);
      plans.push_back({PatchPlan::Outcome::Written, given + 1, count, ""});
      given += count;
    }
  }
  return plans;
}

std::uint32_t flatStart(const std::string& values) {
  if (values.empty()) return 0;
  auto far = std::find_if(values.begin(), values.end(), [&](char value) {
    return std::abs(value - values.front()) > 2;
  });
  return static_cast<std::uint32_t>(far - values.begin());
}

}  // namespace quorbel
