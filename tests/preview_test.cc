// quorbel-preview end to end: on generated folders its patch lines and
// summary must be what quorbel then writes, and it must leave the folder as
// it was; each warning on a folder made for it; its exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/names_and_limits.h"
#include "tests/end_to_end_fixture.h"
#include "tests/reference_rules.h"
#include "tests/report_lines.h"

namespace quorbel::testing {
namespace {

namespace fs = std::filesystem;

// The lines that tell what the run does: one per patch, and the summary.
Lines planLines(const std::string& output) {
  Lines plan;
  for (const std::string& line : reportLines(output)) {
    if (line.starts_with("Patch ") || line.starts_with("Summary: ")) {
      plan.push_back(line);
    }
  }
  return plan;
}

// The template's bytes, with line ends of one kind or mixed, sometimes a
// line feed inside a line, and sometimes a Ctrl-Z with more after it.
std::string templateBytes(const Lines& lines, std::mt19937& random) {
  const int kind = random() % 6;  // CR LF thrice as often as the others
  std::string bytes;
  for (const std::string& line : lines) {
    if (random() % 40 == 0) bytes += "\x1A";
    bytes += line;
    if (kind != 5 && random() % 30 == 0) bytes += "\nfeed";
    if (kind == 3 || (kind == 4 && random() % 2 == 0)) {
      bytes += "\r";
    } else {
      bytes += kind == 5 ? "\n" : "\r\n";
    }
  }
  return bytes;
}

class PreviewTest : public EndToEndTest {
 protected:
  // Runs the preview and then quorbel on the folder, and tells the plan
  // lines that quorbel's patches and "temp" show, one per patch and the
  // summary, as the preview should print them.
  Lines planOfTheRun(const std::string& input) {
    RunOutcome outcome = run("in.raw", "out");
    Folder after = contents();
    // A failed run names its failure on the report's second line. A refusal
    // comes before its patch is made; any other failure after.
    std::string failure;
    bool refusal = false;
    std::size_t report = outcome.standardOutput.find("Exception ");
    if (report != std::string::npos) {
      refusal = outcome.standardOutput.compare(report, 20,
                                               "Exception Exception ") == 0;
      std::size_t message = outcome.standardOutput.find('\n', report) + 1;
      failure = outcome.standardOutput.substr(message);
      failure.erase(failure.find('\r'));
    }
    int made = 0;
    for (int n = 1; n <= 4; ++n) made += after.count(patchName(n)) ? 1 : 0;
    const int failedAt =
        failure.empty() ? 0 : std::max(1, made + (refusal ? 1 : 0));

    Lines plan;
    std::size_t used = 0;
    std::size_t written = 0;
    for (int n = 1; n <= 4; ++n) {
      std::string line = "Patch " + std::to_string(n) + ": ";
      if (n == failedAt) {
        plan.push_back(line + "the run would fail: " + failure);
        continue;
      }
      if (!after.count(patchName(n))) {
        plan.push_back(line + "not written");
        continue;
      }
      // A line that took a value has changed; no other line has.
      Lines source = referenceLines(after.at(templateName(n)));
      Lines made = referenceLines(after.at(patchName(n)));
      EXPECT_EQ(source.size(), made.size()) << patchName(n);
      std::size_t values = 0;
      for (std::size_t i = 0; i < source.size() && i < made.size(); ++i) {
        values += source[i] != made[i];
      }
      line += counted(values, "value");
      if (values > 0) {
        line += ", " + std::to_string(used + 1) + " to " +
                std::to_string(used + values);
      }
      plan.push_back(line);
      used += values;
      ++written;
    }
    plan.push_back("Summary: patches written " + std::to_string(written) +
                   ", values used " + std::to_string(used) +
                   ", values unused " +
                   std::to_string(halved(input).size() - used) + ".");
    return plan;
  }

  static std::string patchName(int number) {
    return std::to_string(number) + "out.pch";
  }

  // A "temp" of one of the kinds a folder may hold, or none, and now and
  // then a template that is a link to it.
  void putScratch(std::mt19937& random) {
    switch (random() % 14) {
      case 0:
        put("temp", "an old scratch file");
        break;
      case 1:
        putFolder("temp");
        break;
      case 2:
        // A Windows folder holds no pipe.
        if (settings().command.size() == 1) putFifo("temp");
        break;
      case 3:
        putSymlink("temp", "in.raw");
        break;
      case 4:
        putSymlink("temp", templateName(1 + random() % 4));
        break;
      case 5:
        putFolder("elsewhere");
        put("elsewhere/notes", "precious");
        putSymlink("temp", "elsewhere/notes");
        break;
      case 6:
        putSymlink("temp", "absent");
        break;
    }
    // On Windows the preview cannot read where a link leads (and Wine
    // shows a link as the file it reaches): a template that links to a
    // "temp" not yet made is foreseen as missing there.
    if (random() % 6 == 0 && settings().command.size() == 1) {
      std::string name = templateName(1 + random() % 4);
      remove(name);
      putSymlink(name, random() % 2 ? "temp" : "./temp");
    }
  }
};

class PreviewPropertyTest : public PreviewTest,
                            public ::testing::WithParamInterface<unsigned> {};

TEST_P(PreviewPropertyTest, TellsWhatTheRunWritesAndWritesNothing) {
  // Each start of a program under an emulator costs about half a second.
  if (settings().command.size() > 1 && GetParam() >= 40) {
    GTEST_SKIP() << "40 folders suffice under a wrapper";
  }
  std::mt19937 random(GetParam());
  std::string input = sampleBytes(random() % 3001, GetParam());
  put("in.raw", input);
  for (int n = 1; n <= 4; ++n) {
    if (random() % 10 == 0) continue;  // missing
    put(templateName(n),
        templateBytes(randomTemplate(random, static_cast<int>(random() % 400)),
                      random));
  }
  putScratch(random);

  Folder before = contents();
  RunOutcome preview = runPreview({"in.raw"});
  EXPECT_EQ(contents(), before) << "the preview changed the folder";
  Lines plan = planOfTheRun(input);
  EXPECT_EQ(planLines(preview.standardOutput), plan)
      << preview.standardOutput << preview.standardError;
  bool fails = std::any_of(plan.begin(), plan.end(), [](const auto& line) {
    return line.find("would fail") != std::string::npos;
  });
  bool warned = preview.standardOutput.find("Warning: ") != std::string::npos;
  EXPECT_EQ(describe(preview), "exit code " + std::to_string(fails    ? 2
                                                             : warned ? 1
                                                                      : 0))
      << preview.standardError;
}

INSTANTIATE_TEST_SUITE_P(Folders, PreviewPropertyTest,
                         ::testing::Range(0u, 150u));

struct WarningCase {
  const char* name;
  std::vector<std::string> templates;  // the bytes of 1Template.pch, ...
  std::string input;
  std::string warning;  // the start of the one warning line expected
  // An empty input needs template 1 only.
  friend void PrintTo(const WarningCase& c, std::ostream* out) {
    *out << c.name;
  }
};

class PreviewWarningTest : public PreviewTest,
                           public ::testing::WithParamInterface<WarningCase> {};

TEST_P(PreviewWarningTest, WarnsOnceAndEndsWithOne) {
  for (std::size_t i = 0; i < GetParam().templates.size(); ++i) {
    put(templateName(static_cast<int>(i + 1)), GetParam().templates[i]);
  }
  put("in.raw", GetParam().input);
  RunOutcome preview = runPreview({"in.raw"});
  Lines warnings;
  for (const std::string& line : reportLines(preview.standardOutput)) {
    if (line.starts_with("Warning: ")) warnings.push_back(line);
  }
  ASSERT_EQ(warnings.size(), 1u) << preview.standardOutput;
  EXPECT_TRUE(warnings[0].starts_with(GetParam().warning)) << warnings[0];
  EXPECT_EQ(describe(preview), "exit code 1");
}

const std::string kRegion = crlf({"Type=91", "P1=1", "P16=15"});

INSTANTIATE_TEST_SUITE_P(
    Cases, PreviewWarningTest,
    ::testing::Values(
        WarningCase{"BlankAfterMarker",
                    {crlf({"Name=x", "Type=91 ", "P1=1"})},
                    "",
                    "Warning: 1Template.pch:2: \"Type=91 \" is no marker"},
        WarningCase{"SpacedMarker",
                    {crlf({"Type = 91", "P1=1"})},
                    "",
                    "Warning: 1Template.pch:1: \"Type = 91\" is no marker"},
        WarningCase{"IndentedEnd",
                    {crlf({"Type=91", "P1=1", "\tP16=15", "P16=15"})},
                    "",
                    "Warning: 1Template.pch:3: \"\\x09P16=15\" is no "
                    "marker"},
        WarningCase{"LineFeedsOnly",
                    {"Type=91\nP1=1\nP16=15\n"},
                    "",
                    "Warning: 1Template.pch:1: line feeds but no carriage"},
        WarningCase{"KeyThatIsNoParameter",
                    {crlf({"Type=91", "P1=1", "Position=2", "P16=15"})},
                    "",
                    "Warning: 1Template.pch:3: \"Position=2\" takes a value"},
        WarningCase{"ParameterWithoutEquals",
                    {crlf({"Type=91", "Pitch", "P16=15"})},
                    "",
                    "Warning: 1Template.pch:2: \"Pitch\" takes a value, which "
                    "replaces the whole line"},
        WarningCase{"RegionOpenAtTheEnd",
                    {kRegion, kRegion, crlf({"Name=3", "Type=91", "P1=1"}),
                     crlf({"P2=2"})},
                    std::string(10, '\x10'),
                    "Warning: 3Template.pch:2: the region that starts here is "
                    "still open"},
        WarningCase{"BytesAfterCtrlZ",
                    {kRegion + "\x1A" + "P1=2\r\n"},
                    "",
                    "Warning: 1Template.pch:4: the Ctrl-Z at byte 24 ends the "
                    "template: the 6 bytes after it"},
        WarningCase{
            "LongValueText",
            {crlf({"Type=91", "P1=" + std::string(1200, '7'), "P16=15"})},
            "",
            "Warning: 1Template.pch:2: the value text has 1200 "
            "characters"},
        // A recording's silence wavers between two neighbouring values.
        WarningCase{"SilenceAtTheStart",
                    {kRegion, kRegion, kRegion, kRegion},
                    std::string(70, '\x7E') + std::string(30, '\x82') + "",
                    "Warning: in.raw: the first 100 values lie within 2"}),
    [](const ::testing::TestParamInfo<WarningCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(PreviewTest, BundledExamplesWarnNothing) {
  for (const auto& entry : fs::directory_iterator(QUORBEL_EXAMPLES)) {
    std::ifstream file(entry.path(), std::ios::binary);
    put(entry.path().filename().string(),
        {std::istreambuf_iterator<char>(file), {}});
  }
  RunOutcome preview = runPreview({"sample.raw"});
  EXPECT_EQ(describe(preview), "exit code 0") << preview.standardOutput;
  EXPECT_EQ(preview.standardOutput.find("Warning"), std::string::npos);
  EXPECT_TRUE(preview.standardOutput.ends_with(
      "Summary: patches written 4, values used 240, values unused 16.\n"));
}

// Exit code 2, with one line on standard error naming the file, when a file
// the run needs cannot be read or the call is wrong.
TEST_F(PreviewTest, CannotPreview) {
  put("1Template.pch", kRegion);
  put("in.raw", "\x10\x20");
  const struct {
    std::vector<std::string> arguments;
    std::string error;
  } cases[] = {
      {{"absent.raw"}, "quorbel-preview: absent.raw: File not found.\n"},
      // The run reaches template 2: the input has more values than 1 holds.
      {{"in.raw"}, "quorbel-preview: 2Template.pch: File not found.\n"},
      // Without an input, a template that a long input would reach.
      {{}, "quorbel-preview: 2Template.pch: File not found.\n"},
      {{"--verbose"}, "quorbel-preview: unknown option\n"},
      {{""},
       "quorbel-preview: an empty INPUT, for which a run reads "
       "standard input\n"},
      {{"in.raw", "more.raw"}, "quorbel-preview: more than one INPUT\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    RunOutcome preview = runPreview(c.arguments);
    EXPECT_EQ(describe(preview), "exit code 2");
    EXPECT_TRUE(preview.standardError.starts_with(c.error))
        << preview.standardError;
  }
  RunOutcome help = runPreview({"--help"});
  EXPECT_EQ(describe(help), "exit code 0");
  EXPECT_TRUE(
      help.standardOutput.starts_with("usage: quorbel-preview [INPUT]"));
}

// A report that does not reach its reader is no success.
TEST_F(PreviewTest, LostOutputEndsWithTwo) {
  put("1Template.pch", kRegion);
  put("in.raw", "\x10");
  for (const auto& arguments : {std::vector<std::string>{"in.raw"},
                                std::vector<std::string>{"--help"}}) {
    for (bool full : {true, false}) {
      SCOPED_TRACE(arguments[0] + (full ? " to a full device" : " unread"));
      RunRequest request;
      request.command = settings().previewCommand;
      request.command.insert(request.command.end(), arguments.begin(),
                             arguments.end());
      request.workingDirectory = path("").string();
      if (full) {
        request.standardOutputPath = "/dev/full";
      } else {
        request.closeOutputAfter = 0;
      }
      RunOutcome preview = runCommand(request);
      std::erase(preview.standardError, '\r');
      EXPECT_EQ(describe(preview), "exit code 2");
      EXPECT_EQ(preview.standardError,
                "quorbel-preview: standard output cannot be written\n");
    }
  }
}

// The run may wait forever on a template that is no file; the preview does
// not read it, and says so.
TEST_F(PreviewTest, ReadsNoTemplateThatIsAPipeOrADevice) {
  if (settings().command.size() > 1) {
    GTEST_SKIP() << "a Windows folder holds no pipe or device";
  }
  put("1Template.pch", kRegion);
  putFifo("2Template.pch");
  putSymlink("3Template.pch", "/dev/zero");
  put("in.raw", "\x10\x20\x30");
  RunOutcome preview = runPreview({"in.raw"});
  EXPECT_EQ(describe(preview), "exit code 2");
  EXPECT_NE(preview.standardOutput.find(
                "2Template.pch: a pipe or a device, not read: the run may "
                "wait forever on it\n3Template.pch: a pipe or a device"),
            std::string::npos)
      << preview.standardOutput;
  EXPECT_NE(preview.standardOutput.find(
                "Patch 2: the run may wait forever reading 2Template.pch, a "
                "pipe or a device\n"),
            std::string::npos)
      << preview.standardOutput;
  EXPECT_EQ(preview.standardError,
            "quorbel-preview: 2Template.pch: a pipe or a device, which the "
            "run may wait forever to read.\n");
}

// The run's open of an input that is a pipe never waits, and its first end
// test fails, as a pipe has no position; the preview does not read it.
TEST_F(PreviewTest, ReadsNoInputThatIsAPipe) {
  if (settings().command.size() > 1) {
    GTEST_SKIP() << "a Windows folder holds no pipe";
  }
  for (int n = 1; n <= 4; ++n) putTemplate(n, region(1));
  putFifo("in.raw");
  RunOutcome preview = runPreview({"in.raw"});
  EXPECT_EQ(describe(preview), "exit code 2");
  EXPECT_NE(preview.standardOutput.find("\nInput in.raw: a pipe, not read\n"),
            std::string::npos)
      << preview.standardOutput;
  EXPECT_EQ(planLines(preview.standardOutput), planOfTheRun(""))
      << preview.standardOutput;
}

// A "temp" that is a device would take the values and keep none; the
// preview warns of it and leaves it alone.
TEST_F(PreviewTest, WarnsOfAScratchFileThatIsADevice) {
  if (settings().command.size() > 1) {
    GTEST_SKIP() << "a Windows folder holds no device";
  }
  for (int n = 1; n <= 4; ++n) putTemplate(n, region(1));
  put("in.raw", "\x10");
  if (!putDevice("temp")) GTEST_SKIP() << "cannot make a device here";
  RunOutcome preview = runPreview({"in.raw"});
  EXPECT_EQ(describe(preview), "exit code 1");
  EXPECT_NE(preview.standardOutput.find(
                "\nWarning: temp: a device, to which the run would write the "
                "values; delete it\n"),
            std::string::npos)
      << preview.standardOutput;
  EXPECT_EQ(contents(), expected);
}

struct LinkCase {
  const char* name;
  // Puts the templates, at least one of them a link, and "in.raw".
  void (*prepare)(EndToEndTest& test);
  const char* patchLine;  // the line of the patch at which the run stops
  friend void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.name; }
};

class PreviewLinkTest : public PreviewTest,
                        public ::testing::WithParamInterface<LinkCase> {};

// A template that cannot be read may be a link to "temp", which the run
// makes before it reads templates: the preview follows its links as the OS
// does, and tells the failure or the refusal that the run then meets.
TEST_P(PreviewLinkTest, FollowsTemplateLinksAsTheRunDoes) {
  if (settings().command.size() > 1) {
    GTEST_SKIP() << "the Windows preview cannot read where a link leads";
  }
  GetParam().prepare(*this);
  const std::string input = expected.at("in.raw");
  Folder before = contents();
  RunOutcome preview = runPreview({"in.raw"});
  EXPECT_EQ(contents(), before) << "the preview changed the folder";
  EXPECT_EQ(describe(preview), "exit code 2");
  const Lines plan = planLines(preview.standardOutput);
  EXPECT_NE(std::find(plan.begin(), plan.end(), GetParam().patchLine),
            plan.end())
      << preview.standardOutput;
  EXPECT_EQ(plan, planOfTheRun(input)) << preview.standardOutput;
}

constexpr char kTemplateTwoIsScratch[] =
    "Patch 2: the run would fail: The scratch file \"temp\" would overwrite "
    "the template \"2Template.pch\"; delete \"temp\" first.";

INSTANTIATE_TEST_SUITE_P(
    Links, PreviewLinkTest,
    ::testing::Values(
        LinkCase{"Loop",
                 [](EndToEndTest& t) {
                   t.putSymlink("1Template.pch", "2Template.pch");
                   t.putSymlink("2Template.pch", "1Template.pch");
                   t.put("in.raw", "\x10\x20");
                 },
                 "Patch 1: the run would fail: Invalid filename."},
        // Through a link in another folder, where a target from the root
        // must not be read as one within that folder.
        LinkCase{"TargetFromTheRoot",
                 [](EndToEndTest& t) {
                   t.putTemplate(1, region(1));
                   t.putFolder("links");
                   t.putSymlink("links/temp", t.path("temp").string());
                   t.putSymlink("2Template.pch", "links/temp");
                   t.put("in.raw", "\x10\x20\x30");
                 },
                 kTemplateTwoIsScratch},
        // Longer than the first 256 bytes read of a target, and no longer
        // than a name may be.
        LinkCase{"TargetLongerThan256Bytes",
                 [](EndToEndTest& t) {
                   std::string target;
                   while (target.size() < 254) target += "./";
                   t.putTemplate(1, region(1));
                   t.putSymlink("2Template.pch", target + "temp");
                   t.put("in.raw", "\x10\x20\x30");
                 },
                 kTemplateTwoIsScratch}),
    [](const ::testing::TestParamInfo<LinkCase>& info) {
      return std::string(info.param.name);
    });

// The preview reads the input for reading only: its own program file,
// busy while it runs, is an input like any other.
TEST_F(PreviewTest, ReadsTheInputWithoutAskingToWriteIt) {
  putTemplate(1, region(1));
  const std::string self = settings().previewCommand.back();
  RunOutcome preview = runPreview({self});
  EXPECT_EQ(preview.standardOutput.find("Input " + self + ": cannot be read"),
            std::string::npos)
      << preview.standardOutput;
  EXPECT_EQ(preview.standardError.find(self), std::string::npos)
      << preview.standardError;
}

// What the permissions refuse the run is foreseen without trying it: an
// input it may not write, a "temp" it may not write, a folder in which it
// may not make "temp".
TEST_F(PreviewTest, ForeseesWhatThePermissionsRefuse) {
  if (!runAsNobody()) GTEST_SKIP() << "cannot run the programs as nobody";
  for (int n = 1; n <= 4; ++n) putTemplate(n, region(1));
  put("in.raw", "\x10");
  openFolderToAll();
  for (const std::string readOnly : {"input", "temp", "folder"}) {
    SCOPED_TRACE("read-only " + readOnly);
    if (readOnly == "input") {
      makeReadOnly("in.raw");
    } else if (readOnly == "temp") {
      fs::permissions(path("in.raw"), fs::perms::all);
      put("temp", "old values");
      makeReadOnly("temp");
    } else {
      remove("temp");
      fs::permissions(path(""),
                      fs::perms::owner_write | fs::perms::group_write |
                          fs::perms::others_write,
                      fs::perm_options::remove);
    }
    RunOutcome preview = runPreview({"in.raw"});
    EXPECT_EQ(describe(preview), "exit code 2");
    EXPECT_EQ(planLines(preview.standardOutput), planOfTheRun("\x10"))
        << preview.standardOutput;
  }
  fs::permissions(path(""), fs::perms::all);
}

}  // namespace
}  // namespace quorbel::testing
