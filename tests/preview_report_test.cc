// The preview's report on small folders in the in-memory OS, line by line:
// what it finds in the templates, the patches it forecasts, its warnings and
// exit code; the forecast's order of failures; and the chart's patch marks.
#include "app/preview_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/names_and_limits.h"
#include "app/preview.h"
#include "app/preview_chart.h"
#include "tests/fake_os.h"
#include "tests/reference_rules.h"
#include "tests/report_lines.h"

namespace quorbel {
namespace {

using testing::crlf;
using testing::FakeOs;
using testing::Lines;

struct ReportCase {
  const char* name;
  std::vector<std::string> templates;  // the bytes of 1Template.pch, ...
  std::string input;
  Lines expected;  // lines the report holds
  Lines absent;    // starts of lines it must not hold
  int exitCode;
  friend void PrintTo(const ReportCase& c, std::ostream* out) {
    *out << c.name;
  }
};

class PreviewReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(PreviewReportTest, ReportsWhatTheRunWouldDo) {
  FakeOs fake;
  OsOverride guard(fake.table());
  const ReportCase& c = GetParam();
  for (std::size_t i = 0; i < c.templates.size(); ++i) {
    fake.addFile(templateName(static_cast<int>(i + 1)), c.templates[i]);
  }
  fake.addFile("in.raw", c.input);
  Preview preview = previewRun("in.raw");
  Forecast forecast = forecastRun(preview);
  const std::string out = previewReport(preview, forecast);

  const Lines report = testing::reportLines(out);
  for (const std::string& line : c.expected) {
    EXPECT_NE(std::find(report.begin(), report.end(), line), report.end())
        << "missing: " << line << "\nin:\n"
        << out;
  }
  for (const std::string& start : c.absent) {
    for (const std::string& line : report) {
      EXPECT_FALSE(line.starts_with(start)) << line;
    }
  }
  EXPECT_EQ(forecast.exitCode, c.exitCode) << out << failureLine(forecast);
  EXPECT_EQ(fake.contents("in.raw"), c.input) << "the preview wrote";
}

const std::string kRegion = crlf({"Type=91", "P1=64", "P2=64", "P16=15"});

// A region of 100 parameter lines.
const std::string kLargeRegion = [] {
  Lines lines{"Type=91"};
  for (int i = 1; i <= 100; ++i)
    lines.push_back("P" + std::to_string(i) + "=64");
  lines.push_back("P16=15");
  return crlf(lines);
}();

INSTANTIATE_TEST_SUITE_P(
    Folders, PreviewReportTest,
    ::testing::Values(
        ReportCase{"RegionsAcrossTemplates",
                   {crlf({"Name=a", "Type=91", "P1=64", "P16=15", "Type=91"}),
                    crlf({"P1=64", "P16=15"}), kRegion, kRegion},
                   std::string(9, '\x40'),
                   {"1Template.pch: 41 bytes, 5 lines, line ends CR LF",
                    "  region from line 2 to line 4",
                    "  region from line 5, open at the end: it goes on into "
                    "2Template.pch",
                    "  region carried over from 1Template.pch to line 2",
                    "Patch 1: 1 value, 1 to 1", "Patch 2: 1 value, 2 to 2",
                    "Patch 3: 2 values, 3 to 4", "Patch 4: 2 values, 5 to 6",
                    "Summary: patches written 4, values used 6, values "
                    "unused 3."},
                   {"Warning"},
                   kNothingWarned},
        ReportCase{"EmptyInputWritesPatchOneUnchanged",
                   {kRegion},
                   "",
                   {"Patch 1: 0 values", "Patch 2: not written",
                    "Summary: patches written 1, values used 0, values "
                    "unused 0."},
                   {"Warning", "Values"},
                   kNothingWarned},
        ReportCase{"RegionStillOpenAtTheEnd",
                   {kRegion, kRegion, kRegion, crlf({"Type=91", "P1=64"})},
                   "",
                   {"  region from line 1, still open at the end of the last "
                    "template",
                    "Warning: 4Template.pch:1: the region that starts here is "
                    "still open at the end of the last template"},
                   {},
                   kWarned},
        ReportCase{"CtrlZAsTheLastByteCutsNothing",
                   {kRegion + "\x1A"},
                   "\x40",
                   {"  Ctrl-Z at byte 32 (line 5) ends the data"},
                   {"Warning"},
                   kNothingWarned},
        ReportCase{"CtrlZWithBytesAfterIt",
                   {kRegion + "\x1A" + "P1=2"},
                   "\x40",
                   {"Warning: 1Template.pch:5: the Ctrl-Z at byte 32 ends the "
                    "template: the 4 bytes after it are never read"},
                   {},
                   kWarned},
        ReportCase{"SixtyThreeFlatValuesAreNoSilence",
                   {kLargeRegion},
                   std::string(63, '\x40') + "\x80",
                   {},
                   {"Warning"},
                   kNothingWarned},
        ReportCase{"SixtyFourFlatValuesAreSilence",
                   {kLargeRegion},
                   std::string(64, '\x40') + "\x80",
                   {"Warning: in.raw: the first 64 values lie within 2 of the "
                    "first one, 32: most likely silence at the start of a "
                    "recording, which makes a flat line"},
                   {},
                   kWarned},
        ReportCase{
            "ParametersHiddenBehindLineFeeds",
            {crlf({"Type=91", "P1=64\nP2=64\nP3=64", "P16=15"})},
            "\x40",
            {"1Template.pch: 36 bytes, 3 lines, line ends CR LF, and 2 "
             "bare line feeds that end no line",
             "Warning: 1Template.pch:2: \"P1=64\\x0AP2=64\\x0AP3=64\" is "
             "one line to the run, as its line feeds end no line: P2, "
             "P3 take no value of their own"},
            {},
            kWarned},
        ReportCase{"OneBareLineFeedOutsideARegion",
                   {crlf({"Name=a\nb", "Type=91", "P1=64", "P16=15"})},
                   "\x40",
                   {"1Template.pch: 34 bytes, 4 lines, line ends CR LF, and 1 "
                    "bare line feed that ends no line"},
                   {"Warning"},
                   kNothingWarned},
        // Printable ASCII ends at '~': DEL and every byte above are not.
        ReportCase{"ControlBytesAreShownEscaped",
                   {crlf({"Type=91", "P1\x1B[2J\x7F\x80", "P16=15"})},
                   "\x40",
                   {"Warning: 1Template.pch:2: \"P1\\x1B[2J\\x7F\\x80\" takes "
                    "a value, which replaces the whole line: it starts with P "
                    "inside a region and has no \"=\""},
                   {},
                   kWarned},
        ReportCase{"LongLineWithoutEqualsKeepsItsTail",
                   {crlf({"Type=91", "P" + std::string(1003, 'a'), "P16=15"})},
                   "\x40",
                   {"Warning: 1Template.pch:2: \"P" + std::string(39, 'a') +
                    "...\" takes a value, which replaces its first 999 "
                    "characters, and the run keeps the other 5 in front of "
                    "the value: it starts with P inside a region and has no "
                    "\"=\""},
                   {"Warning: 1Template.pch:2: the value text"},
                   kWarned},
        ReportCase{"MissingTemplateTheRunReaches",
                   {kRegion},
                   std::string(3, '\x40'),
                   {"Patch 1: 2 values, 1 to 2",
                    "Patch 2: the run would fail: File not found.",
                    "Patch 3: not written"},
                   {},
                   kCannotPreview}),
    [](const ::testing::TestParamInfo<ReportCase>& info) {
      return std::string(info.param.name);
    });

// Without an input the last line is the room of the templates that can be
// read, each count in the singular for one.
TEST(PreviewSummaryTest, TellsTheTemplatesRoomWithoutAnInput) {
  const struct {
    std::vector<std::string> templates;
    std::string summary;
  } cases[] = {
      {{crlf({"Type=91", "P1=64", "P16=15"})},
       "Summary: room for 1 value in 1 template."},
      {{kRegion, kRegion, kRegion},
       "Summary: room for 6 values in 3 templates."},
      {{crlf({"Name=a"}), kRegion},
       "Summary: room for 2 values in 2 templates."},
  };
  for (const auto& c : cases) {
    FakeOs fake;
    OsOverride guard(fake.table());
    for (std::size_t i = 0; i < c.templates.size(); ++i) {
      fake.addFile(templateName(static_cast<int>(i + 1)), c.templates[i]);
    }
    Preview preview = previewRun(std::nullopt);
    const Lines report =
        testing::reportLines(previewReport(preview, forecastRun(preview)));
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.back(), c.summary);
  }
}

// The run meets its failures in a fixed order: opening the input, "temp",
// reading the input, then each template in turn, "temp" read back in the
// first.
TEST(ForecastTest, TellsTheFirstFailureTheRunMeets) {
  auto templates = [](std::vector<TemplateScan> scans) {
    const char* names[] = {"1Template.pch", "2Template.pch", "3Template.pch",
                           "4Template.pch"};
    for (std::size_t i = 0; i < scans.size(); ++i) scans[i].name = names[i];
    return scans;
  };
  TemplateScan room;
  room.room = 2;
  TemplateScan missing;
  missing.whyUnreadable = "File not found";
  TemplateScan pipe;
  pipe.notAFile = true;
  InputScan input;
  input.name = "in.raw";
  input.values = "abc";
  InputScan readOnly = input;
  readOnly.openFailure = "File access denied";
  InputScan pipeInput;
  pipeInput.name = "in.raw";
  pipeInput.readFailure = "I/O error 29";
  const ScratchScan none;
  ScratchScan folder;
  folder.createFailure = "File access denied";
  ScratchScan pipeScratch;
  pipeScratch.readFailure = "I/O error 29";

  using Outcome = PatchPlan::Outcome;
  const struct {
    const char* name;
    Preview preview;
    std::vector<Outcome> outcomes;
    std::string failedFile;
  } cases[] = {
      {"written",
       {templates({room, room, room, room}), {}, input, none},
       {Outcome::Written, Outcome::Written, Outcome::NotWritten,
        Outcome::NotWritten},
       ""},
      {"input before temp",
       {templates({room, room, room, room}), {}, readOnly, folder},
       {Outcome::Fails, Outcome::NotWritten, Outcome::NotWritten,
        Outcome::NotWritten},
       "in.raw"},
      {"temp before reading the input",
       {templates({room, room, room, room}), {}, pipeInput, folder},
       {Outcome::Fails, Outcome::NotWritten, Outcome::NotWritten,
        Outcome::NotWritten},
       "temp"},
      {"template before reading temp back",
       {templates({missing, room, room, room}), {}, input, pipeScratch},
       {Outcome::Fails, Outcome::NotWritten, Outcome::NotWritten,
        Outcome::NotWritten},
       "1Template.pch"},
      {"reading temp back",
       {templates({room, room, room, room}), {}, input, pipeScratch},
       {Outcome::Fails, Outcome::NotWritten, Outcome::NotWritten,
        Outcome::NotWritten},
       "temp"},
      {"a pipe as template",
       {templates({room, pipe, room, room}), {}, input, none},
       {Outcome::Written, Outcome::Waits, Outcome::NotWritten,
        Outcome::NotWritten},
       "2Template.pch"},
      {"a template past the values is not read",
       {templates({room, room, missing, pipe}), {}, input, none},
       {Outcome::Written, Outcome::Written, Outcome::NotWritten,
        Outcome::NotWritten},
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Forecast forecast = forecastRun(c.preview);
    std::vector<Outcome> outcomes;
    for (const PatchPlan& plan : forecast.patches) {
      outcomes.push_back(plan.outcome);
    }
    EXPECT_EQ(outcomes, c.outcomes);
    EXPECT_EQ(forecast.failedFile, c.failedFile);
    EXPECT_EQ(forecast.exitCode,
              c.failedFile.empty() ? kNothingWarned : kCannotPreview);
  }
}

TEST(PatchMarksTest, NumbersEachPatchWhereItStartsWithoutLosingOne) {
  auto written = [](std::uint32_t first, std::uint32_t count) {
    return PatchPlan{PatchPlan::Outcome::Written, first, count, ""};
  };
  const PatchPlan notWritten{PatchPlan::Outcome::NotWritten, 0, 0, ""};
  const struct {
    std::size_t values;
    std::vector<PatchPlan> patches;
    std::string marks;
  } cases[] = {
      {240,
       {written(1, 60), written(61, 60), written(121, 60), written(181, 60)},
       "     1                 2                 3                 4"},
      // Rooms of 1, 1, 60 and 60: the first three start in one column.
      {122,
       {written(1, 1), written(2, 1), written(3, 60), written(63, 60)},
       "     123" + std::string(34, ' ') + "4"},
      // Rooms of 141, 1, 1 and 1: the last three start in the last two
      // columns, and the line grows past the chart to hold them.
      {144,
       {written(1, 141), written(142, 1), written(143, 1), written(144, 1)},
       "     1" + std::string(69, ' ') + "234"},
      {3, {written(1, 3), notWritten, notWritten, notWritten}, "     1"},
      {2, {written(1, 0), written(1, 2), notWritten, notWritten}, "     2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.marks);
    std::size_t columns = std::min<std::size_t>(72, c.values);
    EXPECT_EQ(patchMarks(c.values, columns, c.patches), c.marks);
  }
}

}  // namespace
}  // namespace quorbel
