#include "app/preview.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string_view>

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

// A first run of this many values within 2 of the first one is warned of.
constexpr std::uint32_t kFlatValuesWarned = 64;
// Links followed at most, as the OS follows them.
constexpr int kMaxLinkHops = 40;

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

// The calls of the table in force, except that nothing can be created,
// written or deleted, and the bytes read from the template being scanned
// go to `raw`.
Os readOnlyOs(const Os& base, RawBytes& raw) {
  Os table = base;
  table.open = [&base](const char* name, OsAccess access, OsSharing sharing,
                       OsExistence existence) -> OsResult<OsHandle> {
    if (existence == OsExistence::CreateOrEmpty || access != OsAccess::Read) {
      return {kAccessDenied, 0};
    }
    return base.open(name, access, sharing, existence);
  };
  table.read = [&base, &raw](OsHandle handle, void* buffer,
                             std::uint32_t count) {
    OsResult<std::uint32_t> read = base.read(handle, buffer, count);
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

// The start of a line, for a warning; the report makes it printable.
std::string quoted(std::string_view line) {
  constexpr std::size_t kShown = 40;
  std::string shown = "\"";
  shown += line.substr(0, kShown);
  shown += line.size() <= kShown ? "\"" : "...\"";
  return shown;
}

bool isParameterKey(std::string_view key) {
  return key.size() > 1 && key[0] == 'P' &&
         std::all_of(key.begin() + 1, key.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// Whether the line equals the marker once its blanks and tabs are left
// out. Compares in place: a template line may be very long.
bool equalsMarkerWithoutBlanks(std::string_view line, std::string_view marker) {
  std::size_t matched = 0;
  for (char c : line) {
    if (c == ' ' || c == '\t') continue;
    if (matched == marker.size() ||
        !equalsMarker({&c, 1}, marker.substr(matched, 1))) {
      return false;
    }
    ++matched;
  }
  return matched == marker.size();
}

// The keys of the parameter lines hidden after the line's bare line feeds,
// such as "P2, P3"; empty when there is none.
std::string hiddenParameters(std::string_view line) {
  constexpr std::size_t kKeyShown = 20;
  std::string keys;
  for (std::size_t feed = line.find('\n'); feed != std::string_view::npos;
       feed = line.find('\n', feed + 1)) {
    std::string_view rest = line.substr(feed + 1);
    if (!isParameterLine(rest)) continue;
    std::string_view key = rest.substr(0, rest.find_first_of("=\n"));
    keys += (keys.empty() ? "" : ", ") + std::string(key.substr(0, kKeyShown));
  }
  return keys;
}

// Whether the name, which reaches no file yet, is a link that leads to
// "temp" in this folder, which the run makes before it reads templates.
bool leadsToScratch(std::string path) {
  const std::optional<FileIdentity> here = identityOf(".");
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    std::size_t slash = path.find_last_of('/');
    std::string folder =
        slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::optional<FileStatus> status = statusOf(path, false);
    if (!status) {
      return path.substr(folder.size()) == kScratchFileName &&
             identityOf(folder.empty() ? "." : folder) == here;
    }
    if (status->kind != FileKind::Link) return false;
    OsResult<std::string> target = os().linkTarget(path.c_str());
    if (target.error != 0) return false;
    path = target.value.starts_with('/') ? target.value : folder + target.value;
  }
  return false;
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
  void checkLine(const TemplateScan& scan, std::string_view line,
                 bool takesValue) {
    // A line with a blank or a tab is no marker, but may look like one.
    if (line.find_first_of(" \t") != std::string_view::npos) {
      for (std::string_view marker : {kRegionStart, kRegionEnd}) {
        if (!equalsMarkerWithoutBlanks(line, marker)) continue;
        warn(scan, scan.lines,
             quoted(line) + " is no marker: only \"" + std::string(marker) +
                 "\" itself, without blanks or tabs, " +
                 (marker == kRegionStart ? "starts" : "ends") + " a region");
      }
    }
    if (regions.inRegion) {
      if (std::string keys = hiddenParameters(line); !keys.empty()) {
        warn(scan, scan.lines,
             quoted(line) +
                 " is one line to the run, as its line feeds end no line: " +
                 keys + " take no value of their own");
      }
    }
    if (!takesValue) return;
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      std::string replaced =
          line.size() <= kMaxValueTextReplaced
              ? "the whole line"
              : "its first " + std::to_string(kMaxValueTextReplaced) +
                    " characters, and the run keeps the other " +
                    std::to_string(line.size() - kMaxValueTextReplaced) +
                    " in front of the value";
      warn(scan, scan.lines,
           quoted(line) + " takes a value, which replaces " + replaced +
               ": it starts with P inside a region and has no \"=\"");
      return;
    }
    if (!isParameterKey(line.substr(0, equals))) {
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
    if (!scan.failure.empty()) {
      if (!status && leadsToScratch(scan.name)) {
        scan.failure = templateIsScratchRefusal(scan.name);
      }
      return scan;
    }
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
    scan.failure = error.message();
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
  return denied ? ioMessage(kAccessDenied) : "";
}

ScratchScan scanScratch(std::span<const ProtectedFile> kept,
                        std::vector<PreviewWarning>& warnings) {
  ScratchScan scan;
  try {
    refuseScratchFile(kept);
  } catch (const Exception& refusal) {
    scan.failure = refusal.message();
  }
  std::optional<FileStatus> status = statusOf(kScratchFileName, false);
  if (scan.failure.empty()) scan.failure = scratchCreateFailure(status);
  std::string warning;
  if (!scan.failure.empty()) {
    warning = "the run would fail before writing any patch: " + scan.failure;
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
  RawBytes raw;
  Os table = readOnlyOs(os(), raw);
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
  preview.scratch =
      scanScratch(protectedFiles(inputName.value_or("")), preview.warnings);
  return preview;
}

Forecast forecastRun(const Preview& preview) {
  Forecast forecast;
  const InputScan* input = preview.input ? &*preview.input : nullptr;
  // Without an input, the patches of the longest one.
  const std::uint32_t valueCount =
      input != nullptr ? static_cast<std::uint32_t>(input->values.size())
                       : kSampleLimit;
  auto fail = [&forecast](const std::string& file, const std::string& why) {
    if (!forecast.failure.empty() || why.empty()) return;
    forecast.failedFile = file;
    forecast.failure = why;
  };
  // The failures before the first patch, in the order the run meets them.
  if (input != nullptr) {
    fail(input->name, input->failure);
    fail(input->name, input->openFailure);
  }
  fail(kScratchFileName, preview.scratch.failure);
  if (input != nullptr) fail(input->name, input->readFailure);
  const std::string failsBefore = forecast.failure;

  // An input that cannot be read gives no values, let alone patches.
  bool ended = input != nullptr && !input->failure.empty();
  for (const TemplateScan& scan : preview.templates) {
    const bool first = forecast.patches.empty();
    // Each patch after the first needs values left over from the ones
    // before.
    if (ended || (!first && forecast.valuesUsed == valueCount)) {
      forecast.patches.push_back({PatchPlan::Outcome::NotWritten, 0, 0, ""});
      ended = true;
      continue;
    }
    PatchPlan plan;
    if (first && !failsBefore.empty()) {
      plan = {PatchPlan::Outcome::Fails, 0, 0, failsBefore};
    } else if (!scan.failure.empty()) {
      plan = {PatchPlan::Outcome::Fails, 0, 0, scan.failure};
      fail(scan.name, scan.failure);
    } else if (scan.notAFile) {
      plan = {PatchPlan::Outcome::Waits, 0, 0, ""};
      fail(scan.name,
           "a pipe or a device, which the run may wait forever to read");
    } else if (first && !preview.scratch.readFailure.empty()) {
      plan = {PatchPlan::Outcome::Fails, 0, 0, preview.scratch.readFailure};
      fail(kScratchFileName, preview.scratch.readFailure);
    } else {
      std::uint32_t count =
          std::min(scan.room, valueCount - forecast.valuesUsed);
      plan = {PatchPlan::Outcome::Written, forecast.valuesUsed + 1, count, ""};
      forecast.valuesUsed += count;
      ++forecast.patchesWritten;
    }
    ended = plan.outcome != PatchPlan::Outcome::Written;
    forecast.patches.push_back(plan);
  }

  bool warned = !preview.warnings.empty() ||
                (input != nullptr && !input->warnings.empty());
  forecast.exitCode = !forecast.failure.empty() ? kCannotPreview
                      : warned                  ? kWarned
                                                : kNothingWarned;
  return forecast;
}

std::uint32_t flatStart(const std::string& values) {
  if (values.empty()) return 0;
  auto far = std::find_if(values.begin(), values.end(), [&](char value) {
    return std::abs(value - values.front()) > 2;
  });
  return static_cast<std::uint32_t>(far - values.begin());
}

}  // namespace quorbel
